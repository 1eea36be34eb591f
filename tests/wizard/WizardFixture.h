#pragma once
// A private world for one window test: a simulated reader directory, the
// settings files (English, fast polling, the SCM driver) and the trace log
// in a fresh folder named by the environment; the window started the way
// the program starts it; message boxes and the file dialog answered.
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "platform/scard32/SCard32Api.h"
#include "platform/sim/SimDirectory.h"
#include "support/ScriptedSCard32Api.h"
#include "support/TestEnvironment.h"
#include "wizard/frmMain.h"

class QLabel;

namespace orvex::test {

// The text-command library under a Chipdrive driver that the window gets
// instead of the simulated reader: a reader that is always there, a card of
// NUL bytes, and the card status word the test sets. With refuseAssign the
// card gives its word only to a status query that follows a device query,
// as the polling tick asks, and "failed" to any further one: the tick
// reports the card, an assign that asks again is refused.
class StatusLibrary final : public platform::SCard32Api {
public:
    std::string status = "active";
    bool refuseAssign = false;

    int32_t SCardComand(int32_t& handle, const std::string& command, int32_t& commandLength,
                        const std::string& input, int32_t& inputLength, std::string& output,
                        int32_t& outputLength) override {
        if (command == "Card,Info,Status")
            library_.cardStatus = refuseAssign && !afterDeviceQuery_ ? "failed" : status;
        afterDeviceQuery_ = command == "Device,Info,Status";
        return library_.SCardComand(handle, command, commandLength, input, inputLength, output,
                                    outputLength);
    }

private:
    ScriptedSCard32Api library_;
    bool afterDeviceQuery_ = false;
};

class WizardWorld {
public:
    static constexpr const char* kReader = "OrvexCard Simulated Reader 0";

    // settings: extra lines for the user's settings key ("name"="value").
    explicit WizardWorld(const std::string& settings = "\"api\"=\"MCARD\"\r\n\"lng\"=dword:00000002\r\n");
    ~WizardWorld();

    // Starts the wizard as the program does; the window (nothing when
    // another copy ran).
    wizard::frmMain* start(const QStringList& arguments = {});
    wizard::frmMain& window() { return *window_; }
    void closeWindow() { window_.reset(); }

    platform::SimDirectory sim() const { return platform::SimDirectory(dir() + "/sim"); }
    void plug(const std::string& reader) const { sim().plug(reader); }
    void unplugAll() const {
        for (const std::string& r : sim().readers()) sim().unplug(r);
    }
    // A blank card in the reader.
    void insert() const { sim().insert(kReader, std::string(16384, ' ')); }
    std::string card() const { return readFileBytes(dir() + "/sim/" + kReader + "/card.bin"); }
    void setFaults(const std::string& lines) const { writeFileBytes(dir() + "/sim/" + kReader + "/faults", lines); }
    // From now on the window's driver is a Chipdrive driver over this
    // library, whatever the reader choice.
    std::shared_ptr<StatusLibrary> statusLibrary();
    // Formats the inserted card as a drink (1) or station (2) card, without
    // the window; with a duration also loads the sample with these flags.
    bool prepareCard(int kind, const std::string& duration = {}, bool combine = false,
                     bool placebo = false) const;
    // A sample file made for the test; its bytes.
    QString sample(const std::string& name = "calm.7kx", const std::string& creator = "OSC/3.6/10010") const;
    static std::string sampleBytes(const std::string& creator = "OSC/3.6/10010");

    QString text(const char* label) const;
    std::string setting(const std::string& value) const;
    std::string trace() const { return readFileBytes(dir() + "/trace.log"); }
    std::string dir() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
    std::unique_ptr<wizard::frmMain> window_;
};

}  // namespace orvex::test
