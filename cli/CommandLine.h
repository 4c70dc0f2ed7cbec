#pragma once

#include "cli/CommandTable.h"

#include <span>

namespace tessaly::cli {

// The command line of tessaly-cli and of the probe program: options, help, version and
// the dispatch to one of `commands`, with the exit statuses both document.
int runCommandLine(int argc, char* argv[], std::span<const Command> commands);

// The arguments the process was started with, as the system gave them.
std::span<char* const> processArguments();

} // namespace tessaly::cli
