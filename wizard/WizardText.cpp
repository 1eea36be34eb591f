#include "wizard/WizardText.h"

#include "foundation/modRes.h"

namespace orvex::wizard {

QString uiText(int offset) { return fromTableText(resText(offset)); }

QString fromTableText(const std::string& utf8) {
    return QString::fromStdString(utf8).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString inertText(const std::string& utf8) {
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0x2028 || u == 0x2029) c = QLatin1Char('?');
    }
    return text;
}

}  // namespace orvex::wizard
