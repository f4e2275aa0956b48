// Files as the cipher reads and writes them: inputs read at 64-bit offsets,
// and outputs that get their name only when they are complete.
//
// What each way of writing guarantees:
//
// - A new file (publish_new, write_new_files) is written without a name, or
//   where the file system cannot hold unnamed files under a hidden temporary
//   name ".vekdc-PID-TICK-N.tmp" in its folder, and linked to its name only
//   when complete. It never replaces anything. A process killed at any point
//   leaves no file under the final name; the unnamed road leaves nothing at
//   all, the hidden road at most its temporary, which the next process that
//   writes into that folder removes. It is not synced: after a power failure a
//   new file may be short or missing, but nothing older was touched.
// - A replacing file (publish_replacing) is linked like a new one when its
//   name is free. When the name is taken, the complete file is synced and then
//   renamed over the old one in one step: a reader, a kill or a power failure
//   sees the old file or the whole new one, never a mix. A kill between the
//   hidden link and the rename of an unnamed file leaves that hidden
//   temporary, removed as above.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// Whether names that differ only in case name one file in `folder` (or,
// while it does not exist, in the nearest folder above it that does): FAT,
// exFAT, NTFS, SMB shares and ext4 folders made case-insensitive; every
// folder on Windows.
bool folder_folds_case(const std::string& folder);

// A regular file opened for reading. Paths go through host_path().
class InputFile {
public:
    // What opening a path gave: the file, or why there is none. A path that
    // names something other than a regular file (a folder, a pipe, a device)
    // is told apart by `kind` and is not kept open; a pipe is never waited on.
    struct Opening;
    static Opening open_regular(const std::string& path);
    // The file alone; errno says why there is none (EISDIR for a folder).
    static std::optional<InputFile> open(const std::string& path);

    // Size in bytes when the file was opened.
    std::uint64_t size() const { return size_; }
    // Reads exactly `length` bytes at `offset`; false when the file ends
    // first (errno is then 0) or on a read error (errno says which).
    bool read_at(void* buffer, std::size_t length, std::uint64_t offset) const;
    const FileHandle& handle() const { return handle_; }

private:
    InputFile(FileHandle handle, std::uint64_t size) : handle_(std::move(handle)), size_(size) {}
    FileHandle handle_;
    std::uint64_t size_ = 0;
};

struct InputFile::Opening {
    std::optional<InputFile> file;
    FileKind kind = FileKind::Missing;  // Regular exactly when there is a file
    int error = 0;                      // the system's reason when kind is Missing
};

// How many files the process may hold open at once. On POSIX systems the
// limit is first raised as far as the system lets the process raise it.
std::size_t raise_open_file_limit();

// Makes the folder `path` and the folders above it that are missing. Paths
// go through host_path(). 0 when it is a folder afterwards, else the
// system's error number (ENOTDIR when something else has a name on the way).
int make_folders(const std::string& path);

// The leading bytes of a regular file or a pipe, for small files such as
// keys. A pipe is read to its end (its writer is never left blocked); bytes
// beyond `wanted` are counted, not kept. Anything else (a terminal, a
// device, a socket) is refused without being opened or waited on.
struct LeadingBytes {
    enum class Status { Done, CannotOpen, NotFileOrPipe, ReadError };
    Status status = Status::Done;
    std::vector<unsigned char> bytes;  // at most `wanted`
    std::uint64_t total = 0;           // bytes the file held
    int error = 0;                     // the system's error number, when there is one
};
LeadingBytes read_leading_bytes(const std::string& path, std::size_t wanted);

// Who may read what the program writes: Shared files get mode 0666, Private
// ones (keys) 0600, each less the umask.
enum class Access { Shared, Private };

// A file being written. It is created without a name (or, where the file
// system cannot do that, under a hidden temporary name) in the folder of the
// path it will finally get; it disappears unless publish_new() or
// publish_replacing() names it. The first file a process creates in a folder
// removes the hidden temporaries there whose process is gone.
// On Windows it is always a hidden temporary, marked for deletion until it is
// published, so that the system removes it with the last handle.
class OutputFile {
public:
    // Creates the unnamed file in the folder that `final_path` lies in.
    static std::optional<OutputFile> create_beside(const std::string& final_path,
                                                   Access access = Access::Shared);
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
    // How a copy ended. The source ended early when it has become shorter
    // since it was opened; errno tells the reason of a failed read or write.
    enum class Copied { Done, SourceEnded, ReadFailed, WriteFailed, Stopped };
    // Appends `length` bytes of `source` starting at `offset`, in bounded chunks
    // (in-kernel copying where the system allows it).
    Copied copy_from(const InputFile& source, std::uint64_t offset, std::uint64_t length,
                     const CopyStep& step = {});

    enum class Publish { Done, Exists, Failed };
    // Names the file `path` unless something already has that name; never
    // replaces. errno tells why it Failed.
    Publish publish_new(const std::string& path);
    // Names the file `path`, replacing what had that name in one atomic step
    // (synced first, as only then is something older at stake).
    bool publish_replacing(const std::string& path);

private:
    OutputFile(FileHandle handle, std::string temp_path)
        : handle_(std::move(handle)), temp_path_(std::move(temp_path)) {}
    void discard();
    bool link_hidden(const std::string& folder);
    // Done with a file that has its final name (Windows closes it here).
    void published();

    FileHandle handle_;
    std::string temp_path_;  // empty for an unnamed file
};

// One small file of a group that write_new_files() writes.
struct NewFile {
    std::string name;  // joined to the folder as it stands
    std::vector<unsigned char> bytes;
};
struct NewFiles {
    bool ok = false;
    std::vector<std::string> paths;  // where each file is, in the order given
    std::string suffix;              // what was added to every name ("" or "_TICK")
    std::string failed_path;         // when not ok: the file that could not be written
    int error = 0;                   // and the system's error number
};
// Writes files that belong together into `folder`: all of them appear, or,
// when one cannot be written (a full disk), none does. Nothing is replaced:
// where a name holds other bytes, every name of the group takes the next free
// suffix "_TICK" before its extension (tick counts as the decoder's tick
// names use). A name that already holds exactly the same bytes is that file
// already and is left as it is. `first_suffix` is tried before any tick.
// A kill between two links leaves the earlier files of the group and the
// group's marker, from which the next writer into the folder removes them.
NewFiles write_new_files(const std::string& folder, const std::vector<NewFile>& files,
                         Access access, const std::string& first_suffix = "");

// The hidden temporaries in `folder` ("" for the current one) that no living
// process holds, removed: what create_beside() does once per folder and
// process. Files of other users, and files spared below, stay.
void remove_leftover_temporaries(const std::string& folder);
// Files a command was given: whatever their names, the clearing of leftovers
// never removes them.
void spare_from_clearing(const std::vector<std::string>& paths);

}  // namespace vekdc::platform
