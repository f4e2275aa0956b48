// The looks vekdc-cli takes at the plain files of an encode before a job
// starts, so that nothing is written when one of them would stop it, and
// the facts of a file as -v prints them.
#pragma once

#include <string>
#include <vector>

#include "codec/codec.h"
#include "engine/job_options.h"

namespace vekdc::cli {

// The plain files of an encode, screened before anything is written: one
// message for each file the batch encoder would not take with this clear
// prefix (missing, not a regular file, of a type it refuses, or too short).
// The files it takes stay open for the job, as many as the process may hold
// open at once (half of them, the rest left to the job); any beyond are
// looked at by name and opened again when their turn comes. (Two files that
// give one output are refused by the engine before it writes anything.)
class screened_plain_files final : public opened_plain_files {
public:
    screened_plain_files(const std::vector<std::string>& files, int clear_prefix_length);
    const std::vector<std::string>& problems() const { return problems_; }
    bool take(std::size_t index, plain_file& file) override;

private:
    std::vector<plain_file> held_;  // the first files of the list
    std::vector<std::string> problems_;
};

// The facts of a file as -v prints them.
std::string encrypted_facts_text(const file_facts& facts);
std::string plain_facts_text(const file_facts& facts);

}  // namespace vekdc::cli
