#pragma once
// A program a test starts, output and error going to files, input from
// /dev/null. It dies with the test program, is stopped (SIGTERM, then SIGKILL)
// when this object goes, and keeps SIGUSR1 and SIGUSR2 blocked until it
// installs its handlers, so an early signal waits instead of killing it.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/TestEnvironment.h"

namespace orvex::test {

// True once done, false when the time is up first.
inline bool waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > due) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

struct ProgramResult {
    int exitCode = -1;  // -1: did not end in time (it was killed)
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const std::vector<std::string>& argv, const std::string& outPath, const std::string& errPath,
                 const std::map<std::string, std::string>& env = {}) {
        start(argv, outPath, errPath, env);
    }
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Environment entries go on top of the test's own; errPath may be outPath.
    bool start(const std::vector<std::string>& argv, const std::string& outPath, const std::string& errPath,
               const std::map<std::string, std::string>& env = {}) {
        stop();
        paths_[0] = outPath, paths_[1] = errPath;
        sigset_t control, previous;
        sigemptyset(&control);
        sigaddset(&control, SIGUSR1);
        sigaddset(&control, SIGUSR2);
        ::sigprocmask(SIG_BLOCK, &control, &previous);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(::open("/dev/null", O_RDONLY), STDIN_FILENO);
            for (int fd : {STDOUT_FILENO, STDERR_FILENO})
                ::dup2(::open(paths_[fd - 1].c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644), fd);
            for (const auto& [k, v] : env) ::setenv(k.c_str(), v.c_str(), 1);
            std::vector<char*> args;
            for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        return pid_ > 0;
    }
    bool running() {
        if (pid_ > 0 && ::waitpid(pid_, &status_, WNOHANG) == 0) return true;
        pid_ = -1;
        return false;
    }
    bool signal(int number) const { return pid_ > 0 && ::kill(pid_, number) == 0; }
    void stop() {
        if (signal(SIGTERM)) waitUntil([this] { return !running(); }, 3000);
        if (signal(SIGKILL)) ::waitpid(pid_, nullptr, 0), pid_ = -1;
    }
    // Waits until standard output (stream 0) or error (1) holds text count times.
    bool waitFor(int stream, const std::string& text, int count, int timeoutMs = 20000) const {
        return waitUntil([&] { return countOf(readFileBytes(paths_[stream]), text) >= size_t(count); }, timeoutMs);
    }
    // Waits for the end (killing the program after the time): its exit code and output.
    ProgramResult finish(int timeoutMs = 30000) {
        const bool ended = waitUntil([this] { return !running(); }, timeoutMs);
        stop();
        const int code = WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
        return {ended ? code : -1, readFileBytes(paths_[0]), readFileBytes(paths_[1])};
    }

private:
    pid_t pid_ = -1;
    int status_ = 0;
    std::string paths_[2];
};

#ifdef ORVEXCARD_PROGRAM
// Runs orvexcard with these arguments to the end.
inline ProgramResult runProgram(std::vector<std::string> args, const std::map<std::string, std::string>& env) {
    args.insert(args.begin(), ORVEXCARD_PROGRAM);
    const std::string dir = makeTempDir("run");
    return ChildProcess(args, dir + "/out", dir + "/err", env).finish();
}
#endif

}  // namespace orvex::test
