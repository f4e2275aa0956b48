#include "tests/support/test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "codec/codec.h"
#include "engine/matrix_cipher.h"
#include "platform/runtime.h"

namespace vekdc::test {

namespace fs = std::filesystem;

namespace {

void assign(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
}

[[maybe_unused]] const bool kLanguagePinned = [] {
    ::setenv("LANGUAGE", kTestLanguage, 1);
    return true;
}();

}  // namespace

ScopedEnvironment::ScopedEnvironment(std::vector<Assignment> assignments) {
    for (const auto& [name, value] : assignments) {
        const char* before = std::getenv(name.c_str());
        previous_.emplace_back(
            name, before != nullptr ? std::optional<std::string>(before) : std::nullopt);
        assign(name, value);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    // Backwards, so that a variable named twice gets its first value back.
    for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) {
        assign(it->first, it->second);
    }
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "vekdc-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::vector<std::string> TempDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool exists(const std::string& path) {
    return fs::exists(path);
}

std::string pattern_bytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1u;
    for (auto& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

MatrixPtr make_decoding_key(unsigned seed) {
    platform::crt_srand(seed);
    return MatrixPtr(CMatrixCipher::make_key_matrix(CMatrixCipher::n, CMatrixCipher::m, 0, 0, 1));
}

MatrixPtr identity_matrix(int n) {
    MatrixPtr J(alloc_matrix(n, n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            J.get()[i][j] = i == j ? 1.0 : 0.0;
        }
    }
    return J;
}

double le_double_at(const std::string& bytes, std::size_t offset) {
    std::uint64_t bits = 0;
    for (std::size_t k = 0; k < 8; ++k) {
        bits |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[offset + k]))
                << (8 * k);
    }
    return std::bit_cast<double>(bits);
}

CurrentFolder::CurrentFolder(const std::string& folder) : previous_(fs::current_path().string()) {
    fs::current_path(folder);
}

CurrentFolder::~CurrentFolder() {
    fs::current_path(previous_);
}

MatrixPtr encoding_key_for(Matrix B) {
    MatrixPtr J = identity_matrix(CMatrixCipher::n);
    platform::crt_srand(1);
    return MatrixPtr(
        CMatrixCipher::opposite_A_of_B(B, J.get(), CMatrixCipher::n, CMatrixCipher::m, 0, 1));
}

std::string encode_with(Matrix B, const std::string& plain_path, const std::string& out_dir,
                        int clear_prefix_length, int header_extra) {
    job_options job;
    job.key_usage = "read_once";
    job.key_to_use = B;
    job.encode = true;
    job.pvek = true;
    job.clear_prefix_length = clear_prefix_length;
    job.header_extra = header_extra;
    job.encode_files = {plain_path};
    job.encode_file_count = 1;
    job.encode_out_dir = out_dir;
    CMatrixCipher().run_job(job);
    std::string name;
    std::string stem;
    split_path(plain_path, name, stem);
    return out_dir + stem + ".vek";
}

std::string pvek_header(int marker, int clear_prefix_length, int type_code, int header_extra) {
    std::string header(32, '\0');
    const int words[4] = {marker, clear_prefix_length, type_code, header_extra};
    for (int w = 0; w < 4; ++w) {
        const auto u = static_cast<std::uint32_t>(words[w]);
        for (int k = 0; k < 4; ++k) {
            header[static_cast<std::size_t>(4 * w + k)] = static_cast<char>(u >> (8 * k));
        }
    }
    return header;
}

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& workdir,
                          const std::vector<std::string>& extra_env) {
    char out_name[] = "/tmp/vekdc-out-XXXXXX";
    char err_name[] = "/tmp/vekdc-err-XXXXXX";
    const int out_fd = ::mkstemp(out_name);
    const int err_fd = ::mkstemp(err_name);
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null_fd = ::open("/dev/null", O_RDONLY);
        ::dup2(null_fd, 0);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        if (!workdir.empty() && ::chdir(workdir.c_str()) != 0) {
            ::_exit(126);
        }
        for (const auto& assignment : extra_env) {
            ::putenv(const_cast<char*>(assignment.c_str()));
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(out_fd);
    ::close(err_fd);
    ProcessResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = read_file(out_name);
    result.err = read_file(err_name);
    ::unlink(out_name);
    ::unlink(err_name);
    return result;
}

}  // namespace vekdc::test
