// The looks vekdc-cli takes at its inputs before a job starts, and the
// messages that name each file that would stop it. Every message starts with
// the text the engine gives for the same fault, then names the file and,
// where the system gives one, the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.h"

namespace vekdc::cli {

// `text` (without its final full stop), ": ", the path and, when given, ": "
// and the reason.
std::string file_message(std::string_view text, const std::string& path,
                         std::string_view reason = {});

struct encrypted_input {
    std::string path;
    encrypted_facts facts;
};
struct plain_input {
    std::string path;
    int type_code = 0;
    std::uint64_t size = 0;
};
template <typename Input>
struct checked_inputs {
    std::vector<Input> usable;          // in the order given
    std::vector<std::string> problems;  // one message per refused file
};

// Encrypted files the decoder can take: they exist, are regular files,
// readable, with a pVEK header and a known type.
checked_inputs<encrypted_input> check_encrypted_inputs(const std::vector<std::string>& files);

// The message for an encrypted file the decoder cannot take.
std::string encrypted_problem_text(const std::string& path, const encrypted_inspection& seen);

// Plain files the batch encoder takes with this clear prefix into `out_dir`
// (with its final separator): they exist, are regular, readable files of an
// accepted type, long enough, and no two give the same output name.
checked_inputs<plain_input> check_plain_inputs(const std::vector<std::string>& files,
                                               int clear_prefix_length, const std::string& out_dir);

// The facts of a file's header as -v prints them.
std::string encrypted_facts_text(const encrypted_facts& facts);
std::string plain_facts_text(const plain_input& input);

}  // namespace vekdc::cli
