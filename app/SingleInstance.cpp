#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

namespace tessaly {

namespace {
const QByteArray FrontRequest = "front\n";
const QByteArray FrontAnswer = "ok\n";
// How long a second start waits for the first: it may be between taking the lock
// and listening, or busy in a command.
constexpr int ConnectAttempts = 10;
constexpr int AttemptMilliseconds = 200;
constexpr int AnswerMilliseconds = 3000;
} // namespace

SingleInstance::SingleInstance(const QString& programDir, QObject* parent)
    : QObject(parent), key_(keyFor(programDir)) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::serve);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::keyFor(const QString& programDir) {
    const QFileInfo dir(programDir);
    QString canonical = dir.canonicalFilePath();
    if (canonical.isEmpty())
        canonical = QDir::cleanPath(dir.absoluteFilePath());
#ifdef Q_OS_WIN
    canonical = canonical.toLower(); // one directory, however its name is written
#endif
    const QByteArray hash = QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("tessaly-") + QString::fromLatin1(hash.toHex().left(24));
}

SingleInstance::Claim SingleInstance::claim() {
    lock_ = std::make_unique<QLockFile>(QDir(QDir::tempPath()).filePath(key_ + QStringLiteral(".lock")));
    // Held while the process lives; only a dead holder makes it stale, however old.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) {
        // A socket left by a crashed first start would keep this one from listening.
        QLocalServer::removeServer(key_);
        server_.listen(key_);
        return Claim::First;
    }
    if (lock_->error() != QLockFile::LockFailedError) {
        // No lock can be made here (a temporary folder that cannot be written): run
        // unguarded rather than not at all.
        return Claim::First;
    }
    for (int attempt = 0; attempt < ConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(key_);
        if (socket.waitForConnected(AttemptMilliseconds)) {
            socket.write(FrontRequest);
            socket.waitForBytesWritten(AnswerMilliseconds);
            while (socket.bytesAvailable() < FrontAnswer.size() &&
                   socket.waitForReadyRead(AnswerMilliseconds)) {
            }
            return socket.readAll().startsWith(FrontAnswer) ? Claim::BroughtToFront : Claim::Unreachable;
        }
        QThread::msleep(AttemptMilliseconds);
    }
    return Claim::Unreachable;
}

void SingleInstance::serve() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine() == FrontRequest) {
                emit frontRequested();
                socket->write(FrontAnswer);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace tessaly
