#include "cli/CommandTable.h"

namespace tessaly::cli {

namespace {
const Command table[] = {
    {"new", "NAME", "create the project NAME in PROJECTS and print its directory", runNew},
};
} // namespace

std::span<const Command> commands() { return table; }

} // namespace tessaly::cli
