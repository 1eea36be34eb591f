#include "wizard/QtTexts.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

#include "foundation/modRes.h"

namespace orvex::wizard {

void useQtTexts(int16_t languageBase) {
    // Owned by the application object, so it never outlives it.
    static QPointer<QTranslator> german;
    if (languageBase != kLanguageGerman) {
        delete german;  // a deleted translator takes itself out of the application
        return;
    }
    if (german) return;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral(":/i18n/qtbase_de.qm"))) {
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
    german = translator;
}

}  // namespace orvex::wizard
