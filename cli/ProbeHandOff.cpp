// probe and fleet probe run in the probe program beside tessaly-cli, with tessaly-cli's
// own arguments, so that what the user sees is the same as if tessaly-cli ran them.
// The hand-over comes before tessaly-cli reads anything: the probe program does it all.

#include "cli/CommandLine.h"
#include "cli/CommandTable.h"
#include "platform/SystemProgramLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#ifdef Q_OS_WIN
#include "platform/ForwardedRun.h"
#else
#include <cerrno>
#include <cstring>
#include <unistd.h>
#include <vector>
#endif

namespace tessaly::cli {

namespace {

int runProbeProgram() {
    const QString program =
        QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(ProbeProgramName);
    const QString shown = QDir::toNativeSeparators(program);
    QTextStream err(stderr);
    if (!QFileInfo(program).isFile()) {
        err << QStringLiteral("Cannot find \"%1\": probe and fleet probe run in it. Reinstall the program.")
                   .arg(shown)
            << Qt::endl;
        return 1;
    }
#ifdef Q_OS_WIN
    const std::variant<int, QString> ended = runForwarded(program, QCoreApplication::arguments().mid(1));
    if (const QString* failure = std::get_if<QString>(&ended)) {
        err << *failure << Qt::endl;
        return 1;
    }
    return std::get<int>(ended);
#else
    // The probe program takes this process's place: its output, signals and exit status
    // are the command's own.
    const QByteArray path = QFile::encodeName(program);
    std::vector<char*> argv(processArguments().begin(), processArguments().end());
    argv.front() = const_cast<char*>(path.constData());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    ::execv(path.constData(), argv.data());
    err << cannotStartProgramMessage(program, QString::fromLocal8Bit(std::strerror(errno))) << Qt::endl;
    return 1;
#endif
}

} // namespace

std::optional<int> probeInProbeProgram(const QStringList&) {
    return runProbeProgram();
}

std::optional<int> fleetProbeInProbeProgram(const QStringList& args) {
    if (args.value(0) != QLatin1String("probe"))
        return std::nullopt;
    return runProbeProgram();
}

} // namespace tessaly::cli
