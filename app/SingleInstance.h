#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

namespace tessaly {

// One configurator per program directory: two would each hold their own project and
// Tessaly.ini would keep whichever closed last. The first start on a directory holds a
// lock file, named after the directory's canonical path in the temporary folder, for
// as long as it runs (a lock left by a crashed process is seen as stale by its process
// id and taken over), and listens on a local socket of the same name; a second start
// finds the lock held and asks the first, through that socket, to come to the front.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,          // this process runs the directory
        BroughtToFront, // another one does, and has come to the front
        Unreachable,    // another one does, and did not answer
    };

    explicit SingleInstance(const QString& programDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    Claim claim();

    // The name of the lock and the socket for `programDir`.
    static QString keyFor(const QString& programDir);

signals:
    // Another start on the same directory asks this one to come to the front.
    void frontRequested();

private:
    void serve();

    QString key_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

} // namespace tessaly
