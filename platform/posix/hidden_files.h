// What the POSIX back end's outputs share: the hidden temporaries that stand
// in for unnamed files, their names and locks, and the clearing of those that
// a dead process left.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace vekdc::platform::posix {

// Hidden temporaries are named ".vekdc-PID-TICK-N.tmp": the process that
// owns one can be told from the name, and it holds a lock on the file while
// it lives.
inline constexpr std::string_view kHiddenPrefix = ".vekdc-";
inline constexpr std::string_view kHiddenSuffix = ".tmp";

// A fresh hidden name in `folder` (with its final separator, "" for the
// current one), ending in `suffix`: kHiddenSuffix for a temporary, or the
// suffix of a group's marker.
std::string hidden_name(const std::string& folder, std::string_view suffix = kHiddenSuffix);

// This process's number (asked of the system once per process).
pid_t own_pid();

// Creates a hidden temporary in `folder` and locks it before anyone can take
// it for a leftover; its descriptor, with its path in `path`, or -1 (errno).
int create_hidden(const std::string& folder, mode_t mode, std::string& path,
                  std::string_view suffix = kHiddenSuffix);

// Marks a file as in use for as long as this process lives. Where the file
// system has no locks the owner's process number alone has to do.
void hold_lock(int fd);

// Hidden temporaries that exist right now; they are removed if the process
// ends by exit().
void remember_temp(const std::string& path);
void forget_temp(const std::string& path);

// The hidden temporaries of dead processes in `folder`, removed once per
// folder and process.
void remove_leftovers_once(const std::string& folder);

}  // namespace vekdc::platform::posix
