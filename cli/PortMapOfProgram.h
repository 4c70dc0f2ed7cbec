#pragma once

#include "firmware/SerialPortMap.h"

namespace tessaly::cli {

struct CliContext;

// The port map the flashing tool in the program directory follows: the FlashWrite.ini
// files portMapFiles() names for it and the machine's serial ports.
CurrentPortMap programPortMap(const CliContext& context);

// Each line of the map's files that was not understood, as a warning on standard error.
void warnOfPortMapLines(CliContext& context, const CurrentPortMap& current);

} // namespace tessaly::cli
