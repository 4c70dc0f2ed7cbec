#pragma once

#include <QStringList>
#include <span>

namespace tessaly::cli {

struct CliContext;

struct Command {
    const char* name;
    const char* usage;   // arguments after the name
    const char* summary; // one line for --help
    int (*run)(CliContext& context, QStringList args);
};

std::span<const Command> commands();

// One function per command, each in its own file.
int runNew(CliContext& context, QStringList args);
int runShow(CliContext& context, QStringList args);
int runSet(CliContext& context, QStringList args);
int runBuild(CliContext& context, QStringList args);
int runInspect(CliContext& context, QStringList args);
int runTable(CliContext& context, QStringList args);
int runPing(CliContext& context, QStringList args);
int runCompose(CliContext& context, QStringList args);
int runFlash(CliContext& context, QStringList args);
int runUpdate(CliContext& context, QStringList args);
int runPorts(CliContext& context, QStringList args);
int runFleet(CliContext& context, QStringList args);
int runProbe(CliContext& context, QStringList args);

} // namespace tessaly::cli
