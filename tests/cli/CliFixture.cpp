#include "CliFixture.h"

#include <sys/stat.h>

#include "samplefile/SampleFileMaker.h"

namespace orvex::test {

void CliTest::SetUp() {
    dir_ = makeTempDir("cli");
    sim_ = dir_ + "/sim";
    registry_ = dir_ + "/registry";
    // English texts, a private log, and fast polling so the tests run quickly.
    mkdir(registry_.c_str(), 0700);
    writeFileBytes(registry_ + "/HKCU.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"
                   "\"lng\"=dword:00000002\r\n"
                   "\"ocardlog\"=\"" + dir_ + "/trace.log\"\r\n");
    writeFileBytes(registry_ + "/HKLM.reg",
                   "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"
                   "\"omsc.idleTimerInterval\"=\"20\"\r\n"
                   "\"omsc.onlineTimerInterval\"=\"20\"\r\n");
    const ProgramResult init = run({"sim", "init"});
    ASSERT_EQ(init.exitCode, 0) << init.err;
}

std::map<std::string, std::string> CliTest::env() const {
    return {{"ORVEXCARD_SIM", sim_},
            {"ORVEXCARD_REGISTRY_DIR", registry_},
            {"XDG_STATE_HOME", dir_ + "/state"},
            {"XDG_CONFIG_HOME", dir_ + "/config"}};
}

std::string CliTest::cardPath(const std::string& reader) const {
    return sim_ + "/" + reader + "/card.bin";
}

void CliTest::setFaults(const std::string& lines, const std::string& reader) const {
    writeFileBytes(sim_ + "/" + reader + "/faults", lines);
}

std::string CliTest::sample(const std::string& creator, const std::string& comment) const {
    SampleFileParts parts;
    parts.creator = creator;
    parts.comment = comment;
    const std::string path = dir_ + "/calm.7kx";
    writeFileBytes(path, sampleFileBytes(parts));
    return path;
}

}  // namespace orvex::test
