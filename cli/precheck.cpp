#include "cli/precheck.h"

#include <algorithm>
#include <cerrno>
#include <utility>

#include "codec/codec.h"
#include "platform/file.h"

namespace vekdc::cli {

namespace {

std::string type_text(std::int32_t type_code) {
    const auto extension = extension_of_type(type_code);
    return "type " + std::string(extension.value_or("?")) + " (" + std::to_string(type_code) + ")";
}

}  // namespace

namespace {

// One file of the list screened: through a handle kept in `held` while fewer
// than `hold` are, else by name.
plain_inspection screen(const std::string& path, int clear_prefix_length,
                        std::vector<plain_file>& held, std::size_t& hold) {
    if (held.size() < hold) {
        plain_file file = screen_plain_file(path, clear_prefix_length);
        const int error = file.inspection.error_number;
        if (error != EMFILE && error != ENFILE) {
            held.push_back(std::move(file));
            return held.back().inspection;
        }
        hold = held.size();  // out of handles after all: the rest by name
    }
    return inspect_plain_file(path, clear_prefix_length);
}

}  // namespace

screened_plain_files::screened_plain_files(const std::vector<std::string>& files,
                                           int clear_prefix_length) {
    std::size_t hold = std::min(files.size(), platform::raise_open_file_limit() / 2);
    held_.reserve(hold);
    for (const std::string& path : files) {
        const plain_inspection seen = screen(path, clear_prefix_length, held_, hold);
        if (seen.problem != file_problem::none) {
            problems_.push_back(plain_problem_message(path, seen, clear_prefix_length));
        }
    }
}

bool screened_plain_files::take(std::size_t index, plain_file& file) {
    if (index >= held_.size()) {
        return false;
    }
    plain_file& held = held_[index];
    if (!held.input && held.inspection.problem == file_problem::none) {
        return false;  // taken already
    }
    file = std::exchange(held, plain_file{});
    return true;
}

std::string encrypted_facts_text(const file_facts& facts) {
    return type_text(facts.type_code) + ", clear prefix " +
           std::to_string(facts.clear_prefix_length) + " bytes, " + std::to_string(facts.size) +
           " bytes";
}

std::string plain_facts_text(const file_facts& facts) {
    return type_text(facts.type_code) + ", " + std::to_string(facts.size) + " bytes";
}

}  // namespace vekdc::cli
