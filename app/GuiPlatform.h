#pragma once

#include <QUrl>
#include <functional>

namespace tessaly {

class Messages;
class Pickers;
class DialogRunner;
class Clock;
class IcmpEcho;
class ProgramLauncher;
class SerialPortScanner;

// The platform services the windows use, injected so that tests can record and
// script them.
struct GuiPlatform {
    Messages& messages;
    Pickers& pickers;
    DialogRunner& dialogs;
    std::function<void(const QUrl&)> openUrl;
    Clock& clock;
    // The device ping's echo client; the system's one when not given.
    IcmpEcho* icmpEcho = nullptr;
    // Starts the flashing tool; the system's one when not given.
    ProgramLauncher* launcher = nullptr;
    // The serial ports the firmware dialog's port label looks at; the system's when not given.
    SerialPortScanner* serialPorts = nullptr;
};

} // namespace tessaly
