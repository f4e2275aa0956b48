#include "cli/precheck.h"

#include <cerrno>
#include <map>
#include <system_error>

#include "platform/file.h"

namespace vekdc::cli {

namespace {

constexpr std::string_view kDecoderOpenError = "file open error in batch mode (decoder)";
constexpr std::string_view kEncoderOpenError = " cannot be opened (in batch mode encoder)";

std::string system_reason(int error_number) {
    return std::error_code(error_number, std::generic_category()).message();
}

// Why a file could not be opened, for the problems that have a reason.
std::string open_reason(file_problem problem, int error_number) {
    switch (problem) {
        case file_problem::folder:
            return system_reason(EISDIR);
        case file_problem::not_regular:
            return "not a regular file";
        default:
            return system_reason(error_number);
    }
}

bool is_open_problem(file_problem problem) {
    return problem == file_problem::missing || problem == file_problem::folder ||
           problem == file_problem::not_regular || problem == file_problem::cannot_read;
}

std::string type_text(std::int32_t type_code) {
    const auto extension = extension_of_type(type_code);
    return "type " + std::string(extension.value_or("?")) + " (" + std::to_string(type_code) + ")";
}

std::string plain_problem_text(const std::string& path, const plain_inspection& seen,
                               int clear_prefix_length) {
    if (is_open_problem(seen.problem)) {
        return path + std::string(kEncoderOpenError) + ": " +
               open_reason(seen.problem, seen.error_number);
    }
    switch (seen.problem) {
        case file_problem::vek_type:
            return file_message("I do not want to encrypt a vek file.", path);
        case file_problem::too_short: {
            const std::uint64_t prefix = static_cast<std::uint64_t>(clear_prefix_length);
            return path + " is too short to encode: it holds " + std::to_string(seen.size) +
                   " bytes, and a clear prefix of " + std::to_string(prefix) + " needs at least " +
                   std::to_string(prefix + kPlainSpan) + " (encoder).";
        }
        default:
            return file_message("Sorry, VEK encoder is not ready for this type of file.", path);
    }
}

}  // namespace

std::string file_message(std::string_view text, const std::string& path, std::string_view reason) {
    if (text.ends_with('.')) {
        text.remove_suffix(1);
    }
    std::string message = std::string(text) + ": " + path;
    if (!reason.empty()) {
        message += ": ";
        message += reason;
    }
    return message;
}

std::string encrypted_problem_text(const std::string& path, const encrypted_inspection& seen) {
    if (is_open_problem(seen.problem)) {
        return file_message(kDecoderOpenError, path, open_reason(seen.problem, seen.error_number));
    }
    if (seen.problem == file_problem::unknown_type) {
        return "Unknown file type code " + std::to_string(seen.facts.type_code) + " in " + path +
               " (decoder).";
    }
    return file_message("This is not a pVEK file.", path);
}

checked_inputs<encrypted_input> check_encrypted_inputs(const std::vector<std::string>& files) {
    checked_inputs<encrypted_input> checked;
    for (const std::string& path : files) {
        const encrypted_inspection seen = inspect_encrypted_file(path);
        if (seen.problem == file_problem::none) {
            checked.usable.push_back({path, seen.facts});
        } else {
            checked.problems.push_back(encrypted_problem_text(path, seen));
        }
    }
    return checked;
}

checked_inputs<plain_input> check_plain_inputs(const std::vector<std::string>& files,
                                               int clear_prefix_length,
                                               const std::string& out_dir) {
    checked_inputs<plain_input> checked;
    std::map<std::string, std::string> first_for_output;
    for (const std::string& path : files) {
        const plain_inspection seen = inspect_plain_file(path, clear_prefix_length);
        if (seen.problem != file_problem::none) {
            checked.problems.push_back(plain_problem_text(path, seen, clear_prefix_length));
            continue;
        }
        const std::string output = encoded_path(path, out_dir);
        const auto [first, fresh] = first_for_output.emplace(output, path);
        if (!fresh) {
            checked.problems.push_back(first->second + " and " + path +
                                       " would both be encoded to " + output + " (encoder).");
            continue;
        }
        checked.usable.push_back({path, seen.type_code, seen.size});
    }
    return checked;
}

std::string encrypted_facts_text(const encrypted_facts& facts) {
    return type_text(facts.type_code) + ", clear prefix " +
           std::to_string(facts.clear_prefix_length) + " bytes, " + std::to_string(facts.size) +
           " bytes";
}

std::string plain_facts_text(const plain_input& input) {
    return type_text(input.type_code) + ", " + std::to_string(input.size) + " bytes";
}

}  // namespace vekdc::cli
