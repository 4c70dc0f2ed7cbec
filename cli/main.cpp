#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "firmware/FlashToolCall.h"
#include "platform/ProgramDirectory.h"
#include "platform/StandardStreams.h"

#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <exception>

namespace {

using namespace tessaly::cli;

void printUsage(QTextStream& stream) {
    stream << "Usage: tessaly-cli [--program-dir DIR] COMMAND [ARGUMENTS]\n\n"
              "DIR holds MASTER, PROJECTS and Tessaly.ini; by default the folder of the program,\n"
              "or ~/.local/share/tessaly when the program is installed for all users.\n"
              "A project P (--project P) is a folder of PROJECTS or a project directory; without it,\n"
              "the last project opened in the configurator.\n\nCommands:\n";
    for (const Command& command : commands())
        stream << "  " << command.name << " " << command.usage << "\n      " << command.summary << "\n";
    stream << "\nExit status: 0 done, 1 refused or failed, 2 usage error.\n";
    stream.flush();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaly-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.001"));
    tessaly::useBinaryStandardStreams();
    QTextStream out(stdout);
    QTextStream err(stderr);

    const QStringList all = QCoreApplication::arguments();
    const tessaly::ChosenProgramDirectory chosen = tessaly::chooseProgramDirectory(
        all, QCoreApplication::applicationDirPath(), {tessaly::FlashToolFileName});
    if (chosen.failure)
        err << *chosen.failure << Qt::endl;
    const QString& programDir = chosen.path;
    QStringList args = tessaly::withoutProgramDirOption(all).mid(1);

    if (args.isEmpty()) {
        printUsage(err);
        return 2;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printUsage(out);
        return 0;
    }
    if (name == QLatin1String("--version")) {
        out << "tessaly-cli " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    for (const Command& command : commands()) {
        if (name != QLatin1String(command.name))
            continue;
        try {
            CliContext context(programDir);
            return command.run(context, args);
        } catch (const UsageError& usage) {
            err << "tessaly-cli " << command.name << ": " << usage.what() << "\nUsage: tessaly-cli "
                << command.name << ' ' << command.usage << Qt::endl;
            return 2;
        } catch (const std::exception& failure) {
            err << failure.what() << Qt::endl;
            return 1;
        }
    }
    err << "tessaly-cli: unknown command " << name << Qt::endl;
    printUsage(err);
    return 2;
}
