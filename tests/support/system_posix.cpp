// What the test support does its own way on POSIX systems: processes started
// and stopped, files with holes.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/test_support.h"

namespace vekdc::test {

namespace {

int status_of(int wait_status) {
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

std::vector<char*> c_arguments(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    return args;
}

}  // namespace

std::string build_path(const std::string& path) {
    return path;
}

void write_sparse(const std::string& path, std::uint64_t offset, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    const bool written =
        fd >= 0 && ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
                       static_cast<ssize_t>(bytes.size());
    if (fd >= 0) {
        ::close(fd);
    }
    if (!written) {
        throw std::runtime_error("cannot write " + path);
    }
}

ProcessResult run_process(const std::vector<std::string>& argv, const std::string& workdir,
                          const std::vector<std::string>& extra_env) {
    char out_name[] = "/tmp/vekdc-out-XXXXXX";
    char err_name[] = "/tmp/vekdc-err-XXXXXX";
    const int out_fd = ::mkstemp(out_name);
    const int err_fd = ::mkstemp(err_name);
    std::vector<char*> args = c_arguments(argv);
    const pid_t child = ::fork();
    if (child == 0) {
        const int null_fd = ::open("/dev/null", O_RDONLY);
        ::dup2(null_fd, 0);
        ::dup2(out_fd, 1);
        ::dup2(err_fd, 2);
        if (!workdir.empty() && ::chdir(workdir.c_str()) != 0) {
            ::_exit(126);
        }
        for (const auto& assignment : extra_env) {
            ::putenv(const_cast<char*>(assignment.c_str()));
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(out_fd);
    ::close(err_fd);
    ProcessResult result;
    result.status = status_of(status);
    result.out = read_file(out_name);
    result.err = read_file(err_name);
    ::unlink(out_name);
    ::unlink(err_name);
    return result;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    std::vector<char*> args = c_arguments(argv);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int null_fd = ::open("/dev/null", O_RDWR);
        ::dup2(null_fd, 0);
        ::dup2(null_fd, 1);
        ::dup2(null_fd, 2);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    if (pid_ < 0) {
        throw std::runtime_error("cannot start " + argv.at(0));
    }
}

ChildProcess::~ChildProcess() {
    if (!ended_) {
        kill();
    }
}

bool ChildProcess::ended() {
    int status = 0;
    if (!ended_ && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status_of(status);
        ended_ = true;
    }
    return ended_;
}

std::optional<bool> ChildProcess::writing_into(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path descriptors = "/proc/" + std::to_string(pid_) + "/fd";
    std::error_code error;
    if (!fs::exists("/proc/self/fd", error)) {
        return std::nullopt;
    }
    const std::string inside = fs::canonical(folder).string() + "/";
    for (const auto& entry : fs::directory_iterator(descriptors, error)) {
        const fs::path target = fs::read_symlink(entry.path(), error);
        if (!error && target.string().rfind(inside, 0) == 0) {
            return true;
        }
    }
    return false;
}

void ChildProcess::kill() {
    if (!ended()) {
        ::kill(pid_, SIGKILL);
    }
    wait();
}

int ChildProcess::wait() {
    int status = 0;
    if (!ended_ && ::waitpid(pid_, &status, 0) == pid_) {
        status_ = status_of(status);
        ended_ = true;
    }
    return status_;
}

void kill_self() {
    ::kill(::getpid(), SIGKILL);
    std::abort();  // not reached
}

}  // namespace vekdc::test
