#include "wizard/PageRender.h"

#include <QCoreApplication>
#include <QPixmap>

#include "wizard/StatusMapping.h"
#include "wizard/frmMain.h"

namespace orvex::wizard {

bool renderPageToPng(frmMain& window, int page, const QString& pngPath) {
    if (page < kPageSettings || page > kPageNotProgrammable) return false;
    const int before = window.currentPage();
    window.showPage(page);
    QCoreApplication::processEvents();
    const bool saved = window.grab().save(pngPath, "PNG");
    window.showPage(before);
    return saved;
}

}  // namespace orvex::wizard
