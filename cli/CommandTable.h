#pragma once

#include <QStringList>
#include <optional>
#include <span>

namespace tessaly::cli {

struct CliContext;

struct Command {
    const char* name;
    const char* usage;   // arguments after the name
    const char* summary; // one line for --help
    int (*run)(CliContext& context, QStringList args);
    // For a command that another program runs: given the arguments after the name, runs
    // it there and gives its exit status, before this program reads anything; nothing
    // when the command runs here after all.
    std::optional<int> (*handOver)(const QStringList& args) = nullptr;
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
// probe and fleet probe run in the probe program (ProbeProgramName) beside this one.
std::optional<int> probeInProbeProgram(const QStringList& args);
std::optional<int> fleetProbeInProbeProgram(const QStringList& args);

// The probe program's own commands.
int runProbe(CliContext& context, QStringList args);
int runFleetProbe(CliContext& context, QStringList args);

// Only the probe program links the network library, so that the other
// commands start without loading it.
#ifdef Q_OS_WIN
inline constexpr char ProbeProgramName[] = "tessaly-probe.exe";
#else
inline constexpr char ProbeProgramName[] = "tessaly-probe";
#endif

inline constexpr char ProbeUsage[] = "[--project P] [--unit N] [--timeout MS] [--table]";
inline constexpr char ProbeSummary[] =
    "commissioning check at the project's address and port: ICMP echo, Modbus TCP connection,\n"
    "      one read of holding register 0 of unit N (1) through the gateway; with --table, every\n"
    "      row of the translate table; exit 0 when the device answered on Modbus TCP";

} // namespace tessaly::cli
