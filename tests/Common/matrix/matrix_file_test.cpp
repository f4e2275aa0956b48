#include <bit>
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "Common/matrix/matrix.h"
#include "platform/environment.h"
#include "platform/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

MatrixPtr filled(int rows, int cols) {
    MatrixPtr m(alloc_matrix(rows, cols));
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            m.get()[i][j] = i * 100 + j + 0.125;
        }
    }
    return m;
}

TEST(MatrixFile, RowMajorLittleEndianWithoutHeader) {
    TempDir dir;
    MatrixPtr m = filled(2, 3);
    write_matrix_into_binary_file(false, m.get(), 2, 3, "m.key", dir.path() + "/");
    const std::string bytes = test::read_file(dir / "m.key");
    ASSERT_EQ(bytes.size(), 48u);
    EXPECT_EQ(test::le_double_at(bytes, 0), m.get()[0][0]);
    EXPECT_EQ(test::le_double_at(bytes, 24), m.get()[1][0]);
    EXPECT_EQ(test::le_double_at(bytes, 40), m.get()[1][2]);
    // 0.125 + 0 is 0x3FC0000000000000: the sign and exponent byte comes last.
    EXPECT_EQ(static_cast<unsigned char>(bytes[7]), 0x3F);
}

TEST(MatrixFile, HeaderFlagWritesTheLowBytesOfTheShape) {
    TempDir dir;
    MatrixPtr m = filled(2, 3);
    write_matrix_into_binary_file(true, m.get(), 2, 3, "h.key", dir.path() + "/");
    const std::string bytes = test::read_file(dir / "h.key");
    ASSERT_EQ(bytes.size(), 50u);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 3);
    EXPECT_EQ(test::le_double_at(bytes, 2), m.get()[0][0]);
}

TEST(MatrixFile, FolderAndNameJoinWithoutASeparator) {
    TempDir dir;
    MatrixPtr m = filled(1, 1);
    write_matrix_into_binary_file(false, m.get(), 1, 1, "joined.key", dir.path() + "/pre_");
    EXPECT_TRUE(test::exists(dir / "pre_joined.key"));
    platform::set_environment_variable("VEKDC_DRIVE_D", dir.path());
    write_matrix_into_binary_file(false, m.get(), 1, 1, "master.key", "d:\\");
    platform::set_environment_variable("VEKDC_DRIVE_D", std::nullopt);
    EXPECT_TRUE(test::exists(dir / "master.key"));
}

TEST(MatrixFile, ReplacesAnExistingKeyWholly) {
    TempDir dir;
    test::write_file(dir / "k.key", std::string(5000, 'x'));
    MatrixPtr m = filled(11, 12);
    write_matrix_into_binary_file(false, m.get(), 11, 12, "k.key", dir.path() + "/");
    EXPECT_EQ(test::read_file(dir / "k.key").size(), 1056u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"k.key"});
}

TEST(MatrixFile, ReadsBackWhatWasWrittenAndIgnoresExtraBytes) {
    TempDir dir;
    MatrixPtr m = filled(11, 12);
    write_matrix_into_binary_file(false, m.get(), 11, 12, "k.key", dir.path() + "/");
    test::write_file(dir / "long.key", test::read_file(dir / "k.key") + std::string(944, '\x7f'));
    for (const char* name : {"k.key", "long.key"}) {
        MatrixPtr r(
            read_matrix_from_binary_file(false, false, 11, 12, nullptr, nullptr, dir / name));
        ASSERT_TRUE(r);
        for (int i = 0; i < 11; ++i) {
            for (int j = 0; j < 12; ++j) {
                ASSERT_EQ(std::memcmp(&r.get()[i][j], &m.get()[i][j], 8), 0) << name;
            }
        }
    }
}

TEST(MatrixFile, DialogModeAsksForTheFile) {
    TempDir dir;
    MatrixPtr m = filled(11, 12);
    write_matrix_into_binary_file(false, m.get(), 11, 12, "k.key", dir.path() + "/");
    platform::ScopedRecorder recorder;
    recorder->setNextFile(dir / "k.key");
    MatrixPtr r(read_matrix_from_binary_file(false, true, 11, 12, nullptr, nullptr, "ignored"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r.get()[10][11], m.get()[10][11]);
    ASSERT_EQ(recorder->dialogs.size(), 1u);
    EXPECT_EQ(recorder->dialogs[0].default_ext, "key");
    EXPECT_EQ(recorder->dialogs[0].initial_name, "*.key");
    EXPECT_EQ(recorder->dialogs[0].filter, "key file (*.key)");

    // Cancelled: null and nothing said.
    EXPECT_EQ(read_matrix_from_binary_file(false, true, 11, 12, nullptr, nullptr, ""), nullptr);
    EXPECT_TRUE(recorder->boxes.empty());

    // A chosen file that cannot be opened is reported by name, then treated as no key.
    testing::internal::CaptureStderr();
    recorder->setNextFile(dir / "gone.key");
    EXPECT_EQ(read_matrix_from_binary_file(false, true, 11, 12, nullptr, nullptr, ""), nullptr);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(recorder->boxes.size(), 1u);
    EXPECT_NE(recorder->boxes[0].text.find(dir / "gone.key"), std::string::npos);
}

TEST(MatrixFileDeathTest, UnreadableOrShortKeysEndTheProgramWithAMessage) {
    TempDir dir;
    test::write_file(dir / "short.key", std::string(1055, '\0'));
    EXPECT_EXIT(
        read_matrix_from_binary_file(false, false, 11, 12, nullptr, nullptr, dir / "missing.key"),
        testing::ExitedWithCode(1),
        "^VekDC: .*" + test::kSepPattern +
            "missing.key cannot be opened \\(read_matrix_from_binary_file\\)");
    EXPECT_EXIT(
        read_matrix_from_binary_file(false, false, 11, 12, nullptr, nullptr, dir / "short.key"),
        testing::ExitedWithCode(1),
        "^VekDC: .*" + test::kSepPattern +
            "short.key is too short for a 11 x 12 key: it holds 1055 bytes, the key needs 1056");
    EXPECT_EXIT(
        {
            platform::RecordingServices recorder;
            platform::install(&recorder);
            recorder.setNextFile(dir / "short.key");
            read_matrix_from_binary_file(false, true, 11, 12, nullptr, nullptr, "");
        },
        testing::ExitedWithCode(1), "short.key is too short");
}

TEST(MatrixFileDeathTest, AnUnwritableKeyEndsTheProgram) {
    TempDir dir;
    MatrixPtr m = filled(1, 1);
    EXPECT_EXIT(write_matrix_into_binary_file(false, m.get(), 1, 1, "k.key", dir / "none/"),
                testing::ExitedWithCode(1),
                "^VekDC: file open error \\(write_matrix_into_binary_file\\)\n\n$");
    test::UnavailableDrive no_d('D', dir);
    EXPECT_EXIT(write_matrix_into_binary_file(false, m.get(), 1, 1, "master.key", "d:\\"),
                testing::ExitedWithCode(1), "file open error \\(write_matrix_into_binary_file\\)");
    EXPECT_TRUE(dir.entries().empty());
}

}  // namespace
}  // namespace vekdc
