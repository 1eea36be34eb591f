#pragma once
// The window's open-file dialog. It keeps the chosen file and the start
// folder between uses, as start-up may preset both. Tests set the next
// answer first, so the dialog never waits; they can read what it was asked.
#include <QString>
#include <optional>

class QWidget;

namespace orvex::wizard {

class FileDialog {
public:
    struct Request {
        QString title;
        QString filter;     // Qt's form
        QString directory;
    };

    // The chosen file, or nothing when the operator cancelled.
    std::optional<QString> getOpenFileName(QWidget* parent, const QString& title,
                                           const QString& filter);

    const QString& fileName() const { return fileName_; }
    void setFileName(const QString& path) { fileName_ = path; }
    const QString& directory() const { return directory_; }
    void setDirectory(const QString& folder) { directory_ = folder; }

    // A filter of description and pattern pairs separated by "|"
    // ("7kx (*.7kx)|*.7kx|all files|*.*") in Qt's form.
    static QString qtFilter(const QString& pairs);

    // The next dialog answers this at once (nothing: cancelled).
    static void setNextFileName(std::optional<QString> answer);
    static const Request& lastRequest();

private:
    QString fileName_;
    QString directory_;
};

}  // namespace orvex::wizard
