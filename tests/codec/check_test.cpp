// The key check on fixed files and hand-made blocks, and the looks the
// programs take at a file before they write anything.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cerrno>
#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "codec/codec.h"
#include "platform/file.h"
#include "platform/paths.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

const std::string kData = VEKDC_TEST_DATA_DIR;

MatrixPtr read_key(const std::string& name) {
    return MatrixPtr(read_matrix_from_binary_file(kPlainLength, kBlockLength, kData + "/" + name));
}

// Files whose outcome is known. sibling.vek was made with the first encoding
// key of a key set; its first value comes out as the type code with the
// second daughter key too, so a test of that value alone let it through with
// two wrong bytes. The edge files are deciphered by edge.key (B = [0 | I])
// into exactly the values stored in them: one value lies 0.9e-6 from its
// integer (inside the tolerance), the other 1.1e-6 (outside).
TEST(KeyCheckFiles, EachFileOpensOnlyWithItsKeys) {
    struct Case {
        const char* file;
        const char* key;
        const char* plain;  // the expected output, or nullptr for a refusal
    } cases[] = {
        {"sibling.vek", "daughter1.key", "sibling.wmf"},
        {"sibling.vek", "master.key", "sibling.wmf"},
        {"sibling.vek", "daughter2.key", nullptr},
        {"edge_inside.vek", "edge.key", "edge.txt"},
        {"edge_outside.vek", "edge.key", nullptr},
    };
    const MatrixPtr J_inv = test::identity_matrix(kPlainLength);
    for (const int dialog : {0, 1}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.file) + " with " + c.key + (dialog ? " (dialog)" : ""));
            TempDir out;
            platform::ScopedRecorder recorder;
            const MatrixPtr key = read_key(c.key);
            std::string path = dialog ? std::string() : kData + "/" + c.file;
            recorder->setNextFile(kData + "/" + c.file);
            std::string folder = out.path() + test::kSep;
            std::string stem;
            std::string extension;
            const int result =
                static_cast<int>(decode_file(path, folder, key.get(), J_inv.get(), stem, extension,
                                             dialog ? coding_mode::dialog : coding_mode::batch));
            auto texts = recorder->texts();
            if (dialog) {
                ASSERT_FALSE(texts.empty());
                texts.erase(texts.begin());  // the request to choose a file
            }
            if (c.plain == nullptr) {
                EXPECT_EQ(result, 0);
                EXPECT_EQ(texts, std::vector<std::string>{"与えられた鍵ではファイル" + path +
                                                          "の暗号を解除できません。"});
                EXPECT_TRUE(out.entries().empty());
            } else {
                EXPECT_EQ(result, 1);
                EXPECT_TRUE(texts.empty());
                ASSERT_EQ(out.entries().size(), 1u);
                EXPECT_EQ(test::read_file(out / out.entries()[0]),
                          test::read_file(kData + "/" + c.plain));
            }
        }
    }
}

// Blocks that B = [0 | I] deciphers into exactly their last eleven values.
class OpenBlockTest : public testing::Test {
protected:
    void SetUp() override {
        B.reset(alloc_matrix(kPlainLength, kBlockLength));
        for (int i = 0; i < kPlainLength; ++i) {
            for (int j = 0; j < kBlockLength; ++j) {
                B.get()[i][j] = j == i + 1 ? 1.0 : 0.0;
            }
        }
    }
    static cipher_block block_of(const plain_vector& values) {
        cipher_block block{};
        block[0] = 12345.678;  // multiplied by the zero column
        std::copy(values.begin(), values.end(), block.begin() + 1);
        return block;
    }
    MatrixPtr B;
    MatrixPtr J_inv = test::identity_matrix(kPlainLength);
};

TEST_F(OpenBlockTest, EveryValueMustBeANearIntegerInRange) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    const double tol = kKeyCheckTolerance;
    struct Case {
        const char* what;
        std::size_t index;  // the value that is changed
        double value;
        bool opens;
    } cases[] = {
        {"plain values", 0, 41.0, true},
        {"type just above, inside", 0, 41.0 + 0.9 * tol, true},
        {"type just below, inside", 0, 41.0 - 0.9 * tol, true},
        {"type just above, outside", 0, 41.0 + 1.1 * tol, false},
        {"byte just below, outside", 5, 200.0 - 1.1 * tol, false},
        {"last byte just above, inside", 10, 17.0 + 0.9 * tol, true},
        {"last byte halfway", 10, 17.5, false},
        {"another type code", 0, 1.0, false},
        {"type code 41 + 256", 0, 297.0, false},
        {"byte 0, from below", 3, -0.5 * tol, true},
        {"byte -1", 3, -1.0, false},
        {"byte 255", 3, 255.0, true},
        {"byte 256", 3, 256.0, false},
        {"not a number", 7, nan, false},
        {"infinite", 2, inf, false},
        {"infinite type", 0, -inf, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plain_vector values{41, 1, 2, 3, 4, 200, 6, 7, 8, 9, 17};
        values[c.index] = c.value;
        const auto opened = open_block(block_of(values), 41, B.get(), J_inv.get());
        EXPECT_EQ(opened.has_value(), c.opens);
        if (opened) {
            EXPECT_EQ((*opened)[0], 41);
            EXPECT_EQ((*opened)[c.index], static_cast<std::uint8_t>(std::lround(c.value)));
        }
    }
}

TEST_F(OpenBlockTest, DeviationIsTheWorstValueAndInfiniteForNonNumbers) {
    plain_vector values{41, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    values[4] = 4.25;
    values[9] = 8.875;
    EXPECT_DOUBLE_EQ(integer_deviation(values), 0.25);
    values[2] = std::nan("");
    EXPECT_EQ(integer_deviation(values), std::numeric_limits<double>::infinity());
}

TEST(KeyCheckRoundTrip, EncipheredBlocksOpenWithTheirKeyOnly) {
    const MatrixPtr B = test::make_decoding_key(3);
    const MatrixPtr A = test::encoding_key_for(B.get());
    const MatrixPtr other = test::make_decoding_key(4);
    const MatrixPtr J_inv = test::identity_matrix(kPlainLength);
    for (std::int32_t type : {1, 41, 121}) {
        const plain_vector x{static_cast<double>(type), 0, 255, 1, 254, 2, 128, 127, 9, 99, 200};
        const cipher_block block = encipher(x, A.get());
        const auto opened = open_block(block, type, B.get(), J_inv.get());
        ASSERT_TRUE(opened.has_value()) << type;
        for (std::size_t i = 0; i < x.size(); ++i) {
            EXPECT_EQ((*opened)[i], static_cast<std::uint8_t>(x[i]));
        }
        EXPECT_FALSE(open_block(block, type == 1 ? 11 : 1, B.get(), J_inv.get()).has_value());
        EXPECT_FALSE(open_block(block, type, other.get(), J_inv.get()).has_value());
    }
}

// ------------------------------------------------------------ inspections

class InspectionTest : public testing::Test {
protected:
    std::string vek(const std::string& name, const std::string& bytes) {
        test::write_file(dir / name, bytes);
        return dir / name;
    }
    TempDir dir;
};

TEST_F(InspectionTest, EncryptedFilesAreSortedByWhatIsWrongWithThem) {
    const std::string block(kBlockBytes, '\0');
    test::make_folder(dir / "folder.vek");
    struct Case {
        std::string path;
        file_problem problem;
        int error_number;
    };
    std::vector<Case> cases = {
        {dir / "missing.vek", file_problem::missing, ENOENT},
        {dir / "folder.vek", file_problem::folder, 0},
        {vek("marker.vek", test::pvek_header(2, 0, 1, 1) + block), file_problem::not_encrypted, 0},
        {vek("short.vek", test::pvek_header(1, 0, 1, 1)), file_problem::not_encrypted, 0},
        {vek("negative.vek", test::pvek_header(1, -1, 1, 1) + block), file_problem::not_encrypted,
         0},
        {vek("prefix.vek", test::pvek_header(1, 5, 1, 1) + block), file_problem::not_encrypted, 0},
        {vek("type.vek", test::pvek_header(1, 0, 2, 1) + block), file_problem::unknown_type, 0},
        {vek("good.vek", test::pvek_header(1, 3, 41, 1) + "abc" + block + "tail"),
         file_problem::none, 0},
    };
#ifndef _WIN32
    ::mkfifo((dir / "pipe.vek").c_str(), 0600);
    cases.push_back({dir / "pipe.vek", file_problem::not_regular, 0});
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const encrypted_inspection seen = inspect_encrypted_file(c.path);
        EXPECT_EQ(seen.problem, c.problem);
        EXPECT_EQ(seen.error_number, c.error_number);
    }
    EXPECT_EQ(dir.entries().size(), cases.size() - 1);  // the files, and nothing beside them
}

TEST_F(InspectionTest, EncryptedFactsComeFromTheHeaderAndTheBlock) {
    std::string block;
    for (int i = 0; i < kBlockLength; ++i) {
        const double value = 0.5 + i;
        block.append(reinterpret_cast<const char*>(&value), sizeof value);  // little-endian host
    }
    const encrypted_inspection seen =
        inspect_encrypted_file(vek("f.vek", test::pvek_header(1, 2, 91, 7) + "xy" + block + "z"));
    ASSERT_EQ(seen.problem, file_problem::none);
    EXPECT_EQ(seen.facts.size, 32u + 2 + kBlockBytes + 1);
    EXPECT_EQ(seen.facts.clear_prefix_length, 2);
    EXPECT_EQ(seen.facts.type_code, 91);
    EXPECT_EQ(seen.facts.block[0], 0.5);
    EXPECT_EQ(seen.facts.block[11], 11.5);
}

TEST_F(InspectionTest, PlainFilesAreCheckedAsTheBatchEncoderWould) {
    test::make_folder(dir / "folder.txt");
    test::write_file(dir / "ten.txt", "0123456789");
    test::write_file(dir / "nine.txt", "012345678");
    test::write_file(dir / "doc.pdf", "0123456789");
    test::write_file(dir / "old.vek", "0123456789");
    struct Case {
        std::string name;
        int prefix;
        file_problem problem;
        int type_code;
    } cases[] = {
        {"missing.txt", 0, file_problem::missing, 0},  {"folder.txt", 0, file_problem::folder, 0},
        {"doc.pdf", 0, file_problem::refused_type, 0}, {"old.vek", 0, file_problem::vek_type, 0},
        {"nine.txt", 0, file_problem::too_short, 1},   {"ten.txt", 1, file_problem::too_short, 1},
        {"ten.txt", -1, file_problem::too_short, 1},   {"ten.txt", 0, file_problem::none, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " prefix " + std::to_string(c.prefix));
        const plain_inspection seen = inspect_plain_file(dir / c.name, c.prefix);
        EXPECT_EQ(seen.problem, c.problem);
        EXPECT_EQ(seen.type_code, c.type_code);
    }
}

TEST(OutputCollisions, EntriesThatWouldWriteTheSameFileArePaired) {
    struct Case {
        std::vector<std::string> files;
        bool folds_case;  // the output folder's file system
        std::vector<std::pair<std::size_t, std::size_t>> pairs;
    } cases[] = {
        {{"a.txt", "b.txt"}, false, {}},
        {{"a.txt", "x/a.doc"}, false, {{0, 1}}},
        {{"a.txt", "a.pdf"}, false, {}},  // the refused name writes nothing
        {{"a.txt", "a.doc", "b.gif", "a.htm"}, false, {{0, 1}, {0, 3}}},
        {{"a.txt", "a.txt"}, false, {{0, 1}}},
        {{"a.txt", "A.doc"}, false, {}},
        {{"a.txt", "A.doc"}, true, {{0, 1}}},  // a.vek and A.vek are one file there
    };
    for (const auto& c : cases) {
        const auto found = output_collisions(c.files, "out/", c.folds_case);
        std::vector<std::pair<std::size_t, std::size_t>> pairs;
        for (const auto& collision : found) {
            pairs.emplace_back(collision.first, collision.second);
            EXPECT_EQ(collision.output, encoded_path(c.files[collision.second], "out/"));
        }
        EXPECT_EQ(pairs, c.pairs) << c.files.size() << " files";
    }
    // Where the folder lies on an ordinary file system, case is not folded;
    // on Windows it always is.
    TempDir dir;
    EXPECT_EQ(platform::folder_folds_case(dir / "not/yet/made/"), platform::kDrivesAreNative);
}

// A pipe or a folder given as an input is refused at once, never waited on.
TEST(InputsThatAreNotFiles, AreRefusedWithTheirNameAndReason) {
#ifdef _WIN32
    GTEST_SKIP() << "named pipes made by mkfifo are a POSIX thing";
#else
    TempDir dir;
    ::mkfifo((dir / "pipe.vek").c_str(), 0600);
    ::mkfifo((dir / "pipe.txt").c_str(), 0600);
    ::mkdir((dir / "folder.vek").c_str(), 0755);
    const MatrixPtr B = test::make_decoding_key(2);
    const MatrixPtr A = test::encoding_key_for(B.get());
    const MatrixPtr J_inv = test::identity_matrix(kPlainLength);
    struct Case {
        std::string path;
        bool decode;
        std::string message;
    } cases[] = {
        {dir / "pipe.vek", true,
         "file open error in batch mode \\(decoder\\): .*/pipe.vek: not a regular file"},
        {dir / "folder.vek", true,
         "file open error in batch mode \\(decoder\\): .*/folder.vek: Is a directory"},
        {dir / "pipe.txt", false,
         ".*/pipe.txt cannot be opened \\(in batch mode encoder\\): not a regular file"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                platform::ScopedRecorder recorder;
                std::string path = c.path;
                std::string folder = dir.path();
                std::string stem;
                std::string extension;
                if (c.decode) {
                    decode_file(path, folder, B.get(), J_inv.get(), stem, extension,
                                coding_mode::batch);
                } else {
                    encode_file(path, dir.path() + "/", A.get(), coding_mode::batch, true, 0, 1);
                }
            },
            testing::ExitedWithCode(1), "^VekDC: " + c.message + "\n$");
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"folder.vek", "pipe.txt", "pipe.vek"}));
#endif
}

}  // namespace
}  // namespace vekdc
