#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/key_files.h"
#include "engine/matrix_cipher.h"
#include "platform/runtime.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

std::string key_bytes(Matrix m, int rows, int cols) {
    const auto bytes = matrix_file_bytes(false, m, rows, cols);
    return std::string(bytes.begin(), bytes.end());
}

// The keys of a pair share one suffix: each name of the pair is free under it.
TEST(KeyFiles, KeysOfAGroupShareTheirSuffix) {
    TempDir dir;
    MatrixPtr b = test::filled_matrix(11, 12);
    MatrixPtr a = test::filled_matrix(12, 11);
    test::write_file(dir / "A_12_11_t", "older A");
    const written_keys first = write_key_files(
        {{b.get(), 11, 12, "B_11_12_t"}, {a.get(), 12, 11, "A_12_11_t"}}, dir.path() + "/");
    ASSERT_EQ(first.paths.size(), 2u);
    EXPECT_FALSE(first.suffix.empty());
    EXPECT_EQ(test::file_name(first.paths[0]), "B_11_12_t" + first.suffix);
    EXPECT_EQ(test::file_name(first.paths[1]), "A_12_11_t" + first.suffix);
    EXPECT_EQ(test::read_file(dir / "A_12_11_t"), "older A");
    EXPECT_FALSE(test::exists(dir / "B_11_12_t"));
    EXPECT_EQ(test::read_file(first.paths[1]), key_bytes(a.get(), 12, 11));
    // A second pair of the same name in the same tick takes yet another suffix.
    MatrixPtr other = test::filled_matrix(11, 12);
    other.get()[0][0] = 42.0;
    const written_keys second = write_key_files(
        {{other.get(), 11, 12, "B_11_12_t"}, {a.get(), 12, 11, "A_12_11_t"}}, dir.path() + "/");
    EXPECT_NE(second.suffix, first.suffix);
    EXPECT_EQ(test::read_file(first.paths[0]), key_bytes(b.get(), 11, 12));
    EXPECT_EQ(dir.entries().size(), 5u);
}

TEST(KeyFiles, TheDialogAsksForTheKeyFile) {
    TempDir dir;
    MatrixPtr m = test::filled_matrix(11, 12);
    write_matrix_into_binary_file(false, m.get(), 11, 12, "k.key", dir.path() + "/");
    platform::ScopedRecorder recorder;
    recorder->setNextFile(dir / "k.key");
    MatrixPtr r = choose_and_read_matrix(11, 12).matrix;
    ASSERT_TRUE(r);
    EXPECT_EQ(r.get()[10][11], m.get()[10][11]);
    ASSERT_EQ(recorder->dialogs.size(), 1u);
    EXPECT_EQ(recorder->dialogs[0].default_ext, "key");
    EXPECT_EQ(recorder->dialogs[0].initial_name, "*.key");
    EXPECT_EQ(recorder->dialogs[0].filter, "key file (*.key)");

    // Cancelled: null and nothing said.
    EXPECT_EQ(choose_and_read_matrix(11, 12).matrix, nullptr);
    EXPECT_TRUE(recorder->boxes.empty());

    // A chosen file that cannot be opened is reported by name, then treated as no key.
    testing::internal::CaptureStderr();
    recorder->setNextFile(dir / "gone.key");
    EXPECT_EQ(choose_and_read_matrix(11, 12).matrix, nullptr);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(recorder->boxes.size(), 1u);
    EXPECT_NE(recorder->boxes[0].text.find(dir / "gone.key"), std::string::npos);
    // A chosen file too short for a key ends the program.
    test::write_file(dir / "short.key", std::string(1055, '\0'));
    recorder->setNextFile(dir / "short.key");
    EXPECT_EXIT(choose_and_read_matrix(11, 12), testing::ExitedWithCode(1),
                "short.key is too short");
}

struct KeyLog : job_observer {
    std::vector<std::string> keys;
    void key_written(const std::string& path) override { keys.push_back(path); }
};

// Saved keys never replace a file: where the pair's names are taken the pair
// goes under other names, and the observer is told those.
TEST(SavedKeys, GoUnderFreeNamesAndTheObserverHearsThem) {
    test::TempDir dir;
    // The names a job of this second or the next few would choose, all taken.
    const std::int64_t now = platform::current_time_seconds();
    std::vector<std::string> taken;
    for (std::int64_t t = now - 1; t <= now + 5; ++t) {
        for (const char* prefix : {"B_11_12_matrix_", "A_12_11_matrix_"}) {
            taken.push_back(dir / (prefix + std::to_string(t)));
            test::write_file(taken.back(), "an older key");
        }
    }
    platform::ScopedRecorder recorder;
    KeyLog log;
    CMatrixCipher().run_job(create_keys_job(false, false, dir.path() + "/"), &log);
    ASSERT_EQ(log.keys.size(), 2u);
    for (const auto& path : taken) {
        EXPECT_EQ(test::read_file(path), "an older key") << path;
    }
    EXPECT_EQ(test::read_file(log.keys[0]).size(), 1056u);
    EXPECT_EQ(test::read_file(log.keys[1]).size(), 1056u);
    const std::string b = std::filesystem::path(log.keys[0]).filename().string();
    const std::string a = std::filesystem::path(log.keys[1]).filename().string();
    ASSERT_TRUE(b.starts_with("B_11_12_matrix_")) << b;
    ASSERT_TRUE(a.starts_with("A_12_11_matrix_")) << a;
    // Both keys of the pair carry the same suffix.
    EXPECT_EQ(b.substr(15), a.substr(15));
    EXPECT_EQ(dir.entries().size(), taken.size() + 2);
}

}  // namespace
}  // namespace vekdc
