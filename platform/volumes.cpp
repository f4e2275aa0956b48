#include "platform/volumes.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace vekdc::platform {

namespace {

// The table is read with this parser rather than getmntent(3), whose line
// buffer has a fixed size: a long mount point name would be cut.
// "\040" and the other octal escapes of the mount table.
std::string unescape(std::string_view field) {
    std::string result;
    result.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string_view digits = field.substr(i + 1, 3);
            if (std::all_of(digits.begin(), digits.end(),
                            [](char c) { return c >= '0' && c <= '7'; })) {
                result += static_cast<char>(((digits[0] - '0') << 6) | ((digits[1] - '0') << 3) |
                                            (digits[2] - '0'));
                i += 3;
                continue;
            }
        }
        result += field[i];
    }
    return result;
}

std::string read_first_line(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

}  // namespace

std::vector<Volume> parse_mount_table(std::string_view text) {
    std::vector<Volume> mounts;
    std::istringstream lines{std::string(text)};
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string device;
        std::string mount_point;
        std::string type;
        if (fields >> device >> mount_point >> type) {
            mounts.push_back(
                Volume{unescape(device), unescape(mount_point), unescape(type), false});
        }
    }
    return mounts;
}

bool is_removable_device(const std::string& device) {
    namespace fs = std::filesystem;
    if (device.rfind("/dev/", 0) != 0) {
        return false;
    }
    std::error_code error;
    const fs::path node = fs::canonical(device, error);
    if (error) {
        return false;
    }
    const fs::path block = fs::path("/sys/class/block") / node.filename();
    if (fs::exists(block / "removable", error)) {
        return read_first_line(block / "removable") == "1";
    }
    // A partition: the flag belongs to the disk it is part of.
    const fs::path partition = fs::canonical(block, error);
    if (error) {
        return false;
    }
    const fs::path disk_flag = partition.parent_path() / "removable";
    return fs::exists(disk_flag, error) && read_first_line(disk_flag) == "1";
}

std::vector<Volume> mounted_volumes() {
    const char* table = std::getenv("VEKDC_MOUNT_TABLE");
    std::ifstream in(table != nullptr && *table != '\0' ? table : "/proc/self/mounts");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<Volume> volumes = parse_mount_table(text);
    for (Volume& volume : volumes) {
        volume.removable = is_removable_device(volume.device);
    }
    return volumes;
}

}  // namespace vekdc::platform
