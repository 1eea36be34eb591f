#include "wizard/WebLink.h"

#include <QDesktopServices>

namespace orvex::wizard {

void WebLink::open(const QUrl& url) {
    if (recording()) {
        record().push_back(url);
        return;
    }
    QDesktopServices::openUrl(url);
}

void WebLink::recordOnly() { recording() = true; }
const std::vector<QUrl>& WebLink::opened() { return record(); }

bool& WebLink::recording() {
    static bool on = false;
    return on;
}

std::vector<QUrl>& WebLink::record() {
    static std::vector<QUrl> r;
    return r;
}

}  // namespace orvex::wizard
