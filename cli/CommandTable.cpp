#include "cli/CommandTable.h"

namespace tessaly::cli {

namespace {
const Command table[] = {
    {"new", "NAME", "create the project NAME in PROJECTS and print its directory", runNew},
    {"ping", "[--socket auto|datagram|raw] HOST",
     "send one ICMP echo to HOST and print the result; exit 0 when the device answered", runPing},
};
} // namespace

std::span<const Command> commands() { return table; }

} // namespace tessaly::cli
