#include <cmath>
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "engine/matrix_cipher.h"
#include "platform/launch.h"
#include "platform/recording_services.h"
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
        job_options job;
        job.key_usage = "read_once";
        job.B_was_read = true;
        job.decode = true;
        job.key_to_use = B.get();
        job.encode_files = {""};
        job.decode_files = files;
        job.decode_file_count = static_cast<int>(files.size());
        job.decode_out_dir = out();
        return job;
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
        job_options job;
        job.key_usage = "create";
        job.create_A = c.create_A;
        job.create_B = !c.create_A;
        job.random_A = job.random_B = c.random;
        job.save_keys = c.save;
        job.key_dir = keys.path() + test::kSep;
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
        MatrixPtr savedB(
            read_matrix_from_binary_file(false, false, 11, 12, nullptr, nullptr, first.substr(4)));
        MatrixPtr savedA(read_matrix_from_binary_file(false, false, 12, 11, nullptr, nullptr,
                                                      keylog.events[1].substr(4)));
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
        job_options job;
        job.key_usage = "create";
        job.create_A = job.random_A = job.save_keys = true;
        job.key_dir = keys->path() + test::kSep;
        engine.run_job(job);
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
    create.key_usage = "create";
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
        job.key_usage = "read_each_time";
        job.read_A = read_A;
        job.read_B = !read_A;
        job.B_was_read = true;  // as the decode runner passes it
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
    job.key_usage = "read_each_time";
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
    job_options job;
    job.key_usage = "create";
    job.create_B = job.random_B = job.save_keys = true;
    job.levels = 5;
    job.key_dir = keys.path() + test::kSep;
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
        const char* usage;
        bool a;
        bool b;
        int status;
        const char* text;
    } cases[] = {
        {"READ_ONCE", false, false, 1,
         "^VekDC: READ_ONCEis not allowed for \"READ_EACH_TIME_OR_CREATE_OR_READ_ONCE\"\n$"},
        {"read_each_time", true, true, 0, "^VekDC: Reading A and B cannot happen at once.\n\n$"},
        {"read_each_time", false, false, 0, "^VekDC: You must specify A or B for reading.\n\n$"},
        {"create", false, false, 0, "^VekDC: You must specify A or B for creating.\n$"},
        {"create", true, true, 0, "^VekDC: You cannot create A and B at once.\n$"},
    };
    for (const auto& c : cases) {
        job_options job = decode_job({vek("a", "txt")});
        job.key_usage = c.usage;
        job.read_A = job.create_A = c.a;
        job.read_B = job.create_B = c.b;
        EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(c.status), c.text) << c.usage;
    }
    EXPECT_TRUE(outputs().empty());
}

TEST_F(RunJobDeathTest, ThreeLevelKeysCannotBeMadeWithTheseDimensions) {
    TempDir keys;
    job_options job;
    job.key_usage = "create";
    job.create_B = job.random_B = job.save_keys = true;  // announces nothing
    job.levels = 3;
    job.key_dir = keys.path() + test::kSep;
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(1), "^$");
    EXPECT_TRUE(keys.entries().empty());
}

TEST_F(RunJobDeathTest, ARefusedPlainFileEndsTheWholeEncodeList) {
    test::write_file(dir / "first.txt", test::pattern_bytes(40, 1));
    test::write_file(dir / "second.pdf", test::pattern_bytes(40, 1));
    job_options job;
    job.key_usage = "read_once";
    job.key_to_use = B.get();
    job.encode = true;
    job.encode_files = {dir / "first.txt", dir / "second.pdf", dir / "third-does-not-exist.txt"};
    job.encode_file_count = 3;
    job.encode_out_dir = out() + test::kSep;
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(0),
                "^VekDC: Sorry, VEK encoder is not ready for this type of file.\n$");
    EXPECT_EQ(outputs(), std::vector<std::string>{"first.vek"});
}

TEST_F(RunJobDeathTest, ACountBeyondTheListMeetsAnEmptyPath) {
    job_options job = decode_job({vek("a", "txt")});
    job.decode_file_count = 2;
    EXPECT_EXIT(engine.run_job(job), testing::ExitedWithCode(1),
                "file name is not given in batch mode \\(decoder\\).");
}

}  // namespace
}  // namespace vekdc
