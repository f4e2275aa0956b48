#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/console_services.h"
#include "platform/environment.h"
#include "platform/file.h"
#include "platform/file_filter.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/runtime.h"
#include "testing/recording_services.h"
#include "tests/support/test_support.h"

namespace vekdc::platform {
namespace {

using test::TempDir;

TEST(CrtRandom, FollowsTheOriginalRunTimeSequence) {
    crt_srand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected) {
        EXPECT_EQ(crt_rand(), value);
    }
    // Seed 0 is a seed of its own, not an alias of 1.
    crt_srand(0);
    EXPECT_EQ(crt_rand(), 38);
    EXPECT_EQ(crt_rand(), 7719);
}

TEST(CrtRandom, StaysWithinFifteenBits) {
    crt_srand(12345);
    int largest = 0;
    for (int i = 0; i < 200000; ++i) {
        const int value = crt_rand();
        ASSERT_GE(value, 0);
        largest = std::max(largest, value);
    }
    EXPECT_EQ(largest, kCrtRandMax);
}

TEST(CrtRandomDeathTest, StartsFromSeedOneInAFreshProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(crt_rand() == 41 ? 0 : 1), testing::ExitedWithCode(0), "");
}

TEST(Paths, DrivePathsMapThroughTheEnvironment) {
    const std::string root = kDrivesAreNative ? "C:\\srv\\vek" : "/srv/vek";
    const std::string s = test::kSep;
    struct Case {
        const char* root;  // value of VEKDC_DRIVE_D, nullptr: not set
        const char* path;
        std::optional<std::string> expected;
    } cases[] = {
        {"R", "d:\\master.key", root + s + "master.key"},
        {"R", "D:\\plainfile\\test_gif1.gif", root + s + "plainfile" + s + "test_gif1.gif"},
        {"R", "d:\\", root + s},
        {"R/", "d:\\log_boot.txt", root + s + "log_boot.txt"},
        // Without the variable the drive is the system's own, or there is none.
        {nullptr, "d:\\master.key",
         kDrivesAreNative ? std::optional<std::string>("d:\\master.key") : std::nullopt},
        // Ordinary paths are left alone, backslashes and all.
        {"R", "/home/u/a\\b.vek", "/home/u/a\\b.vek"},
        {"R", "d:relative", "d:relative"},
    };
    for (const auto& c : cases) {
        std::optional<std::string> value;
        if (c.root != nullptr) {
            value = std::string(c.root) == "R" ? root : root + s;
        }
        set_environment_variable("VEKDC_DRIVE_D", value);
        EXPECT_EQ(host_path(c.path), c.expected) << c.path;
    }
    set_environment_variable("VEKDC_DRIVE_D", std::nullopt);
}

TEST(Paths, SeparatorsAreThePlatformsOwn) {
    struct Case {
        const char* path;
        const char* folder_posix;  // folder_of on POSIX systems
        const char* folder_windows;
    } cases[] = {
        {"/home/u/a.b.vek", "/home/u/", "/home/u/"}, {"a.vek", "", ""},
        {"C:\\out\\a.vek", "", "C:\\out\\"},         {"dir\\sub/a.vek", "dir\\sub/", "dir\\sub/"},
        {"dir/sub\\a.vek", "dir/", "dir/sub\\"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(folder_of(c.path), kDrivesAreNative ? c.folder_windows : c.folder_posix)
            << c.path;
    }
    EXPECT_TRUE(is_path_separator('/'));
    EXPECT_EQ(is_path_separator('\\'), kDrivesAreNative);
    EXPECT_EQ(with_final_separator(""), "");  // the current folder stays ""
    EXPECT_EQ(with_final_separator("out"), "out" + test::kSep);
    EXPECT_EQ(with_final_separator("out/"), "out" + test::kSep);
    EXPECT_EQ(with_final_separator("out\\"), kDrivesAreNative ? "out\\" : "out\\/");
    // Paths formed from a folder show the system's separator only.
    EXPECT_EQ(with_final_separator("keys/b"), "keys" + test::kSep + "b" + test::kSep);
}

TEST(Environment, SetsReadsAndRemovesVariables) {
    const std::string long_value(5000, 'v');  // longer than any first guess of a buffer
    for (const std::string& value :
         {std::string("plain"), std::string("日本語の値"), long_value, std::string()}) {
        set_environment_variable("VEKDC_TEST_VARIABLE", value);
        EXPECT_EQ(environment_variable("VEKDC_TEST_VARIABLE"), value);
    }
    set_environment_variable("VEKDC_TEST_VARIABLE", std::nullopt);
    EXPECT_EQ(environment_variable("VEKDC_TEST_VARIABLE"), std::nullopt);
}

TEST(Launch, RecognisesTheFixedProgramsOnly) {
    EXPECT_EQ(fixed_program_argument(std::string(kBrowserProgram) + " /tmp/a b.gif"),
              "/tmp/a b.gif");
    EXPECT_EQ(fixed_program_argument(std::string(kExternalViewerProgram) + " x.wmf"), "x.wmf");
    EXPECT_EQ(fixed_program_argument("rm -rf /tmp/x"), std::nullopt);
    EXPECT_EQ(fixed_program_argument(kBrowserProgram), std::nullopt);
}

TEST(FileFilters, ReadPairsAndSingleLabels) {
    using Filters = std::vector<FileFilter>;
    const struct {
        const char* filter;
        Filters expected;
    } cases[] = {
        {"Vekキーファイル|*.key|すべて|*.*||",
         {{"Vekキーファイル", {"*.key"}}, {"すべて", {"*.*"}}}},
        {"vek file (*.vek)|*.vek| encrypted file (*.encrypted)|*.encrypted | all files (*.*)|*.*||",
         {{"vek file (*.vek)", {"*.vek"}},
          {"encrypted file (*.encrypted)", {"*.encrypted"}},
          {"all files (*.*)", {"*.*"}}}},
        {"key file (*.key)", {{"key file (*.key)", {"*.key"}}}},
        {" keys ", {{"keys", {}}}},
        {"text|*.txt; *.doc;||", {{"text", {"*.txt", "*.doc"}}}},
        {"a|*.a|b|*.b", {{"a", {"*.a"}}, {"b", {"*.b"}}}},
        {"a|*.a|b", {{"a", {"*.a"}}}},
        {"a||b|*.b||", {{"a", {}}, {"b", {"*.b"}}}},
        {"", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(parse_file_filter(c.filter), c.expected) << c.filter;
    }
}

TEST(ConsoleServices, BoxesGoToStandardErrorAndQuestionsTakePresetAnswers) {
    ConsoleServices console;
    console.set_launching(false);
    console.preset_answer(Answer::Cancel);
    testing::internal::CaptureStderr();
    EXPECT_EQ(console.message_box("hello", "Caption", Buttons::Ok, Icon::None), Answer::Ok);
    EXPECT_EQ(console.message_box("go on?", "Caption", Buttons::OkCancel, Icon::None),
              Answer::Cancel);
    // Without a preset answer and without a terminal, OK (or Yes).
    EXPECT_EQ(console.message_box("again?", "Caption", Buttons::OkCancel, Icon::None), Answer::Ok);
    EXPECT_EQ(console.message_box("sure?", "Caption", Buttons::YesNo, Icon::None), Answer::Yes);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Caption: hello\nCaption: go on?\nCaption: again?\nCaption: sure?\n");
}

TEST(ConsoleServices, FileDialogsTakePresetPathsAndCancelOtherwise) {
    ConsoleServices console;
    console.preset_file("/tmp/a.key");
    console.preset_file("");
    EXPECT_EQ(console.open_file({}), "/tmp/a.key");
    EXPECT_EQ(console.open_file({}), std::nullopt);  // an empty answer cancels
    EXPECT_EQ(console.open_file({}), std::nullopt);  // no answer and no terminal
}

TEST(RecordingServices, InstallsForItsScopeAndRecordsEverything) {
    Services* before = &services();
    {
        ScopedRecorder recorder;
        EXPECT_EQ(&services(), &*recorder);
        recorder->setNextAnswer(Answer::No);
        recorder->setNextFile("/x.key");
        testing::internal::CaptureStderr();
        EXPECT_EQ(services().message_box("q", "c", Buttons::YesNo, Icon::Question), Answer::No);
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(services().open_file({"t", "f", "key", "*.key", "./", {}}), "/x.key");
        services().run_program("prog arg");
        services().shell_open("d:\\log_boot.txt", "c:\\windows\\temp\\");
        ASSERT_EQ(recorder->boxes.size(), 1u);
        EXPECT_EQ(recorder->boxes[0].caption, "c");
        EXPECT_EQ(recorder->dialogs.at(0).default_ext, "key");
        EXPECT_EQ(recorder->programs, std::vector<std::string>{"prog arg"});
        EXPECT_EQ(recorder->shell_opens.at(0).first, "d:\\log_boot.txt");
    }
    EXPECT_EQ(&services(), before);
}

// ---------------------------------------------------------------- files

// Every output test runs with unnamed files and with hidden temporaries.
class OutputFileTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
#ifdef _WIN32
        if (GetParam()) {
            GTEST_SKIP() << "Windows has no unnamed files: every output is a hidden temporary";
        }
#endif
        OutputFile::allow_unnamed_files(GetParam());
    }
    void TearDown() override {
        OutputFile::allow_unnamed_files(true);
    }
};

INSTANTIATE_TEST_SUITE_P(Storage, OutputFileTest, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Unnamed" : "HiddenTemporary";
                         });

TEST_P(OutputFileTest, AppearsOnlyWhenPublished) {
    TempDir dir;
    {
        auto out = OutputFile::create_beside(dir / "a.txt");
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->write("abc", 3));
        if (GetParam()) {
            EXPECT_TRUE(dir.entries().empty());  // nothing with a name while it is written
        } else {
            ASSERT_EQ(dir.entries().size(), 1u);  // only a hidden temporary
            EXPECT_EQ(dir.entries()[0][0], '.');
        }
        EXPECT_EQ(out->publish_new(dir / "a.txt"), OutputFile::Publish::Done);
    }
    EXPECT_EQ(test::read_file(dir / "a.txt"), "abc");
    {
        auto abandoned = OutputFile::create_beside(dir / "b.txt");
        ASSERT_TRUE(abandoned);
        ASSERT_TRUE(abandoned->write("partial", 7));
    }
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.txt"});
}

TEST_P(OutputFileTest, PublishNewNeverReplaces) {
    TempDir dir;
    test::write_file(dir / "a.txt", "old");
    auto out = OutputFile::create_beside(dir / "a.txt");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write("new", 3));
    EXPECT_EQ(out->publish_new(dir / "a.txt"), OutputFile::Publish::Exists);
    EXPECT_EQ(test::read_file(dir / "a.txt"), "old");
    EXPECT_EQ(out->publish_new(dir / "a2.txt"), OutputFile::Publish::Done);
    EXPECT_EQ(test::read_file(dir / "a2.txt"), "new");
}

TEST_P(OutputFileTest, PublishReplacingSwapsInTheCompleteFile) {
    TempDir dir;
    test::write_file(dir / "k.key", "old content");
    auto out = OutputFile::create_beside(dir / "k.key");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write("new", 3));
    EXPECT_EQ(test::read_file(dir / "k.key"), "old content");
    ASSERT_TRUE(out->publish_replacing(dir / "k.key"));
    EXPECT_EQ(test::read_file(dir / "k.key"), "new");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"k.key"});  // no temporary left
}

// What a writer leaves in its folder while it writes: nothing where the
// file is unnamed, its hidden temporary on Windows.
#ifdef _WIN32
constexpr std::size_t kSeenWhileWritten = 1;
#else
constexpr std::size_t kSeenWhileWritten = 0;
#endif

TEST(OutputFileDeathTest, AProcessThatExitsLeavesNoHiddenTemporary) {
    TempDir dir;
    EXPECT_EXIT(
        {
            OutputFile::allow_unnamed_files(false);
            auto out = OutputFile::create_beside(dir / "a.txt");
            // exit() runs the clean-up
            std::exit(out && out->write("half", 4) && dir.entries().size() == 1 ? 3 : 4);
        },
        testing::ExitedWithCode(3), "");
    EXPECT_TRUE(dir.entries().empty());
}

TEST(OutputFileDeathTest, AKilledWriterLeavesNothingBehind) {
    TempDir dir;
    EXPECT_EXIT(
        {
            auto out = OutputFile::create_beside(dir / "a.txt");
            if (!out || !out->write("half", 4) || dir.entries().size() != kSeenWhileWritten) {
                std::exit(5);
            }
            test::kill_self();
        },
        test::killed(), "");
    EXPECT_TRUE(dir.entries().empty());
}

TEST_P(OutputFileTest, MissingFolderOrDriveFails) {
    TempDir dir;
    EXPECT_FALSE(OutputFile::create_beside(dir / "no/such/a.txt"));
    test::UnavailableDrive no_q('Q', dir);
    EXPECT_FALSE(OutputFile::create_beside("q:\\a.txt"));
}

TEST_P(OutputFileTest, CopiesRangesAtOffsetsBeyondFourGibibytes) {
    TempDir dir;
    const std::uint64_t far = (std::uint64_t{1} << 32) + 1000;  // sparse: takes no disk space
    test::write_sparse(dir / "sparse", far, "tail-bytes");
    auto in = InputFile::open(dir / "sparse");
    ASSERT_TRUE(in);
    EXPECT_EQ(in->size(), far + 10);
    auto out = OutputFile::create_beside(dir / "copy");
    ASSERT_TRUE(out);
    using Copied = OutputFile::Copied;
    ASSERT_EQ(out->copy_from(*in, far + 2, 8), Copied::Done);
    EXPECT_EQ(out->copy_from(*in, far + 5, 100), Copied::SourceEnded);  // past the end
    ASSERT_EQ(out->publish_new(dir / "copy"), OutputFile::Publish::Done);
    EXPECT_EQ(test::read_file(dir / "copy").substr(0, 8), "il-bytes");
}

TEST_P(OutputFileTest, CopiesLargeUnalignedRangesExactly) {
    TempDir dir;
    const std::string content = test::pattern_bytes((3u << 20) + 500, 17);
    test::write_file(dir / "source", content);
    auto in = InputFile::open(dir / "source");
    ASSERT_TRUE(in);
    auto out = OutputFile::create_beside(dir / "copy");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write("0123456789", 10));
    ASSERT_EQ(out->copy_from(*in, 77, content.size() - 77 - 123), OutputFile::Copied::Done);
    ASSERT_EQ(out->copy_from(*in, 5, 3), OutputFile::Copied::Done);  // the other road
    ASSERT_EQ(out->publish_new(dir / "copy"), OutputFile::Publish::Done);
    EXPECT_EQ(test::read_file(dir / "copy"),
              "0123456789" + content.substr(77, content.size() - 77 - 123) + content.substr(5, 3));
}

TEST_P(OutputFileTest, StepsThroughALargeCopyAndStopsWhenAsked) {
    TempDir dir;
    const std::string content = test::pattern_bytes((40u << 20) + 3, 5);
    test::write_file(dir / "source", content);
    auto in = InputFile::open(dir / "source");
    ASSERT_TRUE(in);
    {
        std::vector<std::uint64_t> steps;
        auto out = OutputFile::create_beside(dir / "copy");
        ASSERT_TRUE(out);
        ASSERT_EQ(out->copy_from(*in, 1, content.size() - 1,
                                 [&](std::uint64_t copied) {
                                     steps.push_back(copied);
                                     return true;
                                 }),
                  OutputFile::Copied::Done);
        ASSERT_EQ(out->publish_new(dir / "copy"), OutputFile::Publish::Done);
        EXPECT_EQ(test::read_file(dir / "copy"), content.substr(1));
        // Bounded steps that rise to the whole length.
        ASSERT_GE(steps.size(), 3u);
        EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
        EXPECT_EQ(steps.back(), content.size() - 1);
    }
    {
        int calls = 0;
        auto out = OutputFile::create_beside(dir / "stopped");
        ASSERT_TRUE(out);
        EXPECT_EQ(
            out->copy_from(*in, 0, content.size(), [&](std::uint64_t) { return ++calls < 2; }),
            OutputFile::Copied::Stopped);
        EXPECT_EQ(calls, 2);
    }
    EXPECT_FALSE(test::exists(dir / "stopped"));
}

TEST(FileStatus, TellsWhatAPathNamesWithoutOpeningIt) {
    TempDir dir;
    test::write_file(dir / "plain", "12345");
    struct Case {
        std::string path;
        FileKind kind;
        std::uint64_t size;
        int error;
    };
    std::vector<Case> cases = {
        {dir / "plain", FileKind::Regular, 5, 0},
        {dir.path(), FileKind::Folder, 0, 0},
        {dir / "missing", FileKind::Missing, 0, ENOENT},
    };
#ifdef _WIN32
    // Windows reports a file used as a folder as a missing path.
    cases.push_back({dir / "plain" + test::kSep + "below", FileKind::Missing, 0, ENOENT});
    cases.push_back({"\\\\.\\pipe\\vekdc-no-such-pipe", FileKind::Other, 0, 0});
#else
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    cases.push_back({dir / "plain/below", FileKind::Missing, 0, ENOTDIR});
    cases.push_back({dir / "pipe", FileKind::Pipe, 0, 0});  // would block if it were opened
    cases.push_back({"/dev/null", FileKind::Other, 0, 0});
#endif
    for (const auto& c : cases) {
        const FileStatus status = file_status(c.path);
        EXPECT_EQ(status.kind, c.kind) << c.path;
        EXPECT_EQ(status.size, c.size) << c.path;
        EXPECT_EQ(status.error, c.error) << c.path;
    }
}

TEST(InputFile, RefusesFoldersAndMissingFiles) {
    TempDir dir;
    EXPECT_FALSE(InputFile::open(dir.path()));
    EXPECT_FALSE(InputFile::open(dir / "missing"));
    test::write_file(dir / "short", "12345");
    auto in = InputFile::open(dir / "short");
    ASSERT_TRUE(in);
    char buffer[8];
    EXPECT_TRUE(in->read_at(buffer, 5, 0));
    EXPECT_FALSE(in->read_at(buffer, 6, 0));
}

TEST(Runtime, TickCountAndClockMove) {
    const auto t0 = tick_count();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the time to be measured
    const auto t1 = tick_count();
    EXPECT_GE(static_cast<std::uint32_t>(t1 - t0), 15u);
    EXPECT_GT(current_time_seconds(), 1700000000);
}

}  // namespace
}  // namespace vekdc::platform
