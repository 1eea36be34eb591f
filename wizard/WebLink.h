#pragma once
// Opens an address in the desktop's browser. Tests call recordOnly() first:
// from then on addresses are recorded instead of opened, so no browser ever
// starts, and the test reads back what was asked for.
#include <QUrl>
#include <vector>

namespace orvex::wizard {

class WebLink {
public:
    static void open(const QUrl& url);
    static void recordOnly();
    static const std::vector<QUrl>& opened();

private:
    static bool& recording();
    static std::vector<QUrl>& record();
};

}  // namespace orvex::wizard
