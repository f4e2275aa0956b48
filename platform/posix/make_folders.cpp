// Making folders on POSIX systems.
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/file.h"
#include "platform/paths.h"

namespace vekdc::platform {

int make_folders(const std::string& path) {
    const auto host = host_path(path);
    if (!host) {
        return ENOENT;
    }
    std::error_code error;
    std::filesystem::create_directories(filesystem_path(*host), error);
    if (file_status(*host).kind == FileKind::Folder) {
        return 0;
    }
    return error ? error.value() : ENOTDIR;
}

}  // namespace vekdc::platform
