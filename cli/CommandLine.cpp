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

// The rest of --help. The manual page tessaly-cli(1) is made from --help by help2man,
// which turns "Options:", "Environment:", "Files:" and "Examples:" into sections and
// the indented lines below them into its entries: keep their columns aligned.
constexpr char HelpAfterCommands[] =
    "\nOptions:\n"
    "  --program-dir DIR  use DIR as the program directory (also --program-dir=DIR)\n"
    "  -h, --help         print this help and exit (also: tessaly-cli help)\n"
    "  --version          print the version and exit\n"
    "\nExit status:\n"
    "  0  done\n"
    "  1  refused or failed; the reason is on standard error\n"
    "  2  usage error\n"
    "\nEnvironment:\n"
#ifdef Q_OS_WIN
    "  LOCALAPPDATA          holds the program directory of a copy installed for all\n"
    "                        users, LOCALAPPDATA\\tessaly\n"
#else
    "  XDG_DATA_HOME         holds the program directory of a copy installed for all\n"
    "                        users, XDG_DATA_HOME/tessaly (~/.local/share/tessaly when unset)\n"
#endif
    "  DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM\n"
    "                        without any of them, flash --wait and update --wait run\n"
    "                        the flashing tool off screen\n"
    "  FLASHWRITE_EXIT_WHEN_DONE\n"
    "                        1, which flash --wait and update --wait set when it is\n"
    "                        unset: the flashing tool ends by itself when it is done\n"
    "\nFiles:\n"
    "  DIR/PROJECTS/P         a project: pargen.xml (general parameters), var.xml\n"
    "                         (translate table), bin/bank1.bin and bin/bankg.c (the\n"
    "                         configuration image), New_sx48316.sx (the new firmware)\n"
    "  DIR/MASTER/sx48316.sx  the reference firmware that compose merges into\n"
    "  DIR/Tessaly.ini        the last project opened in the configurator\n"
    "  DIR/FlashWrite.exe     the flashing tool that flash and update start\n"
    "  FlashWrite.ini         beside the flashing tool: the serial device of each COM name\n"
    "  shared-install         beside the program: marks a copy installed for all users\n"
    "\nExamples:\n"
    "Configure a device and update it on the serial port COM1.\n\n"
    "  $ tessaly-cli new Plant1\n"
    "  $ tessaly-cli set --project Plant1 ip=192.168.1.50 port=502\n"
    "  $ tessaly-cli build --project Plant1\n"
    "  $ tessaly-cli compose --project Plant1\n"
    "  $ tessaly-cli ports\n"
    "  $ tessaly-cli update --project Plant1 --port COM1 --wait\n";

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
    stream << HelpAfterCommands;
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
