#pragma once
// A helper program the integration suite starts (pcscd, the card emulator).
// The child dies with the test program even when that crashes, and is
// stopped (SIGTERM, then SIGKILL) when this object goes.
#include <sys/types.h>

#include <string>
#include <vector>

namespace orvex::test {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts argv[0] with output to logPath. SIGUSR1 and SIGUSR2 stay blocked
    // in the child until it installs its own handlers, so a signal sent early
    // waits instead of killing it.
    bool start(const std::vector<std::string>& argv, const std::string& logPath);
    bool running();
    bool signal(int number) const;
    void stop();

private:
    pid_t pid_ = -1;
};

}  // namespace orvex::test
