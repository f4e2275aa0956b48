// The looks vekdc-cli takes at the plain files of an encode before a job
// starts, so that nothing is written when one of them would stop it, and
// the facts of a file as -v prints them.
#pragma once

#include <string>
#include <vector>

#include "engine/job_options.h"

namespace vekdc::cli {

// One message for each plain file the batch encoder would not take with
// this clear prefix: missing, not a regular file, of a type it refuses, or
// too short. Looked at without opening the files. (Two files that give one
// output are refused by the engine before it writes anything.)
std::vector<std::string> plain_input_problems(const std::vector<std::string>& files,
                                              int clear_prefix_length);

// The facts of a file as -v prints them.
std::string encrypted_facts_text(const file_facts& facts);
std::string plain_facts_text(const file_facts& facts);

}  // namespace vekdc::cli
