// The process environment as UTF-8 text. Children started later inherit what
// is set here (on Windows it is the system's wide-character block, not a copy
// kept by the C run-time library).
#pragma once

#include <optional>
#include <string>

namespace vekdc::platform {

// The value of a variable; nothing when it is not set.
std::optional<std::string> environment_variable(const std::string& name);
// Sets a variable, or removes it when `value` is nothing.
void set_environment_variable(const std::string& name, const std::optional<std::string>& value);

}  // namespace vekdc::platform
