// tessaly-probe: probe and fleet probe, which tessaly-cli hands over to this program.
// It alone links the network library, whose loading would otherwise slow every
// tessaly-cli command's start.

#include "cli/CliContext.h"
#include "cli/CommandLine.h"
#include "cli/CommandTable.h"
#include "platform/OpenFiles.h"

namespace {

using namespace tessaly::cli;

int runFleetProbeOnly(CliContext& context, QStringList args) {
    if (args.isEmpty() || args.takeFirst() != QLatin1String("probe"))
        throw UsageError(QStringLiteral("only fleet probe runs here; tessaly-cli runs the others"));
    return runFleetProbe(context, args);
}

const Command probeCommands[] = {
    {"probe", ProbeUsage, ProbeSummary, runProbe},
    {"fleet", "probe [--unit N] [--timeout MS]", "probe's three steps for every project at once",
     runFleetProbeOnly},
};

} // namespace

int main(int argc, char* argv[]) {
    // A connection per device: a fleet of a thousand needs more than the common 1024.
    tessaly::raiseOpenFileLimit();
    return runCommandLine(argc, argv, probeCommands);
}
