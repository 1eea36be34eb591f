#pragma once
// One running wizard per user and settings location. The first copy listens
// on a local socket; a later copy finds it there, hands over the sample file
// it was started with (if any) and ends.
#include <QObject>
#include <QString>

class QLocalServer;

namespace orvex::wizard {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The channel name: the user and the settings location (ORVEXCARD_REGISTRY_DIR),
    // so copies working on different settings do not meet.
    static QString defaultKey();

    explicit SingleInstance(QString key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when no other copy runs: this one now listens for later copies.
    bool claim();
    // Tells the running copy to come forward and, with a path, to show that
    // file. False when no copy answers.
    static bool handOver(const QString& key, const QString& path);

signals:
    // A later copy started; path is the file it carried, or empty.
    void activationRequested(const QString& path);

private:
    void onNewConnection();

    QString key_;
    QLocalServer* server_ = nullptr;
};

}  // namespace orvex::wizard
