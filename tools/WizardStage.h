#pragma once
// A private stage for the real wizard window on the simulated reader: its
// own settings files, trace log, simulated reader directory and sample
// folder under one folder, named to the window through the environment.
// The screenshot and benchmark programs start the window on it.
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace orvex::wizard {
class frmMain;
}

namespace orvex::tools {

struct StageOptions {
    int language = 2;           // setting "lng": 1 German, 2 English
    int pollingMs = 0;          // both polling intervals; 0 keeps the drivers' default
    std::string api = "MCARD";  // setting "api": MCARD the SCM driver, SCARD the Chipdrive one
    std::string reader;         // setting "reader": the SCM driver's reader
};

class WizardStage {
public:
    static constexpr const char* kReader = "OrvexCard Simulated Reader 0";

    // Clears and fills the folder: settings, an empty simulated reader
    // directory with one reader, the environment pointing at both.
    WizardStage(const QString& folder, const StageOptions& options);
    ~WizardStage();
    WizardStage(const WizardStage&) = delete;
    WizardStage& operator=(const WizardStage&) = delete;

    // Starts the window as the program does; nothing when that failed.
    wizard::frmMain* start(const QStringList& arguments = {});
    wizard::frmMain& window() const { return *window_; }
    void close();

    void plug() const;
    void unplugAll() const;
    // The given card image, or a blank card (a pulled card is put back).
    void insert(const std::optional<std::string>& image = std::nullopt) const;
    void remove() const;
    std::string card() const;
    void setFaults(const std::string& lines) const;

    // Runs the event loop until the condition holds; false after timeoutMs.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs);
    bool waitForPage(int page, int timeoutMs) const;
    // Runs the event loop for that long, adding no events of its own.
    static void idle(int ms);

private:
    std::string sim() const;

    QString folder_;
    std::unique_ptr<wizard::frmMain> window_;
};

// A sample file as the maker's tool writes it (header, then 8820 bytes of a
// soft tone), written to path. False when it cannot be written.
bool writeDemoSample(const QString& path, const std::string& comment);

}  // namespace orvex::tools
