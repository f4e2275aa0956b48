#include "platform/launch.h"

namespace vekdc::platform {

std::optional<std::string> fixed_program_argument(const std::string& command_line) {
    for (const char* program : {kBrowserProgram, kExternalViewerProgram}) {
        const std::string prefix = std::string(program) + " ";
        if (command_line.compare(0, prefix.size(), prefix) == 0) {
            return command_line.substr(prefix.size());
        }
    }
    return std::nullopt;
}

}  // namespace vekdc::platform
