#pragma once

#include "firmware/SerialPortMap.h"

namespace tessaly::cli {

struct CliContext;

// The port map the flashing tool in the program directory follows: its FlashWrite.ini
// and the machine's serial ports.
CurrentPortMap programPortMap(const CliContext& context);

} // namespace tessaly::cli
