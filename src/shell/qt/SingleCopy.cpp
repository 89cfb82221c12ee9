#include "shell/qt/SingleCopy.h"

#include <QDir>
#include <QLocalSocket>

namespace calvex {

namespace {

constexpr char kKnock = 'k';

}  // namespace

SingleCopy::SingleCopy(const QString& folder, QObject* parent)
    : QObject(parent),
      folder_(folder),
      lock_(QDir(folder).filePath(QStringLiteral("calvexadj.lock"))) {}

SingleCopy::~SingleCopy() = default;

QString SingleCopy::lockPath() const {
    return QDir(folder_).filePath(QStringLiteral("calvexadj.lock"));
}

QString SingleCopy::socketPath() const {
    return QDir(folder_).filePath(QStringLiteral("calvexadj.socket"));
}

bool SingleCopy::acquire() {
    if (!lock_.tryLock(0)) return false;
    // Holding the lock, a socket left by a copy that crashed is ours to replace.
    QLocalServer::removeServer(socketPath());
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // Without the socket the program still runs; only the knock of a second copy goes unheard.
    if (server_->listen(socketPath())) {
        connect(server_.get(), &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = server_->nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                    if (peer->readAll().contains(kKnock)) {
                        peer->write("ok", 2);
                        peer->flush();
                        emit knocked();
                    }
                });
            }
        });
    }
    return true;
}

bool SingleCopy::knock(int waitMs) const {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(waitMs)) return false;
    socket.write(&kKnock, 1);
    if (!socket.waitForBytesWritten(waitMs)) return false;
    return socket.waitForReadyRead(waitMs) && socket.readAll().startsWith("ok");
}

}  // namespace calvex
