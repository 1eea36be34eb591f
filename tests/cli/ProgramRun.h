#pragma once
// Runs orvexcard as a child process with its own environment and collects
// its exit code and output. Every wait is bounded, so a hanging program fails
// the test instead of hanging it.
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
    ProgramRun(const std::vector<std::string>& args, const std::map<std::string, std::string>& env);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // The next line of standard output (without its newline); empty with
    // ok false when none came within the time.
    bool readLine(std::string& line, int timeoutMs = 20000);
    // Waits until standard error holds text at least count times.
    bool waitForErr(const std::string& text, int count, int timeoutMs = 20000);
    void interrupt();
    // Waits for the end (killing the program after the time) and collects
    // the rest of its output.
    ProgramResult finish(int timeoutMs = 30000);

private:
    bool pump(int timeoutMs);

    int pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    std::string out_;
    std::string err_;
    size_t consumed_ = 0;
};

// Runs to the end.
ProgramResult runProgram(const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env);

}  // namespace orvex::test
