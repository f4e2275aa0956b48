// Helpers shared by the core tests: temporary folders, files, keys and
// child processes, the same on every system the tests run on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "Common/matrix/matrix.h"
#include "platform/paths.h"

#ifndef _WIN32
#include <csignal>
#endif

namespace vekdc::test {

// The native separator as text, for the paths a test expects the program to make.
inline const std::string kSep(1, platform::kPathSeparator);
// The native separator as a regular expression, in a form that both
// std::regex and GoogleTest's simple expressions (death tests on Windows) read.
#ifdef _WIN32
inline const std::string kSepPattern = "\\\\";
#else
inline const std::string kSepPattern = "/";
#endif

// The status a parent sees when its child ended with exit(-1): the low eight
// bits (255) on POSIX systems, the whole 32-bit value (-1) on Windows.
#ifdef _WIN32
inline constexpr int kStatusMinusOne = -1;
#else
inline constexpr int kStatusMinusOne = 255;
#endif

// The tests see the notices a Japanese user sees, whatever the locale they
// are started in: LANGUAGE is "ja" unless a test sets it for itself.
inline constexpr const char* kTestLanguage = "ja";

// Sets (or, with nullopt, removes) environment variables for the lifetime of
// the object, then restores what was there.
class ScopedEnvironment {
public:
    using Assignment = std::pair<std::string, std::optional<std::string>>;
    explicit ScopedEnvironment(std::vector<Assignment> assignments);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::vector<Assignment> previous_;
};

// A fresh folder, removed with everything in it when the object goes away.
// In a death-test child that runs the test again from its start (every death
// test on Windows), the n-th folder of the test is the parent's n-th folder,
// so that what the child leaves behind is where the parent looks.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + separator + name
    std::string operator/(const std::string& name) const { return path_ + kSep + name; }
    // The names in the folder (hidden ones included), sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
    bool owned_ = true;
};

void make_folder(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool exists(const std::string& path);
// The names in a folder, sorted.
std::vector<std::string> names_in(const std::string& folder);
// The file name of a path, without its folder.
std::string file_name(const std::string& path);
// Writes `bytes` at `offset` of a file, made or extended as needed; what lies
// before is a hole that takes no disk space where the file system allows it.
void write_sparse(const std::string& path, std::uint64_t offset, const std::string& bytes);
// `length` bytes of a file from `offset` on (fewer at its end).
std::string read_range(const std::string& path, std::uint64_t offset, std::size_t length);
// Free space on the disk that holds `path`, in bytes.
std::uint64_t free_space(const std::string& path);
// Deterministic pseudo-random bytes.
std::string pattern_bytes(std::size_t size, unsigned seed);

// Makes drive X: (the fixed drive paths "x:\...") unusable for the lifetime
// of the object: without its VEKDC_DRIVE_X variable on POSIX systems, mapped
// to a folder that does not exist inside `dir` on Windows, where the bare
// drive letter is the machine's own.
class UnavailableDrive {
public:
    UnavailableDrive(char drive, const TempDir& dir);
    ~UnavailableDrive();
    UnavailableDrive(const UnavailableDrive&) = delete;
    UnavailableDrive& operator=(const UnavailableDrive&) = delete;

private:
    std::string variable_;
    std::optional<std::string> previous_;
};

// A random 11 x 12 decoding key made from the run-time generator seeded with `seed`.
MatrixPtr make_decoding_key(unsigned seed);
// The encoding key that a read_once job derives from the decoding key B.
MatrixPtr encoding_key_for(Matrix B);

// Encodes `plain_path` into `out_dir` (with its final separator) through the
// engine's read_once road with decoding key B; returns the path of the .vek file.
std::string encode_with(Matrix B, const std::string& plain_path, const std::string& out_dir,
                        int clear_prefix_length = 0, int header_extra = 1);

// A rows x cols matrix whose element (i, j) is i * 100 + j + 0.125.
MatrixPtr filled_matrix(int rows, int cols);
// The n x n identity.
MatrixPtr identity_matrix(int n);
// The little-endian double at `offset` of a byte string.
double le_double_at(const std::string& bytes, std::size_t offset);

// Makes the current folder `folder` for the lifetime of the object.
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder);
    ~CurrentFolder();
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::string previous_;
};

// Makes an encrypted file by hand: a header and the given rest.
std::string pvek_header(int marker, int clear_prefix_length, int type_code, int header_extra);

// A path of the build machine compiled into a test (a program, the source
// tree) as the test's own system sees it: under wine, through its drive for
// the Unix file system.
std::string build_path(const std::string& path);

struct ProcessResult {
    int status = -1;  // exit status (see kStatusMinusOne), or 128 + signal
    std::string out;  // line ends as "\n"
    std::string err;
};
// Runs a program with arguments in `workdir` ("" = current), standard input
// empty, capturing its output. `extra_env` holds "NAME=value" entries.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& workdir = "",
                          const std::vector<std::string>& extra_env = {});

// A program running beside the test, its output discarded, until it ends or
// is killed.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Whether it has ended by itself.
    bool ended();
    // Whether it has a file open in `folder`, as far as can be seen from
    // outside: an entry there on Windows (where files being written have
    // names), a descriptor into it in /proc on Linux. Nothing is known without /proc.
    std::optional<bool> writing_into(const std::string& folder);
    // Ends it at once, the way a user's kill or the task manager does
    // (SIGKILL, TerminateProcess), and waits for it.
    void kill();
    // Waits for it to end; its status.
    int wait();

private:
#ifdef _WIN32
    void* process_ = nullptr;
#else
    int pid_ = -1;
#endif
    bool ended_ = false;
    int status_ = -1;
};

// Ends the calling process the way kill() ends a child: no exit handlers, no
// destructors. In a death test, expect it with killed().
[[noreturn]] void kill_self();
#ifdef _WIN32
inline constexpr int kKilledStatus = 137;
inline testing::ExitedWithCode killed() {
    return testing::ExitedWithCode(kKilledStatus);
}
#else
inline testing::KilledBySignal killed() {
    return testing::KilledBySignal(SIGKILL);
}
#endif

}  // namespace vekdc::test
