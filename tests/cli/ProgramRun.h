#pragma once
// Runs orvexcard as a child process with its own environment and collects
// its exit code and output. Every wait is bounded, so a hanging program fails
// the test instead of hanging it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orvex::test {

struct ProgramResult {
    int exitCode = -1;  // -1: did not end in time (it was killed)
    std::string out;
    std::string err;
};

class ProgramRun {
public:
    // Starts the program; environment entries override the test's own.
    ProgramRun(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
        int pipes[2][2];
        if (pipe(pipes[0]) != 0 || pipe(pipes[1]) != 0) std::abort();
        std::vector<std::string> argv{ORVEXCARD_PROGRAM};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) cargv.push_back(a.data());
        cargv.push_back(nullptr);
        pid_ = fork();
        if (pid_ == 0) {
            for (int i = 0; i < 2; ++i) dup2(pipes[i][1], i + 1), close(pipes[i][0]), close(pipes[i][1]);
            dup2(open("/dev/null", O_RDONLY), 0);
            for (const auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
            execv(cargv[0], cargv.data());
            _exit(127);
        }
        for (int i = 0; i < 2; ++i) close(pipes[i][1]), fds_[i] = pipes[i][0];
    }
    ~ProgramRun() {
        if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
        for (const int fd : fds_)
            if (fd >= 0) close(fd);
    }
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Waits until standard output (stream 0) or standard error (1) holds
    // text at least count times.
    bool waitFor(int stream, const std::string& text, int count, int timeoutMs = 20000) {
        return pumpUntil([&] {
            int n = 0;
            for (size_t at = text_[stream].find(text); at != std::string::npos; at = text_[stream].find(text, at + 1)) ++n;
            return n >= count;
        }, timeoutMs);
    }
    void interrupt() { kill(pid_, SIGINT); }
    // Waits for the end (killing the program after the time) and collects its output.
    ProgramResult finish(int timeoutMs = 30000) {
        const bool hung = !pumpUntil([this] { return fds_[0] < 0 && fds_[1] < 0; }, timeoutMs);
        if (hung) kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return {hung ? -1 : exitCode, text_[0], text_[1]};
    }

private:
    // Reads what arrives until done or the time is up; a pipe closes at its end.
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
        const auto due = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
            pollfd polled[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
            if (left.count() <= 0 || (fds_[0] < 0 && fds_[1] < 0)) return false;
            if (poll(polled, 2, static_cast<int>(left.count())) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (fds_[i] < 0 || !(polled[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                char buf[4096];
                const ssize_t got = read(fds_[i], buf, sizeof buf);
                if (got > 0) text_[i].append(buf, static_cast<size_t>(got));
                else close(fds_[i]), fds_[i] = -1;
            }
        }
        return true;
    }

    int pid_ = -1;
    int fds_[2] = {-1, -1};  // standard output, standard error
    std::string text_[2];
};

// Runs to the end.
inline ProgramResult runProgram(const std::vector<std::string>& args, const std::map<std::string, std::string>& env) {
    return ProgramRun(args, env).finish();
}

}  // namespace orvex::test
