#pragma once
// A private pcscd for the integration suite: its own reader configuration
// with the virtual reader driver listening on a free port, run in the
// foreground. pcscd always serves /run/pcscd/pcscd.comm, so a pcscd that is
// already running makes the suite fail with that said plainly.
#include <string>

#include "ChildProcess.h"

namespace orvex::test {

class PcscdHarness {
public:
    // Empty on success; otherwise why pcscd could not be brought up.
    std::string start(const std::string& workDir);
    void stop() { pcscd_.stop(); }

    // The first of the driver's two virtual readers, served on port().
    const std::string& readerName() const { return readerName_; }
    int port() const { return port_; }
    std::string logTail() const;

private:
    std::string writeConfiguration(const std::string& workDir);
    std::string waitUntilListed();

    ChildProcess pcscd_;
    std::string logPath_;
    std::string readerName_;
    int port_ = 0;
};

}  // namespace orvex::test
