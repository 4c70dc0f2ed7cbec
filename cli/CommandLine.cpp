#include "cli/CommandLine.h"

#include "app/ProgramVersion.h"
#include "cli/CliContext.h"
#include "firmware/FlashToolCall.h"
#include "platform/ProgramDirectory.h"
#include "platform/StandardStreams.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <exception>

namespace tessaly::cli {

namespace {

std::span<char* const> startArguments;

void printUsage(QTextStream& stream, std::span<const Command> commands) {
    stream << "Usage: tessaly-cli [--program-dir DIR] COMMAND [ARGUMENTS]\n\n"
              "DIR holds MASTER, PROJECTS and Tessaly.ini; by default the folder of the program,\n"
              "or "
           << perUserProgramDirectoryText()
           << " when the program is installed for all users.\n"
              "A project P (--project P) is a folder of PROJECTS or a project directory; without it,\n"
              "the last project opened in the configurator.\n\nCommands:\n";
    for (const Command& command : commands)
        stream << "  " << command.name << " " << command.usage << "\n      " << command.summary << "\n";
    stream << "\nExit status: 0 done, 1 refused or failed, 2 usage error.\n";
    stream.flush();
}

QString usageLine(const Command& command) {
    return QStringLiteral("Usage: tessaly-cli %1 %2")
        .arg(QLatin1String(command.name), QLatin1String(command.usage));
}

} // namespace

std::span<char* const> processArguments() {
    return startArguments;
}

int runCommandLine(int argc, char* argv[], std::span<const Command> commands) {
    startArguments = std::span<char* const>(argv, static_cast<std::size_t>(argc));
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaly-cli"));
    QCoreApplication::setApplicationVersion(ProgramVersion);
    useBinaryStandardStreams();
    QTextStream out(stdout);
    QTextStream err(stderr);

    const QStringList all = QCoreApplication::arguments();
    QStringList args = withoutProgramDirOption(all).mid(1);
    for (const Command& command : commands) {
        if (command.handOver && !args.isEmpty() && args.first() == QLatin1String(command.name))
            if (const std::optional<int> status = command.handOver(args.mid(1)))
                return *status;
    }
    const ChosenProgramDirectory chosen =
        chooseProgramDirectory(all, QCoreApplication::applicationDirPath(), PerUserLinkedTools);
    if (chosen.failure)
        err << *chosen.failure << Qt::endl;
    const QString& programDir = chosen.path;

    if (args.isEmpty()) {
        printUsage(err, commands);
        return 2;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printUsage(out, commands);
        return 0;
    }
    if (name == QLatin1String("--version")) {
        out << "tessaly-cli " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    for (const Command& command : commands) {
        if (name != QLatin1String(command.name))
            continue;
        if (args.contains(QLatin1String("--help"))) {
            // "--help" after a command: its usage and what it does.
            out << usageLine(command) << "\n      " << command.summary << Qt::endl;
            return 0;
        }
        try {
            CliContext context(programDir);
            return command.run(context, args);
        } catch (const UsageError& usage) {
            err << "tessaly-cli " << command.name << ": " << usage.what() << '\n'
                << usageLine(command) << Qt::endl;
            return 2;
        } catch (const std::exception& failure) {
            err << failure.what() << Qt::endl;
            return 1;
        }
    }
    err << "tessaly-cli: unknown command " << name << Qt::endl;
    printUsage(err, commands);
    return 2;
}

} // namespace tessaly::cli
