// probe and fleet probe run in the probe program beside tessaly-cli, with tessaly-cli's
// own arguments, so that what the user sees is the same as if tessaly-cli ran them.

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#ifdef Q_OS_WIN
#include <QProcess>
#else
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>
#endif

namespace tessaly::cli {

int runInProbeProgram(CliContext& context, QStringList) {
    const QString program =
        QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(ProbeProgramName);
    const QString shown = QDir::toNativeSeparators(program);
    if (!QFileInfo(program).isFile()) {
        context.messages.error(
            QStringLiteral("Cannot find \"%1\": probe and fleet probe run in it. Reinstall the program.")
                .arg(shown));
        return 1;
    }
#ifdef Q_OS_WIN
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.start(program, QCoreApplication::arguments().mid(1));
    if (!process.waitForStarted(-1)) {
        context.messages.error(QStringLiteral("Cannot start \"%1\": %2").arg(shown, process.errorString()));
        return 1;
    }
    process.waitForFinished(-1);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 1;
#else
    // The probe program takes this process's place: its output, signals and exit status
    // are the command's own.
    const QByteArray path = QFile::encodeName(program);
    std::vector<char*> argv(processArguments().begin(), processArguments().end());
    argv.front() = const_cast<char*>(path.constData());
    argv.push_back(nullptr);
    context.out.flush();
    context.err.flush();
    std::fflush(nullptr);
    ::execv(path.constData(), argv.data());
    context.messages.error(
        QStringLiteral("Cannot start \"%1\": %2").arg(shown, QString::fromLocal8Bit(std::strerror(errno))));
    return 1;
#endif
}

} // namespace tessaly::cli
