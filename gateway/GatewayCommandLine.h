#pragma once

#include "commissioning/GatewayDevice.h"

#include <QString>
#include <QStringList>

namespace tessaly::cli {
struct CliContext;
}

namespace tessaly::gateway {

inline constexpr char GatewayUsage[] =
    "Usage: tessaly-gateway [--program-dir DIR] (--firmware FILE | --project P | --state DIR) [OPTIONS]\n";

// What the command line asks for.
struct GatewayRequest {
    commissioning::GatewayOptions options;
    QString firmware; // the file to boot; empty: the state folder's, if any
};

// Reads the options of `args` (the program directory option already taken out) for the
// workspace of `context`. Throws UsageError for a command line that asks for nothing
// sound, std::runtime_error for a port or project that cannot be had.
GatewayRequest parseGatewayArguments(cli::CliContext& context, QStringList args);

// The whole of --help.
QString gatewayHelp();

} // namespace tessaly::gateway
