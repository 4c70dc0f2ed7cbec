#include "cli/CommandLine.h"

int main(int argc, char* argv[]) {
    return tessaly::cli::runCommandLine(argc, argv, tessaly::cli::commands());
}
