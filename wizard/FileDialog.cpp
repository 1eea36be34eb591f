#include "wizard/FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace orvex::wizard {
namespace {

struct TestAnswer {
    bool set = false;
    std::optional<QString> fileName;
};

TestAnswer& nextAnswer() {
    static TestAnswer a;
    return a;
}

FileDialog::Request& lastRequestStore() {
    static FileDialog::Request r;
    return r;
}

}  // namespace

QString FileDialog::qtFilter(const QString& pairs) {
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString& description = parts[i];
        filters << (description.contains(QLatin1Char('('))
                        ? description
                        : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

std::optional<QString> FileDialog::getOpenFileName(QWidget* parent, const QString& title,
                                                   const QString& filter) {
    lastRequestStore() = {title, filter, directory_};
    std::optional<QString> chosen;
    if (nextAnswer().set) {
        chosen = nextAnswer().fileName;
        nextAnswer() = {};
    } else {
        QFileDialog dialog(parent, title, directory_, filter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setOption(QFileDialog::ReadOnly);
        if (!fileName_.isEmpty()) dialog.selectFile(fileName_);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().constFirst();
    }
    if (chosen) {
        fileName_ = *chosen;
        directory_ = QFileInfo(*chosen).absolutePath();
    }
    return chosen;
}

void FileDialog::setNextFileName(std::optional<QString> answer) {
    nextAnswer() = {true, std::move(answer)};
}

const FileDialog::Request& FileDialog::lastRequest() { return lastRequestStore(); }

}  // namespace orvex::wizard
