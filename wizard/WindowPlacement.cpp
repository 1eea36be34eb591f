#include "wizard/WindowPlacement.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QStringList>
#include <QWidget>

#include "foundation/clsRegistry.h"

namespace orvex::wizard {
namespace {

constexpr int kMaxExtent = 20000;

// A stored rectangle is outside input: four numbers of sane size, or nothing.
bool parsePlacement(const std::string& text, QRect& rect) {
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    int v[4] = {};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || v[i] < -kMaxExtent || v[i] > kMaxExtent) return false;
    }
    if (v[2] < 100 || v[3] < 100) return false;
    rect = QRect(v[0], v[1], v[2], v[3]);
    return true;
}

bool onSomeScreen(const QPoint& point) {
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen->availableGeometry().contains(point)) return true;
    return false;
}

}  // namespace

void restorePlacement(QWidget& window) {
    QRect rect;
    const std::string stored =
        clsRegistry().ReadRegistry(HKEY_CURRENT_USER, kProductKey, kPlacementValue);
    if (!parsePlacement(stored, rect)) return;
    window.resize(rect.size().expandedTo(window.minimumSizeHint()));
    if (onSomeScreen(rect.topLeft() + QPoint(20, 20))) window.move(rect.topLeft());
}

void savePlacement(const QWidget& window) {
    const QRect g = window.geometry();
    const QString text = QStringLiteral("%1,%2,%3,%4").arg(window.x()).arg(window.y())
                             .arg(g.width()).arg(g.height());
    clsRegistry().WriteRegistry(HKEY_CURRENT_USER, kProductKey, kPlacementValue, REG_SZ,
                                text.toStdString());
}

}  // namespace orvex::wizard
