#include "ProgramRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace orvex::test {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> childEnvironment(const std::map<std::string, std::string>& overrides) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        if (eq) env[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
    }
    for (const auto& [k, v] : overrides) env[k] = v;
    std::vector<std::string> list;
    for (const auto& [k, v] : env) list.push_back(k + "=" + v);
    return list;
}

}  // namespace

ProgramRun::ProgramRun(const std::vector<std::string>& args,
                       const std::map<std::string, std::string>& env) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) std::abort();
    std::vector<std::string> argv{ORVEXCARD_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::vector<std::string> envList = childEnvironment(env);
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
    cargv.push_back(nullptr);
    std::vector<char*> cenv;
    for (auto& e : envList) cenv.push_back(const_cast<char*>(e.c_str()));
    cenv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]), close(out[1]), close(err[0]), close(err[1]);
        const int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        execve(cargv[0], cargv.data(), cenv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
}

ProgramRun::~ProgramRun() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

// Reads what is available within the time; false when both pipes are closed.
bool ProgramRun::pump(int timeoutMs) {
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    const int n = poll(fds, 2, timeoutMs);
    if (n <= 0) return n == 0;
    bool open = false;
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0) continue;
        if (fds[i].revents & (POLLIN | POLLHUP)) {
            char buf[4096];
            const ssize_t got = read(fds[i].fd, buf, sizeof buf);
            if (got > 0) {
                (i == 0 ? out_ : err_).append(buf, static_cast<size_t>(got));
                open = true;
            } else {
                close(fds[i].fd);
                (i == 0 ? outFd_ : errFd_) = -1;
            }
        } else {
            open = true;
        }
    }
    return open || outFd_ >= 0 || errFd_ >= 0;
}

bool ProgramRun::readLine(std::string& line, int timeoutMs) {
    const auto due = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        const size_t nl = out_.find('\n', consumed_);
        if (nl != std::string::npos) {
            line = out_.substr(consumed_, nl - consumed_);
            consumed_ = nl + 1;
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        if (left.count() <= 0 || outFd_ < 0) return false;
        pump(static_cast<int>(left.count()));
    }
}

bool ProgramRun::waitForErr(const std::string& text, int count, int timeoutMs) {
    const auto due = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto seen = [&] {
        int n = 0;
        for (size_t at = err_.find(text); at != std::string::npos; at = err_.find(text, at + 1)) ++n;
        return n >= count;
    };
    while (!seen()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        if (left.count() <= 0 || (outFd_ < 0 && errFd_ < 0)) return false;
        pump(static_cast<int>(left.count()));
    }
    return true;
}

void ProgramRun::interrupt() {
    if (pid_ > 0) kill(pid_, SIGINT);
}

ProgramResult ProgramRun::finish(int timeoutMs) {
    ProgramResult r;
    const auto due = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while ((outFd_ >= 0 || errFd_ >= 0) && Clock::now() < due) pump(100);
    int status = 0;
    while (pid_ > 0) {
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            pid_ = -1;
        } else if (Clock::now() >= due) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        } else {
            usleep(10000);
        }
    }
    r.out = out_.substr(consumed_);
    r.err = err_;
    return r;
}

ProgramResult runProgram(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
    ProgramRun run(args, env);
    return run.finish();
}

}  // namespace orvex::test
