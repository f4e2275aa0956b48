// Files on Windows. An output is a hidden temporary beside its final name,
// created with CREATE_NEW and marked delete-pending at once, so that the
// system removes it when the last handle closes, also when the process is
// killed. Publishing clears the mark and renames the file while it is still
// open: without MOVEFILE_REPLACE_EXISTING for a new file (the rename fails
// when the name is taken, and the mark is set again), with it and
// MOVEFILE_WRITE_THROUGH after FlushFileBuffers when a file is replaced.
#include "platform/file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string_view>
#include <vector>

#include "platform/group_marker.h"
#include "platform/paths.h"
#include "platform/runtime.h"
#include "platform/win32/text.h"

namespace vekdc::platform {

namespace {

constexpr std::size_t kCopyBuffer = 1 << 20;
constexpr DWORD kLargestIo = 1u << 30;  // ReadFile and WriteFile take 32-bit lengths

HANDLE native(const FileHandle& handle) {
    return static_cast<HANDLE>(handle.get());
}

std::string hidden_name(const std::string& folder, std::string_view suffix = ".tmp") {
    static std::atomic<unsigned> counter{0};
    return folder + ".vekdc-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(static_cast<std::uint32_t>(tick_count())) + "-" +
           std::to_string(counter++) + std::string(suffix);
}

bool set_delete_pending(HANDLE file, bool pending) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = pending ? TRUE : FALSE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
}

bool set_hidden(HANDLE file, bool hidden) {
    FILE_BASIC_INFO basic{};  // zero times: leave them as they are
    basic.FileAttributes = hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

bool write_all(HANDLE file, const char* data, std::size_t length) {
    while (length > 0) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, kLargestIo));
        if (::WriteFile(file, data, chunk, &written, nullptr) == 0 || written == 0) {
            return false;
        }
        data += written;
        length -= written;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------- FileHandle

void FileHandle::close() {
    if (native_ != kNone) {
        ::CloseHandle(static_cast<HANDLE>(native_));
        native_ = kNone;
    }
}

// ---------------------------------------------------------------- file_status

FileStatus file_status(const std::string& path) {
    FileStatus status;
    const auto host = host_path(path);
    if (!host) {
        status.error = ENOENT;
        return status;
    }
    const std::wstring wide = win32::wide_path(*host);
    if (wide.starts_with(L"\\\\.\\")) {
        status.kind = FileKind::Other;  // a device or a named pipe, never opened here
        return status;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (::GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data) == 0) {
        win32::set_errno_from_last_error();
        // No file has a name with a wildcard: a pattern that matched nothing
        // (expand_file_argument) is missing, not an invalid argument.
        status.error =
            errno == EINVAL && host->find_first_of("*?") != std::string::npos ? ENOENT : errno;
        return status;
    }
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        status.kind = FileKind::Folder;
    } else if ((data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        status.kind = FileKind::Other;
    } else {
        status.kind = FileKind::Regular;
        status.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    }
    return status;
}

// ---------------------------------------------------------------- case

bool folder_folds_case(const std::string& /*folder*/) {
    return true;
}

// ---------------------------------------------------------------- InputFile

// What a path names is looked at first: a folder cannot be opened as a
// file, and a device is never opened here.
InputFile::Opening InputFile::open_regular(const std::string& path) {
    Opening opening;
    const FileStatus status = file_status(path);
    opening.kind = status.kind;
    opening.error = status.error;
    if (status.kind != FileKind::Regular) {
        return opening;
    }
    const std::wstring wide = win32::wide_path(*host_path(path));
    const HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        win32::set_errno_from_last_error();
        opening.kind = FileKind::Missing;
        opening.error = errno;
        return opening;
    }
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file, &size) == 0) {
        size.QuadPart = 0;
    }
    opening.file = InputFile(FileHandle(file), static_cast<std::uint64_t>(size.QuadPart));
    return opening;
}

bool InputFile::read_at(void* buffer, std::size_t length, std::uint64_t offset) const {
    auto* out = static_cast<char*>(buffer);
    while (length > 0) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(length, kLargestIo));
        if (::ReadFile(native(handle_), out, chunk, &read, &at) == 0) {
            const bool ended = ::GetLastError() == ERROR_HANDLE_EOF;
            win32::set_errno_from_last_error();
            if (ended) {
                errno = 0;
            }
            return false;
        }
        if (read == 0) {
            errno = 0;  // the file ended
            return false;
        }
        out += read;
        length -= read;
        offset += read;
    }
    return true;
}

// ---------------------------------------------------------------- reading small files

// Windows has no named pipes in the file system's folders: a regular file is
// read, a folder cannot be opened, and a device is refused unopened.
LeadingBytes read_leading_bytes(const std::string& path, std::size_t wanted) {
    LeadingBytes result;
    const FileStatus status = file_status(path);
    if (status.kind == FileKind::Missing || status.kind == FileKind::Folder) {
        result.status = LeadingBytes::Status::CannotOpen;
        result.error = status.kind == FileKind::Folder ? EISDIR : status.error;
        return result;
    }
    if (status.kind != FileKind::Regular) {
        result.status = LeadingBytes::Status::NotFileOrPipe;
        return result;
    }
    auto file = InputFile::open(path);
    if (!file) {
        result.status = LeadingBytes::Status::CannotOpen;
        result.error = errno;
        return result;
    }
    result.total = file->size();
    result.bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(wanted, result.total)));
    if (!file->read_at(result.bytes.data(), result.bytes.size(), 0)) {
        result.status = LeadingBytes::Status::ReadError;
        result.error = errno;
        result.bytes.clear();
    }
    return result;
}

// A hidden temporary here is marked for deletion until it is published, so
// the system removes it with its process: only the markers of groups whose
// writer died between two links are left to clear. A marker is held open
// without sharing while its writer lives, so that opening it fails then.
void remove_leftover_temporaries(const std::string& folder) {
    WIN32_FIND_DATAW found{};
    const std::wstring pattern =
        win32::wide_path(folder + ".vekdc-*" + std::string(kGroupMarkerSuffix));
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::string marker = folder + win32::narrow(found.cFileName);
        const HANDLE file =
            ::CreateFileW(win32::wide_path(marker).c_str(), GENERIC_READ | DELETE, 0, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            continue;  // its writer lives
        }
        FileHandle handle(file);
        LARGE_INTEGER size{};
        std::vector<unsigned char> content;
        DWORD read = 0;
        if (::GetFileSizeEx(file, &size) != 0 && size.QuadPart < (1 << 24)) {
            content.resize(static_cast<std::size_t>(size.QuadPart));
            if (::ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read,
                           nullptr) == 0) {
                read = 0;
            }
            content.resize(read);
        }
        undo_group(folder, content);
        set_delete_pending(file, true);
    } while (::FindNextFileW(search, &found) != 0);
    ::FindClose(search);
}

// Windows clears no temporaries that a command could have been given.
void spare_from_clearing(const std::vector<std::string>& /*paths*/) {}

// ---------------------------------------------------------------- group markers

std::optional<GroupMarker> GroupMarker::create(const std::string& folder,
                                               const std::vector<unsigned char>& content) {
    const std::string path = hidden_name(folder, kGroupMarkerSuffix);
    const HANDLE file = ::CreateFileW(win32::wide_path(path).c_str(), GENERIC_WRITE | DELETE, 0,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        win32::set_errno_from_last_error();
        return std::nullopt;
    }
    FileHandle handle(file);
    if (!write_all(file, reinterpret_cast<const char*>(content.data()), content.size())) {
        win32::set_errno_from_last_error();
        set_delete_pending(file, true);
        return std::nullopt;
    }
    return GroupMarker(std::move(handle), path);
}

GroupMarker::GroupMarker(GroupMarker&& other) noexcept
    : handle_(std::move(other.handle_)), path_(std::move(other.path_)) {
    other.path_.clear();
}

GroupMarker::~GroupMarker() {
    if (!path_.empty() && handle_) {
        set_delete_pending(native(handle_), true);  // gone when the handle closes
    }
}

// ---------------------------------------------------------------- OutputFile

// Keys and other files alike get the folder's inherited permissions here.
std::optional<OutputFile> OutputFile::create_beside(const std::string& final_path,
                                                    Access /*access*/) {
    const auto host = host_path(final_path);
    if (!host) {
        errno = ENOENT;
        return std::nullopt;
    }
    const std::string folder = folder_of(*host);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = hidden_name(folder);
        // DELETE access for the mark; others may read it and rename it (which
        // MoveFileExW does by name while the handle stays open).
        const HANDLE file = ::CreateFileW(win32::wide_path(temp).c_str(), GENERIC_WRITE | DELETE,
                                          FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            win32::set_errno_from_last_error();
            return std::nullopt;
        }
        FileHandle handle(file);
        if (!set_delete_pending(file, true)) {
            // A file system without delete-on-close: the promise cannot be kept.
            win32::set_errno_from_last_error();
            handle.close();
            ::DeleteFileW(win32::wide_path(temp).c_str());
            return std::nullopt;
        }
        return OutputFile(std::move(handle), std::move(temp));
    }
    errno = EEXIST;
    return std::nullopt;
}

void OutputFile::allow_unnamed_files(bool /*allowed*/) {}

void OutputFile::published() {
    // The file is complete: others may now open it for writing too, which our
    // open handle would refuse them.
    handle_.close();
    temp_path_.clear();
}

void OutputFile::discard() {
    // An unpublished file is still delete-pending: closing removes it.
    handle_.close();
    temp_path_.clear();
}

bool OutputFile::write(const void* data, std::size_t length) {
    return write_all(native(handle_), static_cast<const char*>(data), length);
}

OutputFile::Copied OutputFile::copy_from(const InputFile& source, std::uint64_t offset,
                                         std::uint64_t length, const CopyStep& step) {
    if (length == 0) {
        return Copied::Done;
    }
    std::vector<char> buffer(
        static_cast<std::size_t>(std::min<std::uint64_t>(length, kCopyBuffer)));
    std::uint64_t copied = 0;
    std::uint64_t next_step = kCopyStepBytes;
    while (copied < length) {
        const std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(length - copied, buffer.size()));
        if (!source.read_at(buffer.data(), chunk, offset + copied)) {
            return errno == 0 ? Copied::SourceEnded : Copied::ReadFailed;
        }
        if (!write(buffer.data(), chunk)) {
            win32::set_errno_from_last_error();
            return Copied::WriteFailed;
        }
        copied += chunk;
        if (step && (copied >= next_step || copied == length)) {
            next_step = copied + kCopyStepBytes;
            if (!step(copied)) {
                return Copied::Stopped;
            }
        }
    }
    return Copied::Done;
}

namespace {

enum class Moved { Done, Exists, Failed };

// Renames the open temporary `file` to `target`: the mark is lifted for the
// rename and set again when it fails, so that an unpublished file still
// vanishes with its handle.
Moved move_temporary(HANDLE file, const std::string& temp, const std::string& target, DWORD flags) {
    if (!set_hidden(file, false) || !set_delete_pending(file, false)) {
        return Moved::Failed;
    }
    if (::MoveFileExW(win32::wide_path(temp).c_str(), win32::wide_path(target).c_str(), flags) !=
        0) {
        return Moved::Done;
    }
    const DWORD error = ::GetLastError();
    set_delete_pending(file, true);
    set_hidden(file, true);
    ::SetLastError(error);
    win32::set_errno_from_last_error();  // why, for the caller
    return (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) ? Moved::Exists
                                                                         : Moved::Failed;
}

}  // namespace

OutputFile::Publish OutputFile::publish_new(const std::string& path) {
    const auto host = host_path(path);
    if (!host || !handle_ || temp_path_.empty()) {
        return Publish::Failed;
    }
    switch (move_temporary(native(handle_), temp_path_, *host, 0)) {
        case Moved::Done:
            published();
            return Publish::Done;
        case Moved::Exists:
            return Publish::Exists;
        case Moved::Failed:
            break;
    }
    return Publish::Failed;
}

bool OutputFile::publish_replacing(const std::string& path) {
    const auto host = host_path(path);
    if (!host || !handle_ || temp_path_.empty()) {
        return false;
    }
    // The file replaces something the user had: make its content durable first.
    if (::FlushFileBuffers(native(handle_)) == 0) {
        return false;
    }
    if (move_temporary(native(handle_), temp_path_, *host,
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != Moved::Done) {
        return false;
    }
    published();
    return true;
}

std::size_t raise_open_file_limit() {
    return std::size_t{1} << 24;  // handles per process
}

}  // namespace vekdc::platform
