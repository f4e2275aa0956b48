#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include <gtest/gtest.h>

#include "platform/console_services.h"
#include "platform/file.h"
#include "platform/launch.h"
#include "platform/paths.h"
#include "platform/recording_services.h"
#include "platform/runtime.h"
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
    ::setenv("VEKDC_DRIVE_D", "/srv/vek", 1);
    EXPECT_EQ(host_path("d:\\master.key"), "/srv/vek/master.key");
    EXPECT_EQ(host_path("D:\\plainfile\\test_gif1.gif"), "/srv/vek/plainfile/test_gif1.gif");
    EXPECT_EQ(host_path("d:\\"), "/srv/vek/");
    ::setenv("VEKDC_DRIVE_D", "/srv/vek/", 1);
    EXPECT_EQ(host_path("d:\\log_boot.txt"), "/srv/vek/log_boot.txt");
    ::unsetenv("VEKDC_DRIVE_D");
    EXPECT_EQ(host_path("d:\\master.key"), std::nullopt);
    // Ordinary paths are left alone, backslashes and all.
    EXPECT_EQ(host_path("/home/u/a\\b.vek"), "/home/u/a\\b.vek");
    EXPECT_EQ(host_path("d:relative"), "d:relative");
    EXPECT_EQ(folder_of("/home/u/a.b.vek"), "/home/u/");
    EXPECT_EQ(folder_of("a.vek"), "");
}

TEST(Launch, RecognisesTheFixedProgramsOnly) {
    EXPECT_EQ(fixed_program_argument(std::string(kBrowserProgram) + " /tmp/a b.gif"),
              "/tmp/a b.gif");
    EXPECT_EQ(fixed_program_argument(std::string(kExternalViewerProgram) + " x.wmf"), "x.wmf");
    EXPECT_EQ(fixed_program_argument("rm -rf /tmp/x"), std::nullopt);
    EXPECT_EQ(fixed_program_argument(kBrowserProgram), std::nullopt);
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
        EXPECT_EQ(services().open_file({"t", "f", "key", "*.key", "./"}), "/x.key");
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
    void SetUp() override { OutputFile::allow_unnamed_files(GetParam()); }
    void TearDown() override { OutputFile::allow_unnamed_files(true); }
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

TEST(OutputFile, AProcessThatExitsLeavesNoHiddenTemporary) {
    TempDir dir;
    OutputFile::allow_unnamed_files(false);
    const pid_t child = ::fork();
    if (child == 0) {
        auto out = OutputFile::create_beside(dir / "a.txt");
        if (out && out->write("half", 4)) {
            std::exit(dir.entries().size() == 1 ? 3 : 4);  // exit() runs the clean-up
        }
        std::exit(5);
    }
    OutputFile::allow_unnamed_files(true);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(OutputFile, AKilledWriterLeavesNothingBehind) {
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) {
        auto out = OutputFile::create_beside(dir / "a.txt");
        if (out) {
            (void)out->write("half", 4);
        }
        ::kill(::getpid(), SIGKILL);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(dir.entries().empty());
}

// A process number that no process has: a child's, once it is reaped.
pid_t gone_process() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST(LeftoverTemporaries, OnlyThoseOfGoneProcessesAreRemoved) {
    TempDir dir;
    const std::string gone = std::to_string(gone_process());
    const std::string own = std::to_string(::getpid());
    const std::string parent = std::to_string(::getppid());
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {".vekdc-" + gone + "-17-0.tmp", true},
        {".vekdc-" + gone + "-4294967295-12.tmp", true},
        {".vekdc-" + own + "-17-0.tmp", false},     // this process's own
        {".vekdc-" + parent + "-17-0.tmp", false},  // a process that lives
        {".vekdc-" + gone + "-17.tmp", false},      // other patterns are not ours
        {".vekdc-" + gone + "-17-0.tmpx", false},
        {"x.vekdc-" + gone + "-17-0.tmp", false},
        {".vekdc-" + gone + "-1x-0.tmp", false},
        {".vekdc--17-0.tmp", false},
        {".vekdc-0-17-0.tmp", false},
    };
    for (const auto& c : cases) {
        test::write_file(dir / c.name, "left over");
    }
    // A folder of the pattern, and a file whose lock is still held.
    const std::string folder = ".vekdc-" + gone + "-18-0.tmp";
    ::mkdir((dir / folder).c_str(), 0755);
    const std::string locked = ".vekdc-" + gone + "-19-0.tmp";
    test::write_file(dir / locked, "in use");
    const int lock_fd = ::open((dir / locked).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lock_fd, LOCK_EX), 0);

    remove_leftover_temporaries(dir.path() + "/");
    ::close(lock_fd);
    for (const auto& c : cases) {
        EXPECT_EQ(test::exists(dir / c.name), !c.removed) << c.name;
    }
    EXPECT_TRUE(test::exists(dir / folder));
    EXPECT_TRUE(test::exists(dir / locked));
}

TEST(LeftoverTemporaries, TheNextWriterInTheFolderRemovesAKilledWritersTemporary) {
    TempDir dir;
    const pid_t child = ::fork();
    if (child == 0) {
        OutputFile::allow_unnamed_files(false);
        auto out = OutputFile::create_beside(dir / "a.txt");
        if (out) {
            (void)out->write("half", 4);
        }
        ::kill(::getpid(), SIGKILL);
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    ASSERT_EQ(dir.entries().size(), 1u);
    EXPECT_TRUE(dir.entries()[0].starts_with(".vekdc-" + std::to_string(child) + "-"));
    auto out = OutputFile::create_beside(dir / "b.txt");
    ASSERT_TRUE(out);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(LeadingBytes, ReadsFilesAndRefusesWhatIsNeitherFileNorPipe) {
    TempDir dir;
    test::write_file(dir / "short", "abc");
    test::write_file(dir / "long", "abcdefgh");
    using S = LeadingBytes::Status;
    const struct {
        std::string path;
        S status;
        std::string bytes;
        std::uint64_t total;
        int error;
    } cases[] = {
        {dir / "short", S::Done, "abc", 3, 0},           {dir / "long", S::Done, "abcde", 8, 0},
        {dir / "missing", S::CannotOpen, "", 0, ENOENT}, {dir.path(), S::CannotOpen, "", 0, EISDIR},
        {"/dev/null", S::NotFileOrPipe, "", 0, 0},       {"/dev/zero", S::NotFileOrPipe, "", 0, 0},
    };
    for (const auto& c : cases) {
        const LeadingBytes read = read_leading_bytes(c.path, 5);
        EXPECT_EQ(read.status, c.status) << c.path;
        EXPECT_EQ(std::string(read.bytes.begin(), read.bytes.end()), c.bytes) << c.path;
        EXPECT_EQ(read.total, c.total) << c.path;
        EXPECT_EQ(read.error, c.error) << c.path;
    }
}

std::vector<unsigned char> bytes_of(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(NewFiles, AGroupAppearsWholeUnderFreeNamesAndReplacesNothing) {
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> held;  // name, bytes there before
        bool suffixed;
    } cases[] = {
        {"free names", {}, false},
        {"the second name taken", {{"b.key", "other"}}, true},
        {"both names hold the group already", {{"a.key", "AAA"}, {"b.key", "BBB"}}, false},
        {"one holds its file, one is taken", {{"a.key", "AAA"}, {"b.key", "other"}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        for (const auto& [name, bytes] : c.held) {
            test::write_file(dir / name, bytes);
        }
        const NewFiles written = write_new_files(
            dir.path() + "/", {{"a.key", bytes_of("AAA")}, {"b.key", bytes_of("BBB")}},
            Access::Private);
        ASSERT_TRUE(written.ok);
        EXPECT_EQ(written.suffix.empty(), !c.suffixed);
        ASSERT_EQ(written.paths.size(), 2u);
        EXPECT_EQ(written.paths[0], dir / ("a" + written.suffix + ".key"));
        EXPECT_EQ(written.paths[1], dir / ("b" + written.suffix + ".key"));
        EXPECT_EQ(test::read_file(written.paths[0]), "AAA");
        EXPECT_EQ(test::read_file(written.paths[1]), "BBB");
        for (const auto& [name, bytes] : c.held) {
            EXPECT_EQ(test::read_file(dir / name), bytes);
        }
        struct stat st {};
        ASSERT_EQ(::stat(written.paths[1].c_str(), &st), 0);
        if (c.suffixed || c.held.empty()) {
            EXPECT_EQ(st.st_mode & 0777, 0600u);
        }
    }
}

TEST(NewFiles, AGroupThatCannotBeWrittenLeavesNothingAndNamesTheFile) {
    TempDir dir;
    const NewFiles written =
        write_new_files(dir / "none/", {{"a.key", bytes_of("A")}}, Access::Private);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.failed_path, dir / "none/a.key");
    EXPECT_EQ(written.error, ENOENT);
    EXPECT_TRUE(dir.entries().empty());
}

TEST_P(OutputFileTest, MissingFolderOrDriveFails) {
    TempDir dir;
    EXPECT_FALSE(OutputFile::create_beside(dir / "no/such/a.txt"));
    ::unsetenv("VEKDC_DRIVE_Q");
    EXPECT_FALSE(OutputFile::create_beside("q:\\a.txt"));
}

TEST_P(OutputFileTest, CopiesRangesAtOffsetsBeyondFourGibibytes) {
    TempDir dir;
    const std::uint64_t far = (std::uint64_t{1} << 32) + 1000;  // sparse: takes no disk space
    {
        const int fd = ::open((dir / "sparse").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "tail-bytes", 10, static_cast<off_t>(far)), 10);
        ::close(fd);
    }
    auto in = InputFile::open(dir / "sparse");
    ASSERT_TRUE(in);
    EXPECT_EQ(in->size(), far + 10);
    auto out = OutputFile::create_beside(dir / "copy");
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->copy_from(*in, far + 2, 8));
    EXPECT_FALSE(out->copy_from(*in, far + 5, 100));  // past the end
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
    ASSERT_TRUE(out->copy_from(*in, 77, content.size() - 77 - 123));
    ASSERT_TRUE(out->copy_from(*in, 5, 3));  // a small range takes the other road
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
        ASSERT_TRUE(out->copy_from(*in, 1, content.size() - 1, [&](std::uint64_t copied) {
            steps.push_back(copied);
            return true;
        }));
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
        EXPECT_FALSE(
            out->copy_from(*in, 0, content.size(), [&](std::uint64_t) { return ++calls < 2; }));
        EXPECT_EQ(calls, 2);
    }
    EXPECT_FALSE(test::exists(dir / "stopped"));
}

TEST(FileStatus, TellsWhatAPathNamesWithoutOpeningIt) {
    TempDir dir;
    test::write_file(dir / "plain", "12345");
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
    const struct {
        std::string path;
        FileKind kind;
        std::uint64_t size;
        int error;
    } cases[] = {
        {dir / "plain", FileKind::Regular, 5, 0},
        {dir.path(), FileKind::Folder, 0, 0},
        {dir / "pipe", FileKind::Pipe, 0, 0},  // would block if it were opened
        {"/dev/null", FileKind::Other, 0, 0},
        {dir / "missing", FileKind::Missing, 0, ENOENT},
        {dir / "plain/below", FileKind::Missing, 0, ENOTDIR},
    };
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
    ::usleep(20000);
    const auto t1 = tick_count();
    EXPECT_GE(static_cast<std::uint32_t>(t1 - t0), 15u);
    EXPECT_GT(current_time_seconds(), 1700000000);
}

}  // namespace
}  // namespace vekdc::platform
