#include "cli/precheck.h"

#include "codec/codec.h"

namespace vekdc::cli {

namespace {

std::string type_text(std::int32_t type_code) {
    const auto extension = extension_of_type(type_code);
    return "type " + std::string(extension.value_or("?")) + " (" + std::to_string(type_code) + ")";
}

}  // namespace

std::vector<std::string> plain_input_problems(const std::vector<std::string>& files,
                                              int clear_prefix_length) {
    std::vector<std::string> problems;
    for (const std::string& path : files) {
        const plain_inspection seen = inspect_plain_file(path, clear_prefix_length);
        if (seen.problem != file_problem::none) {
            problems.push_back(plain_problem_message(path, seen, clear_prefix_length));
        }
    }
    return problems;
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
