#include "tests/support/test_support.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>

#include "codec/codec.h"
#include "engine/matrix_cipher.h"
#include "platform/environment.h"
#include "platform/runtime.h"

namespace vekdc::test {

namespace fs = std::filesystem;

namespace {

[[maybe_unused]] const bool kLanguagePinned = [] {
    platform::set_environment_variable("LANGUAGE", kTestLanguage);
    return true;
}();

// Paths are UTF-8 text throughout the tests, whatever the system's code page.
fs::path fs_path(const std::string& utf8) {
    return platform::filesystem_path(utf8);
}

std::string utf8(const fs::path& path) {
    return platform::utf8_text(path);
}

// ---- folders shared with death-test children

// The folders made by the running test, in order, are published in the
// environment; a child that runs the test again takes them in the same order.
int g_folders_made = 0;

std::string folder_variable(int index) {
    return "VEKDC_TEST_FOLDER_" + std::to_string(index);
}

bool in_death_test_child() {
    return !GTEST_FLAG_GET(internal_run_death_test).empty();
}

bool in_a_test() {
    return testing::UnitTest::GetInstance()->current_test_info() != nullptr;
}

class FolderListener : public testing::EmptyTestEventListener {
public:
    void OnTestStart(const testing::TestInfo& /*test*/) override { forget(); }
    void OnTestEnd(const testing::TestInfo& /*test*/) override { forget(); }

private:
    static void forget() {
        if (!in_death_test_child()) {
            for (int i = 0; i < g_folders_made; ++i) {
                platform::set_environment_variable(folder_variable(i), std::nullopt);
            }
        }
        g_folders_made = 0;
    }
};

[[maybe_unused]] const bool g_listening = [] {
    testing::UnitTest::GetInstance()->listeners().Append(new FolderListener);
    return true;
}();

std::string fresh_folder() {
    std::random_device entropy;
    std::mt19937_64 random(entropy());
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "vekdc-test-%016llx",
                      static_cast<unsigned long long>(random()));
        const fs::path folder = fs::temp_directory_path() / name;
        if (fs::create_directory(folder)) {
            return utf8(folder);
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

}  // namespace

ScopedEnvironment::ScopedEnvironment(std::vector<Assignment> assignments) {
    for (const auto& [name, value] : assignments) {
        previous_.emplace_back(name, platform::environment_variable(name));
        platform::set_environment_variable(name, value);
    }
}

ScopedEnvironment::~ScopedEnvironment() {
    // Backwards, so that a variable named twice gets its first value back.
    for (auto it = previous_.rbegin(); it != previous_.rend(); ++it) {
        platform::set_environment_variable(it->first, it->second);
    }
}

TempDir::TempDir() {
    if (!in_a_test()) {
        path_ = fresh_folder();
        return;
    }
    const std::string variable = folder_variable(g_folders_made++);
    if (in_death_test_child()) {
        if (const auto parents = platform::environment_variable(variable)) {
            path_ = *parents;
            owned_ = false;
            fs::create_directories(fs_path(path_));
            return;
        }
    }
    path_ = fresh_folder();
    platform::set_environment_variable(variable, path_);
}

TempDir::~TempDir() {
    if (owned_) {
        std::error_code ignored;
        fs::remove_all(fs_path(path_), ignored);
    }
}

std::vector<std::string> TempDir::entries() const {
    return names_in(path_);
}

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs_path(folder))) {
        names.push_back(utf8(entry.path().filename()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string file_name(const std::string& path) {
    return utf8(fs_path(path).filename());
}

void make_folder(const std::string& path) {
    fs::create_directories(fs_path(path));
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(fs_path(path), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string read_file(const std::string& path) {
    std::ifstream in(fs_path(path), std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool exists(const std::string& path) {
    return fs::exists(fs_path(path));
}

std::string read_range(const std::string& path, std::uint64_t offset, std::size_t length) {
    std::ifstream in(fs_path(path), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(length, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(length));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

std::uint64_t free_space(const std::string& path) {
    return fs::space(fs_path(path)).available;
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

UnavailableDrive::UnavailableDrive(char drive, const TempDir& dir)
    : variable_(std::string("VEKDC_DRIVE_") + drive),
      previous_(platform::environment_variable(variable_)) {
    if (platform::kDrivesAreNative) {
        platform::set_environment_variable(variable_, dir / "no-such-drive");
    } else {
        platform::set_environment_variable(variable_, std::nullopt);
    }
}

UnavailableDrive::~UnavailableDrive() {
    platform::set_environment_variable(variable_, previous_);
}

MatrixPtr make_decoding_key(unsigned seed) {
    platform::crt_srand(seed);
    return MatrixPtr(CMatrixCipher::make_key_matrix(kPlainLength, kBlockLength, 0, 0, 1));
}

MatrixPtr filled_matrix(int rows, int cols) {
    MatrixPtr m(alloc_matrix(rows, cols));
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            m.get()[i][j] = i * 100 + j + 0.125;
        }
    }
    return m;
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

CurrentFolder::CurrentFolder(const std::string& folder) : previous_(utf8(fs::current_path())) {
    fs::current_path(fs_path(folder));
}

CurrentFolder::~CurrentFolder() {
    fs::current_path(fs_path(previous_));
}

MatrixPtr encoding_key_for(Matrix B) {
    MatrixPtr J = identity_matrix(kPlainLength);
    platform::crt_srand(1);
    return MatrixPtr(CMatrixCipher::opposite_A_of_B(B, J.get(), kPlainLength, kBlockLength, 0, 1));
}

std::string encode_with(Matrix B, const std::string& plain_path, const std::string& out_dir,
                        int clear_prefix_length, int header_extra) {
    CMatrixCipher().run_job(
        encode_job(B, {plain_path}, out_dir, clear_prefix_length, header_extra));
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

}  // namespace vekdc::test
