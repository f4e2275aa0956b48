#include "engine/key_files.h"

#include <cerrno>

#include "platform/file.h"
#include "platform/services.h"

namespace vekdc {

written_keys write_key_files(const std::vector<key_file>& keys, const std::string& folder) {
    std::vector<platform::NewFile> files;
    for (const key_file& key : keys) {
        files.push_back({key.name, matrix_file_bytes(false, key.M, key.rows, key.cols)});
    }
    const platform::NewFiles written =
        platform::write_new_files(folder, files, platform::Access::Private);
    if (!written.ok) {
        matrix_file_not_written(written.failed_path, written.error);
    }
    return {written.paths, written.suffix};
}

void require_key_folder(const std::string& folder, const std::string& name) {
    const platform::FileStatus status = platform::file_status(folder.empty() ? "." : folder);
    if (status.kind != platform::FileKind::Folder) {
        matrix_file_not_written(
            folder + name, status.kind == platform::FileKind::Missing ? status.error : ENOTDIR);
    }
}

ChosenMatrix choose_and_read_matrix(int rows, int cols) {
    platform::FileDialogRequest request;
    request.filter = "key file (*.key)";
    request.default_ext = "key";
    request.initial_name = "*.key";
    request.initial_dir = "./";
    const auto chosen = platform::services().open_file(request);
    if (!chosen) {
        return {};
    }
    return {MatrixPtr(read_matrix_file_if_openable(rows, cols, *chosen)), *chosen};
}

}  // namespace vekdc
