// The POSIX side of writing files: hidden temporaries that a killed process
// left, small files read through pipes, and groups of files written whole.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/support/test_support.h"

namespace vekdc::platform {
namespace {

using test::TempDir;

// A process number that no process has: a child's, once it is reaped.
pid_t gone_process() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

// A process that has ended but was not reaped yet: kill(pid, 0) still finds it.
struct Zombie {
    pid_t pid = ::fork();
    Zombie() {
        if (pid == 0) {
            ::_exit(0);
        }
        siginfo_t info{};
        ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    }
    ~Zombie() { ::waitpid(pid, nullptr, 0); }
};

TEST(LeftoverTemporaries, OnlyThoseNobodyHoldsAreRemoved) {
    TempDir dir;
    const Zombie zombie;
    const std::string gone = std::to_string(gone_process());
    const std::string own = std::to_string(::getpid());
    const std::string parent = std::to_string(::getppid());
    const std::string dead = std::to_string(zombie.pid);
    const struct {
        std::string name;
        bool removed;
    } cases[] = {
        {".vekdc-" + gone + "-17-0.tmp", true},
        {".vekdc-" + gone + "-4294967295-12.tmp", true},
        {".vekdc-" + own + "-17-0.tmp", false},    // this process's own
        {".vekdc-" + parent + "-17-0.tmp", true},  // a live owner would hold its lock
        {".vekdc-" + dead + "-17-0.tmp", true},    // an ended, unreaped owner holds nothing
        {".vekdc-" + gone + "-17.tmp", false},     // other patterns are not ours
        {".vekdc-" + gone + "-17-0.tmpx", false},
        {"x.vekdc-" + gone + "-17-0.tmp", false},
        {".vekdc-" + gone + "-1x-0.tmp", false},
        {".vekdc--17-0.tmp", false},
        {".vekdc-0-17-0.tmp", false},
        {".vekdc-" + gone + "-20-0.tmp", false},  // a file a command was given
    };
    for (const auto& c : cases) {
        test::write_file(dir / c.name, "left over");
    }
    spare_from_clearing({dir / (".vekdc-" + gone + "-20-0.tmp"), dir / "not-a-leftover.txt"});
    // A folder of the pattern, and a file whose lock is still held.
    const std::string folder = ".vekdc-" + gone + "-18-0.tmp";
    ::mkdir((dir / folder).c_str(), 0755);
    const std::string locked = ".vekdc-" + gone + "-19-0.tmp";
    test::write_file(dir / locked, "in use");
    const int lock_fd = ::open((dir / locked).c_str(), O_RDONLY);
    ASSERT_EQ(::flock(lock_fd, LOCK_EX), 0);
    // As root: a leftover of another user is that user's to remove.
    const std::string others = ".vekdc-" + gone + "-21-0.tmp";
    test::write_file(dir / others, "someone else's");
    const bool as_root = ::geteuid() == 0;
    if (as_root) {
        ASSERT_EQ(::chown((dir / others).c_str(), 65534, 65534), 0);
    }

    remove_leftover_temporaries(dir.path() + "/");
    ::close(lock_fd);
    for (const auto& c : cases) {
        EXPECT_EQ(test::exists(dir / c.name), !c.removed) << c.name;
    }
    EXPECT_TRUE(test::exists(dir / folder));
    EXPECT_TRUE(test::exists(dir / locked));
    EXPECT_EQ(test::exists(dir / others), as_root);
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

// A file replaced by a new one: the new one has the older one's mode, and
// its owner where the process may give it (as root, another user's).
TEST(ReplacedFiles, KeepTheirModeAndOwner) {
    const bool as_root = ::geteuid() == 0;
    const struct {
        mode_t mode;
        uid_t owner;  // of the older file; replaced by the runner's own without root
    } cases[] = {
        {0600, 65534},
        {0640, 65534},
        {0755, ::geteuid()},
    };
    for (const auto& c : cases) {
        TempDir dir;
        test::write_file(dir / "a.vek", "older");
        ASSERT_EQ(::chmod((dir / "a.vek").c_str(), c.mode), 0);
        const uid_t owner = as_root ? c.owner : ::geteuid();
        ASSERT_EQ(::chown((dir / "a.vek").c_str(), owner, static_cast<gid_t>(-1)), 0);
        for (const bool unnamed : {true, false}) {
            OutputFile::allow_unnamed_files(unnamed);
            auto out = OutputFile::create_beside(dir / "a.vek");
            ASSERT_TRUE(out);
            ASSERT_TRUE(out->write("newer", 5));
            ASSERT_TRUE(out->publish_replacing(dir / "a.vek"));
            OutputFile::allow_unnamed_files(true);
            struct stat st {};
            ASSERT_EQ(::stat((dir / "a.vek").c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, c.mode) << std::oct << c.mode;
            EXPECT_EQ(st.st_uid, owner);
            EXPECT_EQ(test::read_file(dir / "a.vek"), "newer");
        }
    }
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

}  // namespace
}  // namespace vekdc::platform
