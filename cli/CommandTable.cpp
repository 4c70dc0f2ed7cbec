#include "cli/CommandTable.h"

namespace tessaly::cli {

namespace {
const Command table[] = {
    {"new", "NAME", "create the project NAME in PROJECTS and print its directory", runNew},
    {"build", "[--project P]",
     "build the configuration image and write bin/bank1.bin and bin/bankg.c; print their paths", runBuild},
    {"inspect", "FILE", "print the configuration held in a bank1.bin or in an S-record firmware file",
     runInspect},
};
} // namespace

std::span<const Command> commands() { return table; }

} // namespace tessaly::cli
