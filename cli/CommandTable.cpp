#include "cli/CommandTable.h"

namespace tessaly::cli {

namespace {
const Command table[] = {
    {"new", "NAME", "create the project NAME in PROJECTS and print its directory", runNew},
    {"table", "export [--project P] | import [--project P] FILE.csv",
     "print the project's translate table as CSV, or replace it with the rows of FILE.csv", runTable},
};
} // namespace

std::span<const Command> commands() { return table; }

} // namespace tessaly::cli
