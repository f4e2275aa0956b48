// Files as the cipher reads and writes them: inputs read at 64-bit offsets,
// and outputs that get their name only when they are complete.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace vekdc::platform {

// The operating system's handle of an open file, closed when the object goes
// away: a descriptor on POSIX systems, a HANDLE on Windows.
class FileHandle {
public:
#ifdef _WIN32
    using Native = void*;
    static constexpr Native kNone = nullptr;  // INVALID_HANDLE_VALUE is never stored
#else
    using Native = int;
    static constexpr Native kNone = -1;
#endif

    FileHandle() = default;
    explicit FileHandle(Native native) : native_(native) {}
    FileHandle(FileHandle&& other) noexcept : native_(std::exchange(other.native_, kNone)) {}
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            close();
            native_ = std::exchange(other.native_, kNone);
        }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() {
        close();
    }

    Native get() const {
        return native_;
    }
    explicit operator bool() const {
        return native_ != kNone;
    }
    void close();

private:
    Native native_ = kNone;
};

// What a path names, looked at without opening it (opening a pipe for
// reading would wait for a writer). Paths go through host_path().
enum class FileKind { Missing, Regular, Folder, Pipe, Other };
struct FileStatus {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;  // regular files only
    int error = 0;           // the system's error number when kind is Missing
};
FileStatus file_status(const std::string& path);

// A file opened for reading. Paths go through host_path().
class InputFile {
public:
    static std::optional<InputFile> open(const std::string& path);

    // Size in bytes at the moment of the call.
    std::uint64_t size() const;
    // Reads exactly `length` bytes at `offset`; false when the file ends first.
    bool read_at(void* buffer, std::size_t length, std::uint64_t offset) const;
    const FileHandle& handle() const { return handle_; }

private:
    explicit InputFile(FileHandle handle) : handle_(std::move(handle)) {}
    FileHandle handle_;
};

// A file being written. It is created without a name (or, where the file
// system cannot do that, under a hidden temporary name) in the folder of the
// path it will finally get; it disappears unless publish_new() or
// publish_replacing() names it. A process that dies first leaves nothing behind.
// On Windows it is always a hidden temporary, marked for deletion until it is
// published, so that the system removes it with the last handle.
class OutputFile {
public:
    // Creates the unnamed file in the folder that `final_path` lies in.
    static std::optional<OutputFile> create_beside(const std::string& final_path);
    // Whether files may be created unnamed where the system allows it (the
    // default); when not, every output starts as a hidden temporary. Windows
    // has no unnamed files: there this changes nothing.
    static void allow_unnamed_files(bool allowed);

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&& other) noexcept;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Appends bytes; false on a write error.
    bool write(const void* data, std::size_t length);
    // Told the bytes copied so far after each bounded step of a copy; answers
    // false to stop the copy there.
    using CopyStep = std::function<bool(std::uint64_t copied)>;
    // Bytes between two calls of a copy's step function.
    static constexpr std::uint64_t kCopyStepBytes = std::uint64_t{16} << 20;
    // Appends `length` bytes of `source` starting at `offset`, in bounded chunks
    // (in-kernel copying where the system allows it). False on a read or write
    // error, or when `step` asked to stop.
    bool copy_from(const InputFile& source, std::uint64_t offset, std::uint64_t length,
                   const CopyStep& step = {});

    enum class Publish { Done, Exists, Failed };
    // Names the file `path` unless something already has that name; never replaces.
    Publish publish_new(const std::string& path);
    // Names the file `path`, replacing what had that name, in one atomic step.
    bool publish_replacing(const std::string& path);

private:
    OutputFile(FileHandle handle, std::string temp_path)
        : handle_(std::move(handle)), temp_path_(std::move(temp_path)) {}
    void discard();
    // Done with a file that has its final name (Windows closes it here).
    void published();

    FileHandle handle_;
    std::string temp_path_;  // empty for an unnamed file
};

}  // namespace vekdc::platform
