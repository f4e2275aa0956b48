// Helpers shared by the core tests: temporary folders, files, keys and
// child processes.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Common/matrix/matrix.h"

namespace vekdc::test {

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
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // path() + "/" + name
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // The names in the folder (hidden ones included), sorted.
    std::vector<std::string> entries() const;

private:
    std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool exists(const std::string& path);
// Deterministic pseudo-random bytes.
std::string pattern_bytes(std::size_t size, unsigned seed);

// A random 11 x 12 decoding key made from the run-time generator seeded with `seed`.
MatrixPtr make_decoding_key(unsigned seed);
// The encoding key that a read_once job derives from the decoding key B.
MatrixPtr encoding_key_for(Matrix B);

// Encodes `plain_path` into `out_dir` (with its final '/') through the engine's
// read_once road with decoding key B; returns the path of the .vek file.
std::string encode_with(Matrix B, const std::string& plain_path, const std::string& out_dir,
                        int clear_prefix_length = 0, int header_extra = 1);

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

struct ProcessResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};
// Runs a program with arguments in `workdir` ("" = current), capturing its output.
ProcessResult run_process(const std::vector<std::string>& argv, const std::string& workdir = "",
                          const std::vector<std::string>& extra_env = {});

}  // namespace vekdc::test
