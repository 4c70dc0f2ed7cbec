#include "cli/CommandTable.h"

namespace tessaly::cli {

namespace {
const Command table[] = {
    {"new", "NAME", "create the project NAME in PROJECTS and print its directory", runNew},
    {"show", "[--project P]", "print the general parameters of pargen.xml, one ELEMENT=value a line",
     runShow},
    {"set", "[--project P] KEY=VALUE ...",
     "change general parameters and rewrite pargen.xml; KEY is an element name or one of\n"
     "      ip, mask, gateway (a.b.c.d), port, baud (1200 ... 115200), parity (none, odd, even),\n"
     "      timeout, offset, mode (routing, nat), public, private",
     runSet},
    {"build", "[--project P]",
     "build the configuration image and write bin/bank1.bin and bin/bankg.c; print their paths", runBuild},
    {"inspect", "FILE", "print the configuration held in a bank1.bin or in an S-record firmware file",
     runInspect},
    {"table", "export [--project P] | import [--project P] FILE.csv",
     "print the project's translate table as CSV, or replace it with the rows of FILE.csv", runTable},
    {"ping", "[--socket auto|datagram|raw] HOST",
     "send one ICMP echo to HOST and print the result; exit 0 when the device answered", runPing},
    {"compose", "[--project P] [--reference FILE] [--output NAME]",
     "merge the project's bin/bank1.bin into the reference firmware (MASTER/sx48316.sx) as\n"
     "      NAME (New_sx48316.sx) in the project directory; print its path and the merge result",
     runCompose},
    {"flash", "[--project P] --port COMn|DEVICE [--wait] [--output NAME]",
     "start FlashWrite.exe on the project's New_sx48316.sx and serial port COMn (COM1 to COM8,\n"
     "      or the device path that the port map gives one of them); with --wait, wait for it\n"
     "      and exit with its status",
     runFlash},
    {"update", "[--project P] --port COMn|DEVICE [--wait]",
     "build, compose and flash, as Update Device and \"Execute update firmware\" do", runUpdate},
    {"ports", "",
     "print the port map the flashing tool follows: COM name, device, description and where\n"
     "      the mapping comes from (FlashWrite.ini or detected), tab-separated",
     runPorts},
    {"probe", ProbeUsage, ProbeSummary, nullptr, probeInProbeProgram},
    {"fleet", "apply FILE.csv | export | check | probe [--unit N] [--timeout MS]",
     "apply: write, build and compose every project named in FILE.csv (column project, then\n"
     "      keys of set), or nothing when a row is refused; export: every project's values as\n"
     "      that CSV; check: stale bank files and firmware, duplicated or unusable addresses;\n"
     "      probe: probe's three steps for every project at once, a table of the results",
     runFleet, fleetProbeInProbeProgram},
};
} // namespace

std::span<const Command> commands() {
    return table;
}

} // namespace tessaly::cli
