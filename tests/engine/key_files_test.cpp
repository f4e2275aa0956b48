#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/matrix_cipher.h"
#include "platform/recording_services.h"
#include "platform/runtime.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

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
