#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

namespace orvex::test {

bool ChildProcess::start(const std::vector<std::string>& argv, const std::string& logPath) {
    stop();
    sigset_t control, previous;
    sigemptyset(&control);
    sigaddset(&control, SIGUSR1);
    sigaddset(&control, SIGUSR2);
    ::sigprocmask(SIG_BLOCK, &control, &previous);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (const int log = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644); log >= 0)
            ::dup2(log, STDOUT_FILENO), ::dup2(log, STDERR_FILENO);
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::sigprocmask(SIG_SETMASK, &previous, nullptr);
    return pid_ > 0;
}

bool ChildProcess::running() {
    if (pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0) return true;
    pid_ = -1;
    return false;
}

bool ChildProcess::signal(int number) const { return pid_ > 0 && ::kill(pid_, number) == 0; }

void ChildProcess::stop() {
    if (!running()) return;
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (pid_ > 0) ::kill(pid_, SIGKILL), ::waitpid(pid_, nullptr, 0), pid_ = -1;
}

}  // namespace orvex::test
