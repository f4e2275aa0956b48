#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>

#include <gtest/gtest.h>

#include "codec/codec.h"
#include "platform/runtime.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

class DecoderTest : public testing::Test {
protected:
    void SetUp() override {
        B = test::make_decoding_key(7);
        A = test::encoding_key_for(B.get());
        J_inv = test::identity_matrix(11);
        test::make_folder(out_dir());
    }

    std::string in_dir() const { return dir.path() + test::kSep; }
    std::string out_dir() const { return dir / "out"; }

    // Writes a plain file and encodes it next to it; returns the .vek path.
    std::string make_vek(const std::string& name, const std::string& content, int prefix = 0) {
        test::write_file(dir / name, content);
        std::string path = dir / name;
        EXPECT_EQ(encode_file(path, in_dir(), A.get(), coding_mode::batch, true, prefix, 1),
                  coding_result::written);
        std::string file;
        std::string stem;
        split_path(path, file, stem);
        return dir / (stem + ".vek");
    }

    int decode(std::string path, std::string out, std::string* written = nullptr) {
        return static_cast<int>(decode_file(path, out, B.get(), J_inv.get(), stem, ext,
                                            coding_mode::batch, {.written_path = written}));
    }

    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out_dir())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    MatrixPtr B;
    MatrixPtr A;
    MatrixPtr J_inv;
    std::string stem;
    std::string ext;
    platform::ScopedRecorder recorder;
};

TEST_F(DecoderTest, RestoresThePlainFileUnderItsStemAndTypeExtension) {
    const std::string content = test::pattern_bytes(1000, 1);
    const std::string vek = make_vek("a.b.gif", content, 4);
    std::string written;
    EXPECT_EQ(decode(vek, out_dir(), &written), 1);
    EXPECT_EQ(stem, "a.b");
    EXPECT_EQ(ext, "gif");
    EXPECT_EQ(written, out_dir() + test::kSep + "a.b.gif");
    EXPECT_EQ(test::read_file(written), content);
    EXPECT_TRUE(recorder->boxes.empty());
}

TEST_F(DecoderTest, SmallestFileAndAnyInputExtension) {
    const std::string vek = make_vek("ten.txt", "0123456789");
    EXPECT_EQ(test::read_file(vek).size(), 128u);
    std::filesystem::rename(vek, dir / "x.encrypted");
    EXPECT_EQ(decode(dir / "x.encrypted", out_dir()), 1);
    EXPECT_EQ(test::read_file(out_dir() + "/x.txt"), "0123456789");
}

TEST_F(DecoderTest, AppendsTheSeparatorToTheCallersFolder) {
    const std::string vek = make_vek("r.doc", test::pattern_bytes(50, 2));
    std::string folder = out_dir();
    std::string path = vek;
    EXPECT_EQ(decode_file(path, folder, B.get(), J_inv.get(), stem, ext, coding_mode::batch),
              coding_result::written);
    EXPECT_EQ(folder, out_dir() + test::kSep);
    EXPECT_TRUE(test::exists(out_dir() + test::kSep + "r.doc"));
}

TEST_F(DecoderTest, EmptyFolderMeansTheCurrentFolder) {
    const std::string vek = make_vek("cur.txt", test::pattern_bytes(40, 3));
    std::string written;
    int result = 0;
    {
        test::CurrentFolder here(out_dir());
        result = decode(vek, "", &written);
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(written, "cur.txt");
    EXPECT_TRUE(test::exists(out_dir() + "/cur.txt"));
}

TEST_F(DecoderTest, NeverReplacesAnExistingFile) {
    const std::string content = test::pattern_bytes(300, 4);
    const std::string vek = make_vek("report.doc", content);
    const std::string first_choice = out_dir() + test::kSep + "report.doc";
    test::write_file(first_choice, "the user's own report");
    std::string written;
    const std::int64_t before = platform::tick_count();
    EXPECT_EQ(decode(vek, out_dir(), &written), 1);
    const std::int64_t after = platform::tick_count();
    EXPECT_EQ(stem, "report");  // the plain stem, not the suffixed one
    EXPECT_EQ(test::read_file(first_choice), "the user's own report");
    ASSERT_NE(written, first_choice);
    EXPECT_EQ(test::read_file(written), content);
    // Stem, tick count and extension, nothing between them.
    const std::string name = std::filesystem::path(written).filename().string();
    ASSERT_GT(name.size(), std::string("report.doc").size());
    ASSERT_EQ(name.substr(0, 6), "report");
    ASSERT_EQ(name.substr(name.size() - 4), ".doc");
    const std::string tick = name.substr(6, name.size() - 10);
    EXPECT_EQ(tick, std::to_string(std::stoll(tick)));
    EXPECT_TRUE(before <= std::stoll(tick) && std::stoll(tick) <= after) << tick;
}

TEST_F(DecoderTest, TakesALaterTickWhenTheSuffixedNameIsTakenToo) {
    const std::string content = test::pattern_bytes(100, 5);
    const std::string vek = make_vek("t.txt", content);
    test::write_file(out_dir() + "/t.txt", "taken");
    // Occupy every suffixed name for the next three seconds of ticks.
    const std::int64_t now = platform::tick_count();
    std::set<std::string> taken;
    for (std::int64_t t = now; t < now + 3000; ++t) {
        const std::string name = "t" + std::to_string(t) + ".txt";
        test::write_file(out_dir() + test::kSep + name, "taken");
        taken.insert(name);
    }
    std::string written;
    ASSERT_EQ(decode(vek, out_dir(), &written), 1);
    const std::string name = std::filesystem::path(written).filename().string();
    EXPECT_EQ(taken.count(name), 0u);
    EXPECT_EQ(test::read_file(written), content);
    for (const auto& other : taken) {
        ASSERT_EQ(test::read_file(out_dir() + test::kSep + other), "taken");
    }
}

TEST_F(DecoderTest, AWrongKeyReportsTheFileAndLeavesNoOutput) {
    const std::string vek = make_vek("w.txt", test::pattern_bytes(5000, 6), 100);
    MatrixPtr other = test::make_decoding_key(8);
    std::string path = vek;
    std::string folder = out_dir();
    EXPECT_EQ(decode_file(path, folder, other.get(), J_inv.get(), stem, ext, coding_mode::batch),
              coding_result::refused);
    ASSERT_EQ(recorder->boxes.size(), 1u);
    EXPECT_EQ(recorder->boxes[0].text,
              "与えられた鍵ではファイル" + vek + "の暗号を解除できません。");
    EXPECT_EQ(recorder->boxes[0].caption, "VekDC");
    EXPECT_TRUE(outputs().empty());
}

TEST_F(DecoderTest, ANonFiniteElementCountsAsAWrongKey) {
    // A crafted block whose first double is NaN.
    std::string bytes = test::pvek_header(1, 0, 1, 1);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::string block(96, '\0');
    std::memcpy(block.data(), &nan, 8);
    test::write_file(dir / "nan.vek", bytes + block + "rest");
    EXPECT_EQ(decode(dir / "nan.vek", out_dir()), 0);
    EXPECT_EQ(recorder->boxes.size(), 1u);
    EXPECT_TRUE(outputs().empty());
}

TEST_F(DecoderTest, DialogModeAsksForTheFileAndKeepsTheFolderAsGiven) {
    const std::string content = test::pattern_bytes(64, 9);
    const std::string vek = make_vek("pic.jpg", content);
    recorder->setNextFile(vek);
    std::string path;
    std::string folder = out_dir() + "/pre_";  // used unchanged: no separator is added
    std::string written;
    EXPECT_EQ(decode_file(path, folder, B.get(), J_inv.get(), stem, ext, coding_mode::dialog,
                          {.written_path = &written}),
              coding_result::written);
    EXPECT_EQ(path, "pic.vek");
    EXPECT_EQ(folder, out_dir() + "/pre_");
    EXPECT_EQ(written, out_dir() + "/pre_pic.jpg");  // the folder as given, "/" and all
    EXPECT_EQ(test::read_file(written), content);
    ASSERT_EQ(recorder->boxes.size(), 1u);
    EXPECT_EQ(recorder->boxes[0].text, "暗号化されたファイルを選んでください。");
    EXPECT_EQ(recorder->boxes[0].caption, "Orvinta階層的暗号化法デコーダ");
    EXPECT_EQ(recorder->dialogs.at(0).filter,
              "vek file (*.vek)|*.vek| encrypted file (*.encrypted)|*.encrypted | all files "
              "(*.*)|*.*||");
}

TEST_F(DecoderTest, DialogModeCancelledOrUnopenableReturnsZero) {
    std::string path;
    std::string folder = out_dir();
    EXPECT_EQ(decode_file(path, folder, B.get(), J_inv.get(), stem, ext, coding_mode::dialog),
              coding_result::refused);  // cancelled
    recorder->setNextAnswer(platform::Answer::Failed);
    EXPECT_EQ(decode_file(path, folder, B.get(), J_inv.get(), stem, ext, coding_mode::dialog),
              coding_result::refused);  // box failed
    EXPECT_EQ(recorder->dialogs.size(), 1u);
    recorder->setNextFile(dir / "vanished.vek");
    EXPECT_EQ(decode_file(path, folder, B.get(), J_inv.get(), stem, ext, coding_mode::dialog),
              coding_result::refused);
    EXPECT_NE(recorder->boxes.back().text.find(dir / "vanished.vek"), std::string::npos);
    EXPECT_TRUE(outputs().empty());
}

TEST_F(DecoderTest, AnotherDialogValueDoesNothing) {
    std::string path = "/no/such/file.vek";
    std::string folder = out_dir();
    EXPECT_EQ(
        decode_file(path, folder, B.get(), J_inv.get(), stem, ext, static_cast<coding_mode>(2)),
        coding_result::written);
    EXPECT_TRUE(recorder->boxes.empty());
    EXPECT_TRUE(outputs().empty());
}

TEST_F(DecoderTest, FilesBeyondFourGibibytesDecode) {
    // The rest of this file is a hole, but decoding writes it out: 4 GiB of disk.
    if (test::free_space(dir.path()) < (std::uint64_t{12} << 30)) {
        GTEST_SKIP() << "needs 12 GiB of free disk space";
    }
    const std::string vek = make_vek("big.wav", "0123456789");
    const std::uint64_t size = (std::uint64_t{4} << 30) + 4096 + 3;
    test::write_sparse(vek, size - 4, "END!");
    std::string written;
    ASSERT_EQ(decode(vek, out_dir(), &written), 1);
    EXPECT_EQ(std::filesystem::file_size(written), size - 118);
    EXPECT_EQ(test::read_range(written, 0, 10), "0123456789");
    EXPECT_EQ(test::read_range(written, size - 118 - 4, 4), "END!");
}

using DecoderDeathTest = DecoderTest;

TEST_F(DecoderDeathTest, BadHeadersAreRefusedBeforeAnyOutputExists) {
    const std::string block(96, '\0');
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"marker.vek", test::pvek_header(2, 0, 1, 1) + block},
        {"tiny.vek", std::string(31, '\x01')},
        {"negative.vek", test::pvek_header(1, -1, 1, 1) + block},
        {"truncated.vek", test::pvek_header(1, 10, 1, 1) + block},  // needs 32 + 10 + 96
        {"huge_prefix.vek", test::pvek_header(1, 0x7fffffff, 1, 1) + block},
    };
    for (const auto& c : cases) {
        test::write_file(dir / c.name, c.bytes);
        EXPECT_EXIT(decode(dir / c.name, out_dir()), testing::ExitedWithCode(1),
                    "^VekDC: This is not a pVEK file: .*" + test::kSepPattern + c.name + "\n$")
            << c.name;
    }
    EXPECT_TRUE(outputs().empty());
}

TEST_F(DecoderDeathTest, AFullDiskEndsTheProgramWithoutAPartialFile) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit per process (RLIMIT_FSIZE) to stand in for "
                    "a full disk";
#else
    const std::string vek = make_vek("full.bmp", test::pattern_bytes(100000, 3));
    EXPECT_EXIT(
        {
            // Writes past 50 000 bytes fail as on a full disk.
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            limit.rlim_cur = limit.rlim_max = 50000;
            ::setrlimit(RLIMIT_FSIZE, &limit);
            decode(vek, out_dir());
        },
        testing::ExitedWithCode(255),
        "^VekDC: dec out file write error: .*/out/full.bmp: File too large\n$");
    EXPECT_TRUE(outputs().empty());
}

TEST_F(DecoderDeathTest, AWrongKeyIsFoundBeforeTheClearPrefixIsCopied) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no file size limit per process (RLIMIT_FSIZE) to show that "
                    "nothing is written";
#else
    // Not one byte may be written: a decoder that copied the 1 MiB prefix
    // before checking the key would meet the limit and end with a write error.
    const std::string vek = make_vek("p.txt", test::pattern_bytes((1u << 20) + 50, 4), 1 << 20);
    MatrixPtr other = test::make_decoding_key(8);
    struct Case {
        Matrix key;
        int status;
    } cases[] = {{other.get(), 0}, {B.get(), 255}};
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit limit{};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                std::string path = vek;
                std::string folder = out_dir();
                std::exit(decode_file(path, folder, c.key, J_inv.get(), stem, ext,
                                      coding_mode::batch) == coding_result::refused
                              ? 0
                              : 3);
            },
            testing::ExitedWithCode(c.status), "");
    }
    EXPECT_TRUE(outputs().empty());
#endif
}

TEST_F(DecoderDeathTest, AnUnknownTypeCodeIsNamed) {
    test::write_file(dir / "five.vek", test::pvek_header(1, 0, 5, 1) + std::string(96, '\0'));
    EXPECT_EXIT(decode(dir / "five.vek", out_dir()), testing::ExitedWithCode(1),
                "^VekDC: Unknown file type code 5 in .*" + test::kSepPattern +
                    "five.vek \\(decoder\\).\n$");
    EXPECT_TRUE(outputs().empty());
#endif
}

TEST_F(DecoderDeathTest, MissingInputsFoldersAndKeys) {
    const std::string vek = make_vek("m.txt", test::pattern_bytes(20, 1));
    EXPECT_EXIT(decode(vek, dir / "no-such-folder"), testing::ExitedWithCode(test::kStatusMinusOne),
                "^VekDC: dec out file open error: .*no-such-folder" + test::kSepPattern +
                    "m.txt: No such file or directory\n$");
    EXPECT_EXIT(decode(dir / "missing.vek", out_dir()), testing::ExitedWithCode(1),
                "^VekDC: file open error in batch mode \\(decoder\\): .*" + test::kSepPattern +
                    "missing.vek: No such file or directory\n$");
    EXPECT_EXIT(decode("", out_dir()), testing::ExitedWithCode(1),
                "^VekDC: file name is not given in batch mode \\(decoder\\).\n$");
    EXPECT_EXIT(
        {
            std::string path = vek;
            std::string folder = out_dir();
            decode_file(path, folder, nullptr, J_inv.get(), stem, ext, coding_mode::batch);
        },
        testing::ExitedWithCode(1), "^VekDC: Fatal error: B or J_inv is null.\n$");
    EXPECT_TRUE(outputs().empty());
}

}  // namespace
}  // namespace vekdc
