#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <bit>
#include <cmath>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "codec/codec.h"
#include "platform/runtime.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

class EncoderTest : public testing::Test {
protected:
    void SetUp() override {
        B = test::make_decoding_key(11);
        A = test::encoding_key_for(B.get());
    }

    std::string encode(const std::string& name, const std::string& content, int prefix = 0,
                       int header_extra = 1) {
        test::write_file(dir / name, content);
        std::string path = dir / name;
        std::string written;
        EXPECT_EQ(encode_file(path, dir.path() + test::kSep, A.get(), coding_mode::batch, true,
                              prefix, header_extra, {.written_path = &written}),
                  coding_result::written);
        return written;
    }

    // The twelve doubles A * x for a plain vector x.
    std::vector<double> expected_block(const double (&x)[11]) {
        MatrixPtr v(alloc_matrix(11, 1));
        for (int i = 0; i < 11; ++i) {
            v.get()[i][0] = x[i];
        }
        MatrixPtr y(multiply_matrix(A.get(), v.get(), 12, 11, 1));
        std::vector<double> out;
        for (int i = 0; i < 12; ++i) {
            out.push_back(y.get()[i][0]);
        }
        return out;
    }

    // B * block, unrounded: the plain vector a block carries.
    std::vector<double> open_block(const std::string& bytes, std::size_t offset) {
        MatrixPtr y(alloc_matrix(12, 1));
        for (int i = 0; i < 12; ++i) {
            y.get()[i][0] = test::le_double_at(bytes, offset + 8 * static_cast<std::size_t>(i));
        }
        MatrixPtr x(multiply_matrix(B.get(), y.get(), 11, 12, 1));
        std::vector<double> out;
        for (int i = 0; i < 11; ++i) {
            out.push_back(x.get()[i][0]);
        }
        return out;
    }

    TempDir dir;
    MatrixPtr B;
    MatrixPtr A;
    platform::ScopedRecorder recorder;
};

TEST_F(EncoderTest, WritesHeaderBlockAndClearRest) {
    const std::string plain = test::pattern_bytes(1000, 21);
    const std::string written = encode("a.txt", plain, 0, 1);
    EXPECT_EQ(written, dir / "a.vek");
    const std::string vek = test::read_file(written);
    ASSERT_EQ(vek.size(), 1118u);
    const std::string header("\x01\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0", 16);
    EXPECT_EQ(vek.substr(0, 16), header);
    EXPECT_EQ(vek.substr(16, 16), std::string(16, '\0'));
    double x[11] = {1};
    for (int k = 0; k < 10; ++k) {
        x[k + 1] = static_cast<unsigned char>(plain[static_cast<std::size_t>(k)]);
    }
    const auto block = expected_block(x);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(test::le_double_at(vek, 32 + 8 * static_cast<std::size_t>(i)),
                  block[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(vek.substr(128), plain.substr(10));
}

TEST_F(EncoderTest, ClearPrefixStaysAheadOfTheBlock) {
    const std::string plain = test::pattern_bytes(500, 22);
    for (int prefix : {0, 4, 100}) {
        const std::string vek = test::read_file(encode("p.gif", plain, prefix, -7));
        ASSERT_EQ(vek.size(), plain.size() + 118) << prefix;
        EXPECT_EQ(vek.substr(4, 4), test::pvek_header(1, prefix, 71, -7).substr(4, 4));
        EXPECT_EQ(vek.substr(8, 8), test::pvek_header(1, prefix, 71, -7).substr(8, 8));
        const auto p = static_cast<std::size_t>(prefix);
        EXPECT_EQ(vek.substr(32, p), plain.substr(0, p));
        const auto carried = open_block(vek, 32 + p);
        EXPECT_NEAR(carried[0], 71.0, 1e-6);
        for (std::size_t k = 0; k < 10; ++k) {
            EXPECT_NEAR(carried[k + 1], static_cast<unsigned char>(plain[p + k]), 1e-6);
        }
        EXPECT_EQ(vek.substr(128 + p), plain.substr(p + 10));
    }
}

TEST_F(EncoderTest, FolderIsJoinedWithoutASeparator) {
    test::write_file(dir / "b.doc", test::pattern_bytes(30, 1));
    std::string path = dir / "b.doc";
    ASSERT_EQ(encode_file(path, dir / "out", A.get(), coding_mode::batch, true, 0, 1),
              coding_result::written);
    EXPECT_TRUE(test::exists(dir / "outb.vek"));
}

TEST_F(EncoderTest, ReplacesAnOlderOutputWithTheCompleteNewOne) {
    test::write_file(dir / "c.vek", "an older encrypted file");
    const std::string plain = test::pattern_bytes(200, 23);
    encode("c.bmp", plain);
    EXPECT_EQ(test::read_file(dir / "c.vek").size(), 318u);
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"c.bmp", "c.vek"}));
}

TEST_F(EncoderTest, DialogModeWritesIntoTheCurrentFolder) {
    const std::string plain = test::pattern_bytes(40, 24);
    test::write_file(dir / "d.wav", plain);
    test::make_folder(dir / "cwd");
    recorder->setNextFile(dir / "d.wav");
    std::string path;
    std::string written;
    {
        test::CurrentFolder here(dir / "cwd");
        EXPECT_EQ(encode_file(path, "/ignored/", A.get(), coding_mode::dialog, true, 0, 1,
                              {.written_path = &written}),
                  coding_result::written);
    }
    EXPECT_EQ(path, "d.wav");
    EXPECT_EQ(written, "d.vek");
    EXPECT_EQ(test::read_file(dir / "cwd/d.vek").size(), 158u);
    ASSERT_EQ(recorder->boxes.size(), 1u);
    EXPECT_EQ(recorder->boxes[0].text, "This is interactive pVEK mode (encoder).");
    const auto& request = recorder->dialogs.at(0);
    EXPECT_EQ(request.default_ext, "*text");
    EXPECT_EQ(request.initial_name, "*.*");
    EXPECT_EQ(request.filter, "plain file");
}

TEST_F(EncoderTest, NothingHappensWithoutAFileOrAMode) {
    std::string path = dir / "never.txt";
    EXPECT_EQ(encode_file(path, dir.path() + test::kSep, A.get(), coding_mode::batch, false, 0, 1),
              coding_result::refused);
    path.clear();
    EXPECT_EQ(encode_file(path, dir.path() + test::kSep, A.get(), coding_mode::dialog, true, 0, 1),
              coding_result::refused);  // cancelled
    recorder->setNextFile(dir / "absent.txt");
    EXPECT_EQ(encode_file(path, dir.path() + test::kSep, A.get(), coding_mode::dialog, false, 0, 1),
              coding_result::refused);
    EXPECT_NE(recorder->boxes.back().text.find(dir / "absent.txt"), std::string::npos);
    EXPECT_TRUE(dir.entries().empty());
}

// The block-by-block form, checked by opening each block with B.
class BlockFormTest : public EncoderTest {
protected:
    std::string encode_blocks(const std::string& name, const std::string& plain) {
        test::write_file(dir / name, plain);
        test::make_folder(dir / "cwd");
        recorder->setNextFile(dir / name);
        std::string path;
        test::CurrentFolder here(dir / "cwd");
        platform::crt_srand(1);
        EXPECT_EQ(encode_file(path, "", A.get(), coding_mode::dialog, false, 0, 1),
                  coding_result::written);
        std::string file;
        std::string stem;
        split_path(name, file, stem);
        return test::read_file(stem + ".vek");
    }

    void expect_block(const std::string& bytes, std::size_t block, const std::vector<double>& x) {
        const auto carried = open_block(bytes, 96 * block);
        for (std::size_t i = 0; i < 11; ++i) {
            EXPECT_NEAR(carried[i], x[i], 1e-9) << "block " << block << " element " << i;
        }
    }

    static std::vector<double> padding_after(std::uint32_t seed, std::size_t count) {
        platform::crt_srand(seed);
        std::vector<double> values;
        for (std::size_t i = 0; i < count; ++i) {
            values.push_back((platform::crt_rand() % 32727) / 32727.0);
        }
        return values;
    }
};

TEST_F(BlockFormTest, FullSingleBlockHasNoEndMark) {
    const std::string plain = "ABCDEFGHIJ";  // S + 1 = 11
    const std::string bytes = encode_blocks("ten.txt", plain);
    ASSERT_EQ(bytes.size(), 96u);
    std::vector<double> x{1};
    for (char c : plain) {
        x.push_back(static_cast<unsigned char>(c));
    }
    expect_block(bytes, 0, x);
    EXPECT_EQ(recorder->boxes.at(0).text, "This is select_M_by_dialog non-pVEK mode (encoder).");
}

TEST_F(BlockFormTest, ShortSingleBlockEndsWith127) {
    const std::string bytes = encode_blocks("nine.txt", "ABCDEFGHI");
    ASSERT_EQ(bytes.size(), 96u);
    expect_block(bytes, 0, {1, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 127});
}

TEST_F(BlockFormTest, LastBlockIsPaddedFromTheGeneratorReseededPerBlock) {
    const std::string plain = "ABCDEFGHIJK";  // 11 bytes: a second block with one byte
    const std::string bytes = encode_blocks("eleven.txt", plain);
    ASSERT_EQ(bytes.size(), 192u);
    std::vector<double> second{'K', 127};
    for (double p : padding_after(0, 9)) {  // block 0 reseeded the generator with 0
        second.push_back(p);
    }
    expect_block(bytes, 1, second);

    const std::string three = encode_blocks("twentytwo.txt", test::pattern_bytes(22, 5));
    ASSERT_EQ(three.size(), 288u);  // S + 1 = 23: three blocks
    const std::string plain22 = test::pattern_bytes(22, 5);
    std::vector<double> last{static_cast<double>(static_cast<unsigned char>(plain22[21])), 127};
    for (double p : padding_after(132, 9)) {
        last.push_back(p);
    }
    expect_block(three, 2, last);
    EXPECT_EQ(encode_blocks("twentyone.txt", test::pattern_bytes(21, 5)).size(), 192u);
}

using EncoderDeathTest = EncoderTest;

TEST_F(EncoderDeathTest, RefusalsLeaveNoOutput) {
    test::write_file(dir / "short.txt", "123456789");  // P + 10 = 10 bytes needed
    test::write_file(dir / "prefix.txt", test::pattern_bytes(13, 1));
    test::write_file(dir / "notes.TXT", test::pattern_bytes(50, 1));
    test::write_file(dir / "ok.txt", test::pattern_bytes(50, 1));
    auto batch = [&](std::string path, const std::string& folder, int prefix) {
        encode_file(path, folder, A.get(), coding_mode::batch, true, prefix, 1);
    };
    const std::string here = dir.path() + test::kSep;
    EXPECT_EXIT(batch(dir / "short.txt", here, 0), testing::ExitedWithCode(1),
                "^VekDC: .*" + test::kSepPattern +
                    "short.txt is too short to encode: it holds 9 bytes, and a clear prefix of 0 "
                    "needs at least 10 \\(encoder\\).\n$");
    EXPECT_EXIT(batch(dir / "prefix.txt", here, 4), testing::ExitedWithCode(1),
                "prefix.txt is too short to encode: it holds 13 bytes, and a clear prefix of 4 "
                "needs at least 14");
    EXPECT_EXIT(batch(dir / "ok.txt", here, -1), testing::ExitedWithCode(1),
                "^VekDC: The clear prefix length -1 is negative \\(encoder\\).\n$");
    EXPECT_EXIT(batch(dir / "notes.TXT", here, 0), testing::ExitedWithCode(0),
                "^VekDC: Sorry, VEK encoder is not ready for this type of file: .*" +
                    test::kSepPattern + "notes.TXT\n$");
    EXPECT_EXIT(batch(dir / "missing.txt", here, 0), testing::ExitedWithCode(1),
                "^VekDC: .*" + test::kSepPattern +
                    "missing.txt cannot be opened \\(in batch mode encoder\\): No such file or "
                    "directory\n$");
    EXPECT_EXIT(batch("", here, 0), testing::ExitedWithCode(1),
                "^VekDC: file name is not given in batch mode \\(encoder\\).\n$");
    EXPECT_EXIT(batch(dir / "ok.txt", dir / "none/", 0),
                testing::ExitedWithCode(test::kStatusMinusOne),
                "^VekDC: enc out file open error: .*none.ok.vek: No such file or directory\n$");
    EXPECT_EXIT(
        {
            std::string path = dir / "ok.txt";
            encode_file(path, here, nullptr, coding_mode::batch, true, 0, 1);
        },
        testing::ExitedWithCode(1), "^VekDC: Fatal error: A is null.\n$");
    EXPECT_EQ(dir.entries(),
              (std::vector<std::string>{"notes.TXT", "ok.txt", "prefix.txt", "short.txt"}));
}

TEST_F(EncoderDeathTest, AFullDiskKeepsTheOlderOutput) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit per process (RLIMIT_FSIZE) to stand in for "
                    "a full disk";
#else
    test::write_file(dir / "big.txt", test::pattern_bytes(100000, 4));
    test::write_file(dir / "big.vek", "the previous encrypted file");
    EXPECT_EXIT(
        {
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 50000;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::string path = dir / "big.txt";
            encode_file(path, dir.path() + test::kSep, A.get(), coding_mode::batch, true, 0, 1);
        },
        testing::ExitedWithCode(255),
        "^VekDC: enc out file write error: .*/big.vek: File too large\n$");
    EXPECT_EQ(test::read_file(dir / "big.vek"), "the previous encrypted file");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"big.txt", "big.vek"}));
#endif
}

TEST_F(EncoderDeathTest, BlockFormOutputThatCannotBeCreatedIsNamed) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows does not let a process remove its current folder, the way this test "
                    "makes an output impossible";
#else
    test::write_file(dir / "e.txt", test::pattern_bytes(30, 1));
    test::make_folder(dir / "gone");
    EXPECT_EXIT(
        {
            // A current folder that no longer exists cannot take new files.
            std::filesystem::current_path(dir / "gone");
            ::rmdir((dir / "gone").c_str());
            recorder->setNextFile(dir / "e.txt");
            std::string path;
            encode_file(path, "", A.get(), coding_mode::dialog, false, 0, 1);
        },
        testing::ExitedWithCode(255), "VekDC: e.vek cannot be opened \\(encoder\\): .+\n$");
#endif
}

TEST_F(EncoderDeathTest, AnOutputNameTakenByAFolderIsNotWritten) {
    test::write_file(dir / "f.txt", test::pattern_bytes(30, 1));
    test::make_folder(dir / "f.vek");
    const test::CurrentFolder here(dir.path());
    struct Case {
        bool pvek;
        bool dialog;
        const char* message;
    } cases[] = {
        {true, false, "^VekDC: enc out file open error: .*f.vek: Is a directory\n$"},
        {true, true, "VekDC: enc out file open error: f.vek: Is a directory\n$"},
        {false, true, "VekDC: f.vek cannot be opened \\(encoder\\): Is a directory\n$"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pvek ? "pVEK" : "blocks") + (c.dialog ? ", dialog" : ""));
        EXPECT_EXIT(
            {
                std::string path = c.dialog ? std::string() : dir / "f.txt";
                recorder->setNextFile(dir / "f.txt");
                encode_file(path, dir.path() + test::kSep, A.get(),
                            c.dialog ? coding_mode::dialog : coding_mode::batch, c.pvek, 0, 1);
            },
            testing::ExitedWithCode(test::kStatusMinusOne), c.message);
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"f.txt", "f.vek"}));
}

TEST_F(EncoderDeathTest, ABlockTheJobsKeyCannotOpenIsNeverWritten) {
    test::write_file(dir / "g.txt", test::pattern_bytes(40, 1));
    const MatrixPtr J_inv = test::identity_matrix(kPlainLength);
    const MatrixPtr other = test::make_decoding_key(12);
    const decoding_key right{B.get(), J_inv.get()};
    const decoding_key wrong{other.get(), J_inv.get()};
    const test::CurrentFolder here(dir.path());
    for (const bool pvek : {true, false}) {
        SCOPED_TRACE(pvek ? "pVEK" : "blocks");
        EXPECT_EXIT(
            {
                std::string path = pvek ? dir / "g.txt" : std::string();
                recorder->setNextFile(dir / "g.txt");
                encode_file(path, dir.path() + test::kSep, A.get(),
                            pvek ? coding_mode::batch : coding_mode::dialog, pvek, 0, 1, {},
                            &wrong);
            },
            testing::ExitedWithCode(1),
            "VekDC: The key of this job cannot encode the file: its enciphered block does not "
            "open with the job's decoding key \\(encoder\\): .*g.txt\n$");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"g.txt"});
        std::string path = pvek ? dir / "g.txt" : std::string();
        recorder->setNextFile(dir / "g.txt");
        EXPECT_EQ(
            encode_file(path, dir.path() + test::kSep, A.get(),
                        pvek ? coding_mode::batch : coding_mode::dialog, pvek, 0, 1, {}, &right),
            coding_result::written);
        std::filesystem::remove(dir / "g.vek");
    }
}
}  // namespace
}  // namespace vekdc
