#pragma once

#include "tests/support/TestSupport.h"

// Network namespaces a test makes and deletes (as root), and programs run in them.

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <unistd.h>

namespace tessaly::test {

struct ToolRun {
    int exitCode = -1;
    QString out, err;
};

inline ToolRun runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    ToolRun run;
    if (!process.waitForStarted(10000)) {
        run.err = process.errorString();
        return run;
    }
    process.closeWriteChannel();
    process.waitForFinished(60000);
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err += QString::fromUtf8(process.readAllStandardError());
    return run;
}

// A network namespace of this test, deleted when it goes out of scope. It starts
// with nothing but a loopback interface that is down.
class Namespace {
public:
    explicit Namespace(const QString& role)
        : name_(QStringLiteral("tessaly-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(role)) {}
    ~Namespace() {
        if (created_)
            runTool(ip_, {"netns", "delete", name_});
    }
    Namespace(const Namespace&) = delete;
    Namespace& operator=(const Namespace&) = delete;

    // Why namespaces cannot be used here, or nothing when the namespace was created.
    QString create() {
        if (::geteuid() != 0)
            return QStringLiteral("network namespace tests need root");
        ip_ = QStandardPaths::findExecutable(QStringLiteral("ip"));
        if (ip_.isEmpty())
            ip_ = QStandardPaths::findExecutable(QStringLiteral("ip"), {"/usr/sbin", "/sbin"});
        if (ip_.isEmpty())
            return QStringLiteral("the ip tool is not installed");
        const ToolRun added = runTool(ip_, {"netns", "add", name_});
        if (added.exitCode != 0)
            return QStringLiteral("cannot create a network namespace here: ") + added.err.trimmed();
        created_ = true;
        return {};
    }

    // Runs a shell command inside the namespace.
    bool shell(const QString& command) {
        const ToolRun run = runTool(ip_, {"netns", "exec", name_, "sh", "-c", command});
        if (run.exitCode != 0)
            qWarning("%s: %s", qPrintable(command), qPrintable(run.err));
        return run.exitCode == 0;
    }

    // Starts `arguments` inside the namespace without waiting for them: a server to reach.
    void start(QProcess& process, const QStringList& arguments) {
        process.start(ip_, QStringList{"netns", "exec", name_} + arguments);
    }

    CliRun cli(const QStringList& arguments) {
        const ToolRun run = runTool(ip_, QStringList{"netns", "exec", name_, TESSALY_CLI_PATH} + arguments);
        return {run.exitCode, run.out, run.err};
    }

private:
    QString name_;
    QString ip_;
    bool created_ = false;
};

#define CREATE_NAMESPACE(ns)                                                                                 \
    do {                                                                                                     \
        const QString why = (ns).create();                                                                   \
        if (!why.isEmpty())                                                                                  \
            QSKIP(qPrintable(why));                                                                          \
    } while (false)

} // namespace tessaly::test
