// The marker that keeps a group of files whole (see write_new_files): written
// before the first of the group is linked and removed once the last is, it
// lists what the group links. A process killed in between leaves it behind,
// unlocked; the next process that writes into the folder then removes the
// files it lists, so that no part of a group outlives its writer.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/file.h"

namespace vekdc::platform {

// Hidden markers are named ".vekdc-PID-TICK-N.group".
inline constexpr std::string_view kGroupMarkerSuffix = ".group";

// What a marker holds: the names (within the folder) and bytes of the files
// the group is about to link.
std::vector<unsigned char> marker_content(const std::vector<NewFile>& files);

// Removes the files a marker lists that still hold their bytes: the part of a
// group that its writer linked before it died. `folder` ends in a separator.
void undo_group(const std::string& folder, const std::vector<unsigned char>& content);

// A marker on disk, held (locked) by this process while it exists.
class GroupMarker {
public:
    // Writes the marker into `folder`; nothing, with errno, when it cannot.
    static std::optional<GroupMarker> create(const std::string& folder,
                                             const std::vector<unsigned char>& content);
    GroupMarker(GroupMarker&& other) noexcept;
    GroupMarker& operator=(GroupMarker&&) = delete;
    GroupMarker(const GroupMarker&) = delete;
    GroupMarker& operator=(const GroupMarker&) = delete;
    // Removes the marker: the group is whole, or undone.
    ~GroupMarker();

private:
    GroupMarker(FileHandle handle, std::string path)
        : handle_(std::move(handle)), path_(std::move(path)) {}
    FileHandle handle_;
    std::string path_;
};

}  // namespace vekdc::platform
