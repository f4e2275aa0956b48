#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>

#include <gtest/gtest.h>

#include "codec/codec.h"
#include "engine/matrix_cipher.h"
#include "platform/launch.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

// Records everything the engine reports about a job.
struct Log : job_observer {
    std::vector<std::string> events;
    void file_started(job_step step, std::size_t i, const std::string& path) override {
        events.push_back(name(step) + " start " + std::to_string(i) + " " + path);
    }
    void file_written(job_step step, std::size_t i, const std::string&,
                      const std::string& written) override {
        events.push_back(name(step) + " wrote " + std::to_string(i) + " " + written);
    }
    void file_refused(job_step step, std::size_t i, const std::string& path) override {
        events.push_back(name(step) + " refused " + std::to_string(i) + " " + path);
    }
    void key_written(const std::string& path) override { events.push_back("key " + path); }
    static std::string name(job_step step) {
        return step == job_step::encode ? "encode" : "decode";
    }
};

class RunJobTest : public testing::Test {
protected:
    void SetUp() override {
        B = test::make_decoding_key(21);
        other = test::make_decoding_key(22);
        test::make_folder(out());
    }

    std::string out() const { return dir / "out"; }

    // A .vek file of the given type that B opens.
    std::string vek(const std::string& stem, const std::string& extension, Matrix key = nullptr) {
        const std::string plain = dir / (stem + "." + extension);
        test::write_file(plain, test::pattern_bytes(300, static_cast<unsigned>(stem.size())));
        return test::encode_with(key != nullptr ? key : B.get(), plain, dir.path() + test::kSep);
    }

    job_options decode_job(const std::vector<std::string>& files) {
        return vekdc::decode_job(B.get(), files, out());
    }

    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out())) {
            names.push_back(e.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDir dir;
    MatrixPtr B;
    MatrixPtr other;
    platform::ScopedRecorder recorder;
    Log log;
    CMatrixCipher engine;
};

TEST_F(RunJobTest, ReadOnceWithoutAKeyDoesNothing) {
    job_options job = decode_job({vek("a", "txt")});
    job.key_to_use = nullptr;
    engine.run_job(job, &log);
    EXPECT_EQ(recorder->texts(), std::vector<std::string>{"key_to_use is not provided."});
    EXPECT_TRUE(outputs().empty());
    EXPECT_TRUE(log.events.empty());
}

TEST_F(RunJobTest, DecodesTheFilesTheKeyOpensAndSkipsTheOthers) {
    const std::string first = vek("one", "txt", other.get());
    const std::string second = vek("two", "gif");
    const std::string third = vek("three", "txt", other.get());
    engine.run_job(decode_job({first, second, third}), &log);
    EXPECT_EQ(outputs(), std::vector<std::string>{"two.gif"});
    EXPECT_EQ(recorder->texts(),
              (std::vector<std::string>{
                  "与えられた鍵ではファイル" + first + "の暗号を解除できません。",
                  "与えられた鍵ではファイル" + third + "の暗号を解除できません。"}));
    const std::string written = out() + test::kSep + "two.gif";
    EXPECT_EQ(recorder->programs,
              std::vector<std::string>{std::string(platform::kBrowserProgram) + " " + written});
    EXPECT_EQ(log.events,
              (std::vector<std::string>{"decode start 0 " + first, "decode refused 0 " + first,
                                        "decode start 1 " + second, "decode wrote 1 " + written,
                                        "decode start 2 " + third, "decode refused 2 " + third}));
}

TEST_F(RunJobTest, AScreenedFileIsEncodedFromItsOpenWhateverItsNameNowHolds) {
    struct : opened_plain_files {
        plain_file first;  // entry 0; entry 1 is opened by name
        bool take(std::size_t index, plain_file& file) override {
            return index == 0 && (file = std::move(first), true);
        }
    } held;
    for (const char* name : {"first.txt", "second.txt"}) {
        test::write_file(dir / name, test::pattern_bytes(300, 1));
    }
    held.first = screen_plain_file(dir / "first.txt", 0);
    std::filesystem::rename(dir / "first.txt", dir / "moved.txt");  // open, as Windows allows
    test::write_file(dir / "first.txt", test::pattern_bytes(300, 2));
    job_options job =
        encode_job(B.get(), {dir / "first.txt", dir / "second.txt"}, out() + test::kSep);
    job.opened_encode_files = &held;
    engine.run_job(job, &log);
    EXPECT_EQ(test::read_file(out() + test::kSep + "first.vek"),
              test::read_file(out() + test::kSep + "second.vek"));
}

TEST_F(RunJobTest, ViewersFollowTheExtension) {
    std::vector<std::string> files;
    for (const char* ext : {"jpg", "ttf", "avi", "mpg", "wav", "wmf", "txt", "doc", "bmp"}) {
        files.push_back(vek(std::string("v_") + ext, ext));
    }
    engine.run_job(decode_job(files));
    EXPECT_EQ(outputs().size(), files.size());
    const std::string browser = std::string(platform::kBrowserProgram) + " ";
    const std::string viewer = std::string(platform::kExternalViewerProgram) + " ";
    const std::string folder = out() + test::kSep;
    EXPECT_EQ(recorder->programs, (std::vector<std::string>{browser + folder + "v_jpg.jpg",
                                                            viewer + folder + "v_wmf.wmf"}));
    std::vector<std::pair<std::string, std::string>> expected;
    for (const char* ext : {"ttf", "avi", "mpg", "wav"}) {
        expected.emplace_back(folder + "v_" + ext + "." + ext, "c:\\Windows\\temp");
    }
    EXPECT_EQ(recorder->shell_opens, expected);
}

TEST_F(RunJobTest, TheViewerOpensTheFileJustWritten) {
    const std::string file = vek("pic", "gif");
    test::write_file(out() + "/pic.gif", "an older picture");
    engine.run_job(decode_job({file}), &log);
    ASSERT_EQ(recorder->programs.size(), 1u);
    const std::string opened =
        recorder->programs[0].substr(std::string(platform::kBrowserProgram).size() + 1);
    EXPECT_NE(opened, out() + test::kSep + "pic.gif");
    EXPECT_TRUE(std::regex_match(opened, std::regex(".*" + test::kSepPattern + "out" +
                                                    test::kSepPattern + "pic-?[0-9]+\\.gif")));
    EXPECT_EQ(log.events.back(), "decode wrote 0 " + opened);
}

TEST_F(RunJobTest, OnlyTheCountedEntriesAreUsed) {
    job_options job = decode_job({vek("a", "txt"), "/no/such/file.vek"});
    job.decode_file_count = 1;
    engine.run_job(job);
    EXPECT_EQ(outputs(), std::vector<std::string>{"a.txt"});
    job.decode_file_count = 0;
    engine.run_job(job);
    EXPECT_EQ(outputs(), std::vector<std::string>{"a.txt"});
    EXPECT_TRUE(recorder->programs.empty());
}

TEST_F(RunJobTest, ReadOnceDerivesTheSameEncodingKeyInEveryJob) {
    test::write_file(dir / "same.txt", test::pattern_bytes(100, 1));
    test::make_folder(dir / "e1");
    test::make_folder(dir / "e2");
    const std::string a = test::encode_with(B.get(), dir / "same.txt", dir / "e1/");
    const std::string b = test::encode_with(B.get(), dir / "same.txt", dir / "e2/");
    EXPECT_EQ(test::read_file(a), test::read_file(b));
}

TEST_F(RunJobTest, InteractiveDecodeAsksOnceAndOpensNoViewer) {
    const std::string file = vek("asked", "jpg");
    recorder->setNextFile(file);
    job_options job = decode_job({});
    job.interactive_decode = true;
    job.decode_out_dir = out() + test::kSep;
    engine.run_job(job, &log);
    EXPECT_EQ(outputs(), std::vector<std::string>{"asked.jpg"});
    EXPECT_TRUE(recorder->programs.empty());
    EXPECT_EQ(log.events.back(), "decode wrote 0 " + out() + test::kSep + "asked.jpg");
}

// ---------------------------------------------------------------- key usage

TEST_F(RunJobTest, CreateAnnouncesItsPlanAndSavesBFirst) {
    struct Case {
        bool create_A;
        bool random;
        bool save;
        const char* text;  // nullptr: no announcement
    } cases[] = {
        {true, true, true, "I will create random A and the oppsite B and save them."},
        {true, false, true, "I will create regular A and the oppsite B and save them."},
        {true, true, false, "I will create random A and the oppsite B but will not save them."},
        {true, false, false, "I will create regular A and the oppsite B but will not save them"},
        {false, true, true, nullptr},
        {false, false, true, "I will create regular B and the oppsite A and save them."},
        {false, true, false, "I will create random B and the oppsite A but will not save them."},
        {false, false, false, "I will create regular B and the oppsite A but will not save them."},
    };
    for (const auto& c : cases) {
        TempDir keys;
        platform::ScopedRecorder local;
        Log keylog;
        job_options job = create_keys_job(c.create_A, c.random, keys.path() + test::kSep);
        job.save_keys = c.save;
        engine.run_job(job, &keylog);
        EXPECT_EQ(local->texts(), c.text != nullptr ? std::vector<std::string>{c.text}
                                                    : std::vector<std::string>{});
        if (!c.save) {
            EXPECT_TRUE(keys.entries().empty());
            continue;
        }
        ASSERT_EQ(keylog.events.size(), 2u);
        std::smatch match;
        const std::string first = keylog.events[0];
        ASSERT_TRUE(std::regex_match(
            first, match, std::regex("key .*" + test::kSepPattern + "B_11_12_matrix_([0-9]+)")));
        EXPECT_EQ(keylog.events[1],
                  "key " + keys.path() + test::kSep + "A_12_11_matrix_" + match[1].str());
        // The saved pair fits together.
        MatrixPtr savedB(read_matrix_from_binary_file(11, 12, first.substr(4)));
        MatrixPtr savedA(read_matrix_from_binary_file(12, 11, keylog.events[1].substr(4)));
        MatrixPtr product(multiply_matrix(savedB.get(), savedA.get(), 11, 12, 11));
        for (int i = 0; i < 11; ++i) {
            for (int j = 0; j < 11; ++j) {
                ASSERT_NEAR(product.get()[i][j], i == j ? 1.0 : 0.0, 1e-6);
            }
        }
    }
}

TEST_F(RunJobTest, RandomKeysRepeatFromJobToJob) {
    TempDir first;
    TempDir second;
    for (const TempDir* keys : {&first, &second}) {
        engine.run_job(create_keys_job(true, true, keys->path() + test::kSep));
    }
    const auto a1 = first.entries();
    const auto a2 = second.entries();
    ASSERT_EQ(a1.size(), 2u);
    EXPECT_EQ(test::read_file(first / a1[0]), test::read_file(second / a2[0]));
}

TEST_F(RunJobTest, ReadEachTimeReadsAKeyAndDerivesTheOther) {
    // A key pair on disk.
    TempDir keys;
    job_options create;
    create.key_usage = key_usage::create;
    create.create_B = create.random_B = create.save_keys = true;
    create.key_dir = keys.path() + test::kSep;
    engine.run_job(create, &log);
    const std::string key_B = log.events[0].substr(4);
    const std::string key_A = log.events[1].substr(4);
    test::write_file(dir / "plain.htm", test::pattern_bytes(80, 3));

    for (const bool read_A : {true, false}) {
        platform::ScopedRecorder local;
        local->setNextFile(read_A ? key_A : key_B);
        job_options job;
        job.key_usage = key_usage::read_each_time;
        job.read_A = read_A;
        job.read_B = !read_A;
        job.encode = job.decode = true;
        job.encode_files = {dir / "plain.htm"};
        job.encode_file_count = 1;
        job.encode_out_dir = dir.path() + test::kSep;
        job.decode_files = {dir / "plain.vek"};
        job.decode_file_count = 1;
        job.decode_out_dir = out();
        engine.run_job(job);
        if (read_A) {
            EXPECT_EQ(local->texts(), (std::vector<std::string>{
                                          "I will read A and generate oppsite B.\n", "Give me A"}));
            EXPECT_EQ(local->boxes[1].caption, "Orvinta VEK encoder");
        } else {
            EXPECT_EQ(local->texts(), std::vector<std::string>{"鍵ファイルを選んでください。"});
            EXPECT_EQ(local->boxes[0].caption, "Orvinta VEK デコーダ");
        }
        EXPECT_EQ(local->dialogs.size(), 1u);
        const auto written = outputs();
        ASSERT_FALSE(written.empty());
        EXPECT_EQ(test::read_file(out() + test::kSep + written.back()),
                  test::read_file(dir / "plain.htm"));
        std::filesystem::remove(out() + test::kSep + written.back());
    }
}

TEST_F(RunJobTest, ACancelledKeyDialogOpensTheLogAndStops) {
    job_options job = decode_job({vek("a", "txt")});
    job.key_usage = key_usage::read_each_time;
    job.read_B = true;
    job.key_to_use = nullptr;
    engine.run_job(job, &log);
    EXPECT_EQ(recorder->shell_opens, (std::vector<std::pair<std::string, std::string>>{
                                         {"d:\\log_boot.txt", "c:\\windows\\temp\\"}}));
    EXPECT_TRUE(outputs().empty());
    EXPECT_TRUE(log.events.empty());
}

TEST_F(RunJobTest, UnsupportedLevelsAreRefusedWithoutUsingAKey) {
    TempDir keys;
    job_options job = create_keys_job(false, true, keys.path() + test::kSep);
    job.levels = 5;
    engine.run_job(job);
    ASSERT_EQ(recorder->texts().size(), 1u);
    EXPECT_EQ(recorder->texts()[0],
              "levels 5 is not allowed: keys have 2 or 3 levels. Nothing was done.");
    EXPECT_TRUE(keys.entries().empty());
}

TEST_F(RunJobTest, KeySetRoadsThatDoNothing) {
    job_options job;
    job.make_key_set = true;
    job.key_set_kind = "infinite";
    job.levels = 2;
    engine.run_job(job);
    job.key_set_kind = "finite";
    job.levels = 3;
    engine.run_job(job);
    job.key_set_kind = "other";
    job.levels = 2;
    engine.run_job(job);
    EXPECT_EQ(
        recorder->texts(),
        (std::vector<std::string>{"Encryption complete", "The choice of m and n is not correct."}));
    EXPECT_EQ(recorder->boxes[0].caption, "Orvinta VEK encoder");
    EXPECT_EQ(recorder->boxes[1].buttons, platform::Buttons::OkCancel);
}

using RunJobDeathTest = RunJobTest;

TEST_F(RunJobDeathTest, ContradictoryOrUnknownKeyUsageEndsTheProgram) {
    struct Case {
        key_usage usage;
        bool a;
        bool b;
        int status;
        const char* text;
    } cases[] = {
        {static_cast<key_usage>(7), false, false, 1,
         "^VekDC: 7is not allowed for \"READ_EACH_TIME_OR_CREATE_OR_READ_ONCE\"\n$"},
        {key_usage::read_each_time, true, true, 0,
         "^VekDC: Reading A and B cannot happen at once.\n\n$"},
        {key_usage::read_each_time, false, false, 0,
         "^VekDC: You must specify A or B for reading.\n\n$"},
        {key_usage::create, false, false, 0, "^VekDC: You must specify A or B for creating.\n$"},
        {key_usage::create, true, true, 0, "^VekDC: You cannot create A and B at once.\n$"},
    };
    for (const auto& c : cases) {
        job_options job = decode_job({vek("a", "txt")});
        job.key_usage = c.usage;
        job.read_A = job.create_A = c.a;
        job.read_B = job.create_B = c.b;
        EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(c.status), c.text) << c.text;
    }
    EXPECT_TRUE(outputs().empty());
}

TEST_F(RunJobDeathTest, ThreeLevelKeysCannotBeMadeWithTheseDimensions) {
    TempDir keys;
    job_options job = create_keys_job(false, true, keys.path() + test::kSep);  // announces nothing
    job.levels = 3;
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(1), "^$");
    EXPECT_TRUE(keys.entries().empty());
}

TEST_F(RunJobDeathTest, ARefusedPlainFileEndsTheWholeEncodeList) {
    test::write_file(dir / "first.txt", test::pattern_bytes(40, 1));
    test::write_file(dir / "second.pdf", test::pattern_bytes(40, 1));
    const job_options job = encode_job(
        B.get(), {dir / "first.txt", dir / "second.pdf", dir / "third-does-not-exist.txt"},
        out() + test::kSep);
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(0),
                "^VekDC: Sorry, VEK encoder is not ready for this type of file: .*" +
                    test::kSepPattern + "second.pdf\n$");
    EXPECT_EQ(outputs(), std::vector<std::string>{"first.vek"});
}

TEST_F(RunJobDeathTest, ACountBeyondTheListMeetsAnEmptyPath) {
    job_options job = decode_job({vek("a", "txt")});
    job.decode_file_count = 2;
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(1),
                "file name is not given in batch mode \\(decoder\\).");
}

// ------------------------------------------------------------ refusing unusable keys

// The bytes of a key file holding M.
void write_key(const std::string& path, Matrix M, int rows, int cols) {
    std::string bytes;
    for (int i = 0; i < rows; ++i) {
        for (int j = 0; j < cols; ++j) {
            bytes.append(reinterpret_cast<const char*>(&M[i][j]), sizeof(double));
        }
    }
    test::write_file(path, bytes);
}

struct Spoil {
    const char* what;
    void (*apply)(Matrix M, int rows, int cols);
    const char* reason;  // pattern of the reason the message gives
};

const Spoil kSpoiledKeys[] = {
    {"not a number", [](Matrix M, int, int) { M[2][3] = std::nan(""); }, "not a finite number"},
    {"infinite", [](Matrix M, int, int) { M[0][0] = INFINITY; }, "not a finite number"},
    {"all zero",
     [](Matrix M, int rows, int cols) {
         for (int i = 0; i < rows; ++i) {
             for (int j = 0; j < cols; ++j) {
                 M[i][j] = 0.0;
             }
         }
     },
     "not independent"},
    {"huge", [](Matrix M, int, int) { M[5][6] = 1e308; }, "not independent"},
};

TEST_F(RunJobDeathTest, AnUnusableDecodingKeyEncodesNothing) {
    test::write_file(dir / "plain.txt", test::pattern_bytes(100, 1));
    for (const auto& spoil : kSpoiledKeys) {
        SCOPED_TRACE(spoil.what);
        spoil.apply(other.get(), kPlainLength, kBlockLength);
        job_options job = encode_job(other.get(), {dir / "plain.txt"}, out() + test::kSep);
        job.key_to_use_file = dir / "bad.key";
        EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(1),
                    "^VekDC: The decoding key cannot be used for encoding: .*bad.key: .*" +
                        std::string(spoil.reason));
        other = test::make_decoding_key(22);
    }
    EXPECT_TRUE(outputs().empty());
}

TEST_F(RunJobDeathTest, ADecodingKeyWhosePairDoesNotFitEncodesNothing) {
    // Two columns that differ only in rounding noise: the rank test lets the
    // key pass, but the derived encoding key no longer undoes it.
    test::write_file(dir / "plain.txt", test::pattern_bytes(100, 1));
    for (int i = 0; i < kPlainLength; ++i) {
        other.get()[i][11] = other.get()[i][10] * (1.0 + 1e-11 * (i % 3));
    }
    job_options job = encode_job(other.get(), {dir / "plain.txt"}, out() + test::kSep);
    job.key_to_use_file = dir / "near.key";
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(1),
                "^VekDC: The decoding key cannot be used for encoding: .*near.key: its pair does "
                "not fit together: deciphering may move a value by .+\n$");
    EXPECT_TRUE(outputs().empty());
}

TEST_F(RunJobDeathTest, AnUnusableEncodingKeyFileEncodesNothing) {
    test::write_file(dir / "plain.txt", test::pattern_bytes(100, 1));
    for (const auto& spoil : kSpoiledKeys) {
        SCOPED_TRACE(spoil.what);
        MatrixPtr A = test::encoding_key_for(B.get());
        spoil.apply(A.get(), kBlockLength, kPlainLength);
        write_key(dir / "A.key", A.get(), kBlockLength, kPlainLength);
        recorder->setNextFile(dir / "A.key");
        EXPECT_EXIT(engine.run_job(encode_job_reading_A({dir / "plain.txt"}, out() + test::kSep)),
                    testing::ExitedWithCode(1),
                    "VekDC: The encoding key cannot be used for encoding: .*A.key: .*" +
                        std::string(spoil.reason));
    }
    EXPECT_TRUE(outputs().empty());
}

TEST_F(RunJobDeathTest, TwoInputsForOneOutputEncodeNothing) {
    for (const char* name : {"a.txt", "b.txt", "a.doc"}) {
        test::write_file(dir / name, test::pattern_bytes(60, 2));
    }
    const std::vector<std::string> files = {dir / "a.txt", dir / "b.txt", dir / "a.doc"};
    EXPECT_EXIT(engine.run_job(encode_job(B.get(), files, out() + test::kSep)),
                testing::ExitedWithCode(1),
                "^VekDC: .*a.txt and .*a.doc would both be encoded to .*out.a.vek \\(encoder\\).\n"
                "Nothing was encoded \\(encoder\\).\n$");
    EXPECT_TRUE(outputs().empty());
}

TEST_F(RunJobDeathTest, AnOutputNameTakenByAFolderIsAnOpenError) {
    test::write_file(dir / "a.txt", test::pattern_bytes(60, 2));
    test::make_folder(out() + test::kSep + "a.vek");
    EXPECT_EXIT(
        engine.run_job(encode_job(B.get(), {dir / "a.txt"}, out() + test::kSep)),
        testing::ExitedWithCode(test::kStatusMinusOne),
        "^VekDC: enc out file open error: .*out" + test::kSepPattern + "a.vek: Is a directory\n$");
    EXPECT_EQ(outputs(), std::vector<std::string>{"a.vek"});
}

TEST_F(RunJobTest, AChosenKeyFileThatCannotBeOpenedIsNamedButOpensNoLog) {
    job_options job = decode_job({vek("a", "txt")});
    job.key_usage = key_usage::read_each_time;
    job.read_B = true;
    job.key_to_use = nullptr;
    recorder->setNextFile(dir / "missing.key");
    engine.run_job(job, &log);
    ASSERT_EQ(recorder->texts().size(), 2u);
    EXPECT_NE(recorder->texts()[1].find(dir / "missing.key"), std::string::npos)
        << recorder->texts()[1];
    EXPECT_NE(recorder->texts()[1].find("No such file or directory"), std::string::npos);
    EXPECT_TRUE(recorder->shell_opens.empty());
    EXPECT_TRUE(outputs().empty());
    EXPECT_TRUE(log.events.empty());
}

// ------------------------------------------------------------ many viewers

TEST_F(RunJobTest, ARunOfMoreThanTenViewersAsksOnceFirst) {
    struct Case {
        int pictures;  // files that open a viewer
        int texts;     // files that do not
        platform::Answer answer;
        bool asks;
        std::size_t viewers;
    } cases[] = {
        {10, 0, platform::Answer::Yes, false, 10},
        {10, 3, platform::Answer::No, false, 10},  // only ten would open a viewer
        {11, 0, platform::Answer::Yes, true, 11},
        {12, 2, platform::Answer::No, true, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.pictures) + " pictures, " + std::to_string(c.texts) +
                     " texts");
        std::vector<std::string> files;
        for (int i = 0; i < c.pictures + c.texts; ++i) {
            files.push_back(vek("f" + std::to_string(i), i < c.pictures ? "gif" : "txt"));
        }
        platform::ScopedRecorder local;
        local->setNextAnswer(c.answer);
        engine.run_job(decode_job(files));
        EXPECT_EQ(outputs().size(), files.size());
        if (c.asks) {
            ASSERT_EQ(local->boxes.size(), 1u);
            const auto& box = local->boxes[0];
            EXPECT_EQ(box.caption, "Orvinta VEK デコーダ");
            EXPECT_EQ(box.buttons, platform::Buttons::YesNo);
            EXPECT_EQ(box.icon, platform::Icon::Information);
            EXPECT_NE(box.text.find(std::to_string(c.pictures) + " 個"), std::string::npos);
        } else {
            EXPECT_TRUE(local->boxes.empty());
        }
        EXPECT_EQ(local->programs.size(), c.viewers);
        std::filesystem::remove_all(out());
        test::make_folder(out());
    }
}

// ------------------------------------------------------------ following and stopping

struct Stopper : Log {
    std::size_t stop_after = 0;  // files written before the job is asked to stop
    std::vector<std::string> progress;
    void file_written(job_step step, std::size_t i, const std::string& path,
                      const std::string& written) override {
        Log::file_written(step, i, path, written);
        ++written_count;
    }
    void file_progress(job_step, std::size_t i, std::uint64_t done, std::uint64_t total) override {
        progress.push_back(std::to_string(i) + ": " + std::to_string(done) + "/" +
                           std::to_string(total));
    }
    bool stop_requested() override {
        return written_count >= stop_after || (stop_at_progress && !progress.empty());
    }
    bool stop_at_progress = false;  // stop at the first step of a file
    void job_stopped(job_step step, std::size_t i) override {
        events.push_back(name(step) + " stopped " + std::to_string(i));
    }
    std::size_t written_count = 0;
};

TEST_F(RunJobTest, AStopBetweenFilesKeepsWhatWasWritten) {
    const std::vector<std::string> files = {vek("one", "txt"), vek("two", "txt"),
                                            vek("three", "txt")};
    Stopper stopper;
    stopper.stop_after = 1;
    engine.run_job(decode_job(files), &stopper);
    EXPECT_EQ(outputs(), std::vector<std::string>{"one.txt"});
    EXPECT_EQ(stopper.events.back(), "decode stopped 1");
    ASSERT_FALSE(stopper.progress.empty());
    EXPECT_EQ(stopper.progress.back(), "0: 418/418");  // 300 plain bytes + 118
}

// A list coded ahead on workers goes file by file as told: a taken name is
// replaced, a large file takes the ordinary road, a stop leaves no output
// of the files coded ahead behind it.
TEST_F(RunJobTest, AnEncodeListCodedAheadIsToldAndWrittenInOrder) {
    std::vector<std::string> files;
    for (const char* name : {"a.txt", "b.txt", "c.bmp", "d.txt", "e.txt", "f.txt", "g.txt"}) {
        files.push_back(dir / name);
        test::write_file(files.back(), test::pattern_bytes(name[0] == 'c' ? 200000 : 300, name[0]));
    }
    test::write_file(out() + test::kSep + "b.vek", "older");
    const std::string reference = dir / "reference" + test::kSep;
    test::make_folder(reference);
    Stopper stopper;
    stopper.stop_after = 5;
    engine.run_job(encode_job(B.get(), files, out() + test::kSep), &stopper);
    std::vector<std::string> events;
    for (std::size_t i = 0; i < 5; ++i) {
        const std::string stem(1, static_cast<char>('a' + i));
        events.push_back("encode start " + std::to_string(i) + " " + files[i]);
        events.push_back("encode wrote " + std::to_string(i) + " " + out() + test::kSep + stem +
                         ".vek");
        EXPECT_EQ(test::read_file(out() + test::kSep + stem + ".vek"),
                  test::read_file(test::encode_with(B.get(), files[i], reference)));
    }
    events.push_back("encode stopped 5");
    EXPECT_EQ(stopper.events, events);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"a.vek", "b.vek", "c.vek", "d.vek", "e.vek"}));
}

TEST_F(RunJobTest, AStopDuringAFileDiscardsItsOutput) {
    const std::string plain = dir / "big.txt";
    test::write_file(plain, test::pattern_bytes(40u << 20, 9));  // copied in several steps
    const std::string encrypted = test::encode_with(B.get(), plain, dir.path() + test::kSep);
    for (const bool before : {true, false}) {
        Stopper stopper;
        stopper.stop_after = before ? 0 : 1;
        stopper.stop_at_progress = !before;
        engine.run_job(decode_job({encrypted}), &stopper);
        EXPECT_TRUE(outputs().empty());
        EXPECT_EQ(stopper.events.back(), "decode stopped 0");
        EXPECT_EQ(stopper.progress.size(), before ? 0u : 1u);
    }
}

// ------------------------------------------------------------ ending by exception

// Services whose end of the program is an exception, so that a test sees
// where the program would end and that nothing leaks on the way out.
struct program_ended {
    int status;
};
class ThrowingServices : public platform::RecordingServices {
public:
    [[noreturn]] void exit_program(int status) override { throw program_ended{status}; }
};

TEST_F(RunJobTest, EveryFatalRoadUnwindsCleanly) {
    test::write_file(dir / "a.txt", test::pattern_bytes(60, 2));
    test::write_file(dir / "a.doc", test::pattern_bytes(60, 2));
    MatrixPtr nan_key = test::make_decoding_key(3);
    nan_key.get()[1][1] = std::nan("");
    struct Case {
        const char* what;
        std::function<job_options()> job;
        int status;
    } cases[] = {
        {"collision",
         [&] {
             return encode_job(B.get(), {dir / "a.txt", dir / "a.doc"}, out() + test::kSep);
         },
         1},
        {"unusable key",
         [&] { return encode_job(nan_key.get(), {dir / "a.txt"}, out() + test::kSep); }, 1},
        {"missing input", [&] { return decode_job({dir / "missing.vek"}); }, 1},
        {"missing output folder",
         [&] { return encode_job(B.get(), {dir / "a.txt"}, dir / "none/"); }, -1},
        {"contradictory key usage",
         [&] {
             job_options job = encode_job_reading_A({dir / "a.txt"}, out() + test::kSep);
             job.read_B = true;
             return job;
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ThrowingServices services;
        platform::Services* previous = platform::install(&services);
        int status = -1000;
        try {
            engine.run_job(c.job(), &log);
        } catch (const program_ended& ended) {
            status = ended.status;
        }
        platform::install(previous);
        EXPECT_EQ(status, c.status);
        EXPECT_EQ(services.boxes.size(), 1u);
        EXPECT_TRUE(outputs().empty());
    }
}
}  // namespace
}  // namespace vekdc
