// Every way the programs write a file, attacked from outside: the process
// killed at a random step of a large write, and the disk full mid-write.
// Whatever happens, no partial file appears under a final name, an older file
// stays as it was, the failure is reported with the right message and status,
// and no temporary survives the next run that writes into the folder.
//
// The programs run as they are, with a preloaded test library (fault_shim)
// that stops them before a chosen step of writing, fails writes as a full
// disk does, or takes unnamed files away so that the hidden-temporary road is
// used. A real full disk is a small tmpfs, mounted in a mount namespace of
// this test's own where the system allows one.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "tests/support/test_support.h"

namespace vekdc {
namespace {

using test::TempDir;

const std::string kCli = VEKDC_CLI;
const std::string kShim = VEKDC_FAULT_SHIM;
const std::string kKey = std::string(VEKDC_SOURCE_DIR) + "/examples/example.key";
const std::string kOlder = "an older file, which must stay as it is";
constexpr std::size_t kLargeBytes = std::size_t{24} << 20;
constexpr std::size_t kKeyBytes = 1056;

// ---------------------------------------------------------------- child processes

struct Outcome {
    bool stopped = false;  // stopped before the chosen step, then killed
    int status = -1;       // exit status when it ended by itself
    std::string out;
    std::string err;
};

std::string drain(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

// Runs vekdc-cli with the fault library and `settings` ("NAME=VALUE"). A
// process that stops itself is looked at by `while_stopped`, then killed.
Outcome run_cli(const std::vector<std::string>& args, const std::vector<std::string>& settings,
                const std::function<void()>& while_stopped = {}) {
    std::vector<std::string> argv{kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv) {
        raw.push_back(a.data());
    }
    raw.push_back(nullptr);
    std::vector<std::string> env{"LD_PRELOAD=" + kShim,
                                 // The sanitizer runtime need not come first in a test's child.
                                 "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"};
    env.insert(env.end(), settings.begin(), settings.end());
    int out_pipe[2];
    int err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0 || ::pipe2(err_pipe, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(out_pipe[1], 1);
        ::dup2(err_pipe[1], 2);
        for (auto& assignment : env) {
            ::putenv(assignment.data());
        }
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    Outcome outcome;
    int status = 0;
    ::waitpid(child, &status, WUNTRACED);
    if (WIFSTOPPED(status)) {
        outcome.stopped = true;
        if (while_stopped) {
            while_stopped();
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
    } else {
        outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    outcome.out = drain(out_pipe[0]);
    outcome.err = drain(err_pipe[0]);
    return outcome;
}

// A hidden temporary, or the marker of a group of files being linked.
bool is_hidden_temporary(const std::string& name) {
    return name.starts_with(".vekdc-") && (name.ends_with(".tmp") || name.ends_with(".group"));
}

std::vector<std::string> visible_entries(const TempDir& dir, const std::string& sub) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir / sub)) {
        const std::string name = entry.path().filename().string();
        if (!is_hidden_temporary(name)) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool any_hidden_temporary(const TempDir& dir, const std::string& sub) {
    for (const auto& entry : std::filesystem::directory_iterator(dir / sub)) {
        if (is_hidden_temporary(entry.path().filename().string())) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- the roads

// The inputs of every road, made once: a large plain file, its encoded form
// and the decoded form the example key gives.
struct Inputs {
    TempDir dir;
    std::string plain = dir / "big.txt";
    std::string encoded = dir / "big.vek";
    std::string plain_bytes;
    std::string encoded_bytes;

    Inputs() {
        plain_bytes = test::pattern_bytes(kLargeBytes, 7);
        test::write_file(plain, plain_bytes);
        const Outcome made = run_cli({"encode", "-k", kKey, "-o", dir.path(), plain}, {});
        EXPECT_EQ(made.status, 0) << made.err;
        encoded_bytes = test::read_file(encoded);
    }
};

const Inputs& inputs() {
    static const Inputs made;  // for the whole run; its folder goes at exit
    return made;
}

struct Road {
    const char* name;
    bool hidden;              // unnamed files taken away
    bool no_link;             // hard links taken away too, as on FAT
    const char* older;        // a file the folder holds beforehand
    bool older_stays;         // whether the road must leave it as it is
    int status_when_full;     // exit status on a full disk
    const char* full_text;    // the start of the message then
    const char* input;        // the input that a shrinking file test cuts, or nullptr
    const char* shrunk_text;  // the start of the message then
    // The command writing into `folder`.
    std::vector<std::string> (*command)(const std::string& folder);
    // Whether a visible file other than the older one is a whole output.
    bool (*whole)(const std::string& path);
    // Whether the visible files form whole groups (a key pair is both keys).
    bool (*grouped)(const std::vector<std::string>& names) = nullptr;
};

void PrintTo(const Road& road, std::ostream* out) {
    *out << road.name;
}

std::vector<std::string> decode_into(const std::string& folder) {
    return {"decode", "-k", kKey, "-o", folder, inputs().encoded};
}
std::vector<std::string> encode_into(const std::string& folder) {
    return {"encode", "-k", kKey, "-o", folder, inputs().plain};
}
std::vector<std::string> keys_into(const std::string& folder) {
    return {"keygen", "--create-b", "--random", "-d", folder};
}
bool whole_plain(const std::string& path) {
    return test::read_file(path) == inputs().plain_bytes;
}
bool whole_encoded(const std::string& path) {
    return test::read_file(path) == inputs().encoded_bytes;
}
bool whole_key(const std::string& path) {
    return test::read_file(path).size() == kKeyBytes;
}
// Every B_11_12_matrix_X has its A_12_11_matrix_X, and the other way round.
bool whole_pairs(const std::vector<std::string>& names) {
    std::multiset<std::string> decoding;
    std::multiset<std::string> encoding;
    for (const std::string& name : names) {
        if (name.starts_with("B_11_12_")) {
            decoding.insert(name.substr(8));
        } else if (name.starts_with("A_12_11_")) {
            encoding.insert(name.substr(8));
        }
    }
    return decoding == encoding;
}

constexpr const char* kDecoderFull = "dec out file write error";
constexpr const char* kEncoderFull = "enc out file write error";
constexpr const char* kKeysFull = "file open error (write_matrix_into_binary_file)";
constexpr const char* kDecoderShrunk = "file read error (decoder)";
constexpr const char* kEncoderShrunk = "could not be read (encoder): it became shorter";

const Road kRoads[] = {
    {"DecoderUnnamed", false, false, "big.txt", true, 255, kDecoderFull, "big.vek", kDecoderShrunk,
     decode_into, whole_plain},
    {"DecoderHidden", true, false, "big.txt", true, 255, kDecoderFull, "big.vek", kDecoderShrunk,
     decode_into, whole_plain},
    {"DecoderNoLink", true, true, "big.txt", true, 255, kDecoderFull, "big.vek", kDecoderShrunk,
     decode_into, whole_plain},
    {"EncoderReplacing", false, false, "big.vek", false, 255, kEncoderFull, "big.txt",
     kEncoderShrunk, encode_into, whole_encoded},
    {"EncoderReplacingHidden", true, false, "big.vek", false, 255, kEncoderFull, "big.txt",
     kEncoderShrunk, encode_into, whole_encoded},
    {"EncoderNoLink", true, true, "big.vek", false, 255, kEncoderFull, "big.txt", kEncoderShrunk,
     encode_into, whole_encoded},
    {"KeyWriter", false, false, "older.key", true, 1, kKeysFull, nullptr, nullptr, keys_into,
     whole_key, whole_pairs},
    {"KeyWriterHidden", true, false, "older.key", true, 1, kKeysFull, nullptr, nullptr, keys_into,
     whole_key, whole_pairs},
    {"KeyWriterNoLink", true, true, "older.key", true, 1, kKeysFull, nullptr, nullptr, keys_into,
     whole_key, whole_pairs},
};

std::vector<std::string> road_settings(const Road& road, std::vector<std::string> more = {}) {
    if (road.hidden) {
        more.push_back("VEKDC_FAULT_NO_TMPFILE=1");
    }
    if (road.no_link) {
        more.push_back("VEKDC_FAULT_NO_LINK=1");
    }
    return more;
}

// Every visible file of the folder is the older one, unchanged, or a whole output.
void expect_nothing_partial(const Road& road, const TempDir& dir, const std::string& sub) {
    for (const auto& name : visible_entries(dir, sub)) {
        const std::string path = dir / (sub + "/" + name);
        if (name == road.older && test::read_file(path) == kOlder) {
            continue;
        }
        EXPECT_TRUE(road.whole(path)) << "partial file under a final name: " << name;
    }
}

class FaultTest : public testing::TestWithParam<Road> {};

// ---------------------------------------------------------------- killed

// A fresh folder "out" holding the road's older file.
void prepare_out(const Road& road, const TempDir& dir) {
    ::mkdir((dir / "out").c_str(), 0755);
    test::write_file(dir / ("out/" + std::string(road.older)), kOlder);
}

// The steps of writing that a whole run of the road takes.
int steps_of(const Road& road) {
    TempDir dir;
    prepare_out(road, dir);
    const Outcome whole =
        run_cli(road.command(dir / "out"),
                road_settings(road, {"VEKDC_FAULT_COUNT_FILE=" + (dir / "steps")}));
    EXPECT_EQ(whole.status, 0) << whole.err;
    return std::stoi(test::read_file(dir / "steps"));
}

TEST_P(FaultTest, KilledAtARandomStepLeavesNothingPartial) {
    const Road& road = GetParam();
    const int steps = steps_of(road);
    ASSERT_GE(steps, 2);
    // The last step (the naming), then random ones.
    std::mt19937 random(20261207);
    std::vector<int> stops{steps};
    for (int trial = 0; trial < 4; ++trial) {
        stops.push_back(1 + static_cast<int>(random() % static_cast<unsigned>(steps)));
    }
    int stopped = 0;
    for (const int stop_at : stops) {
        TempDir dir;
        prepare_out(road, dir);
        SCOPED_TRACE("stopped before step " + std::to_string(stop_at) + " of " +
                     std::to_string(steps));
        const Outcome killed =
            run_cli(road.command(dir / "out"),
                    road_settings(road, {"VEKDC_FAULT_STOP_AT=" + std::to_string(stop_at)}), [&] {
                        expect_nothing_partial(road, dir, "out");
                        // The hidden road is the one taken when unnamed files are away.
                        if (road.hidden) {
                            EXPECT_TRUE(any_hidden_temporary(dir, "out"));
                        }
                    });
        // A run may take a step fewer than the measured one (a copy the system
        // did in fewer pieces) and end by itself: then it must have succeeded.
        EXPECT_TRUE(killed.stopped || killed.status == 0) << killed.err;
        stopped += killed.stopped ? 1 : 0;
        expect_nothing_partial(road, dir, "out");
        EXPECT_EQ(test::read_file(dir / ("out/" + std::string(road.older))), kOlder);

        // The next run into the folder clears what the killed one left, a
        // group it had begun to name too.
        const Outcome next = run_cli(road.command(dir / "out"), road_settings(road));
        EXPECT_EQ(next.status, 0) << next.err;
        EXPECT_FALSE(any_hidden_temporary(dir, "out"));
        expect_nothing_partial(road, dir, "out");
        if (road.grouped != nullptr) {
            EXPECT_TRUE(road.grouped(visible_entries(dir, "out")))
                << testing::PrintToString(visible_entries(dir, "out"));
        }
        if (road.older_stays) {
            EXPECT_EQ(test::read_file(dir / ("out/" + std::string(road.older))), kOlder);
        }
    }
    EXPECT_GE(stopped, static_cast<int>(stops.size()) - 1) << "the runs were killed mid-way";
}

// ---------------------------------------------------------------- a full disk

// A tmpfs of `bytes` on `folder`, seen only by this process and its children.
// Unavailable where the system grants no mount namespace.
class SmallDisk {
public:
    SmallDisk(const std::string& folder, std::size_t bytes) : folder_(folder) {
        if (!private_mounts()) {
            return;
        }
        const std::string options = "size=" + std::to_string(bytes);
        mounted_ = ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }

private:
    // Enters a mount namespace of this process's own, once: as root, or as
    // root of a new user namespace where unprivileged ones are allowed.
    static bool private_mounts() {
        static const bool entered = [] {
            const uid_t uid = ::getuid();
            const gid_t gid = ::getgid();
            if (::unshare(CLONE_NEWNS) != 0) {
                if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) {
                    return false;
                }
                test::write_file("/proc/self/setgroups", "deny");
                test::write_file("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
                test::write_file("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
            }
            return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        }();
        return entered;
    }

    std::string folder_;
    bool mounted_ = false;
};

enum class Full { Tmpfs, Injected };

void expect_full_disk_refused(const Road& road, const TempDir& dir, const Outcome& full) {
    EXPECT_FALSE(full.stopped);
    EXPECT_EQ(full.status, road.status_when_full) << full.err;
    EXPECT_NE(full.err.find(road.full_text), std::string::npos) << full.err;
    EXPECT_EQ(visible_entries(dir, "out"), std::vector<std::string>{road.older});
    EXPECT_EQ(test::read_file(dir / ("out/" + std::string(road.older))), kOlder);
    EXPECT_FALSE(any_hidden_temporary(dir, "out"));
}

void disk_full(const Road& road, Full how) {
    TempDir dir;
    ::mkdir((dir / "out").c_str(), 0755);
    // Room for the older file and a first key, not for a second key or a large file.
    const std::size_t room = std::string(road.name).starts_with("Key") ? 8192 : (1 << 20);
    std::optional<SmallDisk> disk;
    std::vector<std::string> settings;
    if (how == Full::Tmpfs) {
        disk.emplace(dir / "out", room);
        if (!disk->mounted()) {
            GTEST_SKIP() << "no tmpfs can be mounted here; the injected full disk stands in";
        }
    } else {
        // The first key goes through; the second is refused, as is the third
        // step of a large copy.
        settings.push_back("VEKDC_FAULT_ENOSPC_AT=" +
                           std::string(std::string(road.name).starts_with("Key") ? "2" : "3"));
    }
    test::write_file(dir / ("out/" + std::string(road.older)), kOlder);
    const Outcome full = run_cli(road.command(dir / "out"), road_settings(road, settings));
    expect_full_disk_refused(road, dir, full);
    if (road.status_when_full == 1) {
        EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    }
}

TEST_P(FaultTest, AFullSmallDiskLeavesNothingPartial) {
    disk_full(GetParam(), Full::Tmpfs);
}

TEST_P(FaultTest, AnInjectedFullDiskLeavesNothingPartial) {
    disk_full(GetParam(), Full::Injected);
}

// ---------------------------------------------------------------- an input that shrinks

// Another program cuts the input to half while it is read: the input is
// named with the reason, and nothing is left behind.
TEST_P(FaultTest, AnInputCutWhileItIsReadIsNamed) {
    const Road& road = GetParam();
    if (road.input == nullptr) {
        GTEST_SKIP() << "the road reads no input file";
    }
    TempDir dir;
    prepare_out(road, dir);
    const std::string input = dir / road.input;
    std::filesystem::copy_file(inputs().dir / road.input, input);
    std::vector<std::string> command = road.command(dir / "out");
    std::replace(command.begin(), command.end(), inputs().dir / road.input, input);
    // The first write takes what was read at the start; the cut comes before the copy of the rest.
    const Outcome cut = run_cli(command, road_settings(road, {"VEKDC_FAULT_SHRINK_AT=2",
                                                              "VEKDC_FAULT_SHRINK_FILE=" + input}));
    EXPECT_EQ(cut.status, 1) << cut.err;
    EXPECT_NE(cut.err.find(road.shrunk_text), std::string::npos) << cut.err;
    EXPECT_NE(cut.err.find(input), std::string::npos) << cut.err;
    EXPECT_EQ(visible_entries(dir, "out"), std::vector<std::string>{road.older});
    EXPECT_FALSE(any_hidden_temporary(dir, "out"));
}

// ---------------------------------------------------------------- a cleaner elsewhere

// A process in a process-number space of its own that shares a folder (as
// two containers on one volume do) and clears its leftovers each time it is
// asked to through a FIFO. Process numbers mean nothing to it across the
// spaces; only locks do.
class ForeignCleaner {
public:
    ForeignCleaner(const std::string& folder, const std::string& request, const std::string& done)
        : request_(request), done_(done) {
        ::mkfifo(request.c_str(), 0600);
        ::mkfifo(done.c_str(), 0600);
        int ready[2];
        if (::pipe2(ready, O_CLOEXEC) != 0) {
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            if (!own_process_space()) {
                ::_exit(0);  // says nothing: the test skips
            }
            // The first process in the new space is its process 1.
            const pid_t inner = ::fork();
            if (inner == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                serve(folder, ready[1]);
            }
            ::waitpid(inner, nullptr, 0);
            ::_exit(0);
        }
        ::close(ready[1]);
        char answer = 'n';
        started_ = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~ForeignCleaner() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ForeignCleaner(const ForeignCleaner&) = delete;
    ForeignCleaner& operator=(const ForeignCleaner&) = delete;
    bool started() const { return started_; }
    // The setting that makes vekdc-cli ask for a sweep at its worst moment.
    std::string setting() const { return "VEKDC_FAULT_SWEEP_FIFOS=" + request_ + ":" + done_; }
    // One sweep, asked for by the test itself.
    void sweep() const {
        const int request = ::open(request_.c_str(), O_WRONLY | O_CLOEXEC);
        const int done = ::open(done_.c_str(), O_RDONLY | O_CLOEXEC);
        char byte = 's';
        if (::write(request, &byte, 1) == 1) {
            (void)::read(done, &byte, 1);
        }
        ::close(request);
        ::close(done);
    }

private:
    // As root, or as root of a new user space where unprivileged ones are allowed.
    static bool own_process_space() {
        if (::unshare(CLONE_NEWPID) == 0) {
            return true;
        }
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWPID) != 0) {
            return false;
        }
        test::write_file("/proc/self/setgroups", "deny");
        test::write_file("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        test::write_file("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
        return true;
    }

    // Sweeps the folder once per byte read from the request FIFO.
    [[noreturn]] void serve(const std::string& folder, int ready) const {
        // Both ends held open for reading and writing, so that no open waits.
        const int request = ::open(request_.c_str(), O_RDWR | O_CLOEXEC);
        const int done = ::open(done_.c_str(), O_RDWR | O_CLOEXEC);
        (void)::write(ready, "y", 1);
        char byte = 0;
        while (::read(request, &byte, 1) == 1) {
            platform::remove_leftover_temporaries(folder);
            (void)::write(done, &byte, 1);
        }
        ::_exit(0);
    }

    std::string request_;
    std::string done_;
    pid_t pid_ = -1;
    bool started_ = false;
};

TEST(ForeignCleanerTest, TakesNoTemporaryThatIsBeingWritten) {
    TempDir dir;
    ::mkdir((dir / "plain").c_str(), 0755);
    ::mkdir((dir / "out").c_str(), 0755);
    const ForeignCleaner cleaner(dir / "out/", dir / "request", dir / "done");
    if (!cleaner.started()) {
        GTEST_SKIP() << "process-number spaces of its own are not permitted here";
    }
    // It does clear: a leftover nobody holds goes.
    test::write_file(dir / "out/.vekdc-7-7-7.tmp", "left over");
    cleaner.sweep();
    ASSERT_FALSE(test::exists(dir / "out/.vekdc-7-7-7.tmp"));
    // The cleaner comes right after the decode's hidden temporary is
    // created, before it is locked; the file is still decoded.
    test::write_file(dir / "plain/a.txt", test::pattern_bytes(512, 3));
    ASSERT_EQ(run_cli({"encode", "-k", kKey, "-o", dir.path(), dir / "plain/a.txt"}, {}).status, 0);
    const Outcome decoded = run_cli({"decode", "-k", kKey, "-o", dir / "out", dir / "a.vek"},
                                    {cleaner.setting(), "VEKDC_FAULT_NO_TMPFILE=1"});
    EXPECT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(visible_entries(dir, "out"), std::vector<std::string>{"a.txt"});
}

INSTANTIATE_TEST_SUITE_P(Roads, FaultTest, testing::ValuesIn(kRoads),
                         [](const testing::TestParamInfo<Road>& info) { return info.param.name; });

}  // namespace
}  // namespace vekdc
