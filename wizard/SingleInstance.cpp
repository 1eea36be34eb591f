#include "wizard/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <memory>

#include "platform/process/UserIdentity.h"

namespace orvex::wizard {
namespace {

constexpr int kConnectMs = 500;
constexpr int kWriteMs = 2000;
// A path longer than this is not a path we could open.
constexpr qint64 kMaxMessage = 8192;

}  // namespace

QString SingleInstance::defaultKey() {
    // The settings folder a test or a second operator profile points at
    // makes a copy of its own.
    const QByteArray settings = qEnvironmentVariable("ORVEXCARD_REGISTRY_DIR").toUtf8();
    const QByteArray digest =
        QCryptographicHash::hash(settings, QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("orvexcard-wizard-%1-%2")
        .arg(QString::fromStdString(platform::userIdentity()), QString::fromLatin1(digest));
}

SingleInstance::SingleInstance(QString key, QObject* parent)
    : QObject(parent), key_(std::move(key)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim() {
    QLocalSocket probe;
    probe.connectToServer(key_);
    if (probe.waitForConnected(kConnectMs)) return false;
    // Nobody answers: a socket file left by a copy that crashed is stale.
    QLocalServer::removeServer(key_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) return true;  // still the only copy we know of
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::handOver(const QString& key, const QString& path) {
    QLocalSocket socket;
    socket.connectToServer(key);
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.write(path.toUtf8() + '\n');
    const bool sent = socket.waitForBytesWritten(kWriteMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kWriteMs);
    return sent;
}

// The message is one line; whatever arrives is bounded and read as text.
void SingleInstance::onNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto buffer = std::make_shared<QByteArray>();
        auto done = std::make_shared<bool>(false);
        auto take = [this, socket, buffer, done] {
            if (*done) return;
            *buffer += socket->read(kMaxMessage - buffer->size());
            const qsizetype end = buffer->indexOf('\n');
            const bool closed = socket->state() != QLocalSocket::ConnectedState;
            if (end < 0 && !closed && buffer->size() < kMaxMessage) return;
            *done = true;
            emit activationRequested(QString::fromUtf8(end < 0 ? *buffer : buffer->left(end)));
        };
        connect(socket, &QLocalSocket::readyRead, this, take);
        connect(socket, &QLocalSocket::disconnected, this, take);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        take();
    }
}

}  // namespace orvex::wizard
