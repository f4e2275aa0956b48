// The key check on the command-line road: the fixed files of tests/data
// decode with their own keys only.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace vekdc {
namespace {

const std::string kData = std::string(VEKDC_SOURCE_DIR) + "/tests/data/";

TEST(CliKeyCheck, AFileOpensOnlyWithItsKeys) {
    struct Case {
        const char* file;
        const char* key;
        int status;
        const char* plain;  // the expected output, or nullptr
    } cases[] = {
        {"sibling.vek", "daughter1.key", 0, "sibling.wmf"},
        {"sibling.vek", "master.key", 0, "sibling.wmf"},
        {"sibling.vek", "daughter2.key", 2, nullptr},
        {"edge_inside.vek", "edge.key", 0, "edge.txt"},
        {"edge_outside.vek", "edge.key", 2, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " with " + c.key);
        test::TempDir out;
        const test::ProcessResult r = test::run_process(
            {VEKDC_CLI, "decode", "-k", kData + c.key, "-o", out.path(), kData + c.file});
        EXPECT_EQ(r.status, c.status) << r.err;
        if (c.plain == nullptr) {
            EXPECT_NE(r.err.find(kData + c.file), std::string::npos) << r.err;
            EXPECT_TRUE(out.entries().empty());
        } else {
            ASSERT_EQ(out.entries().size(), 1u);
            EXPECT_EQ(test::read_file(out / out.entries()[0]), test::read_file(kData + c.plain));
        }
    }
}

}  // namespace
}  // namespace vekdc
