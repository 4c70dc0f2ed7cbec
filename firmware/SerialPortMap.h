#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// Which serial device each COM name leads to. One rule for the firmware dialog, the
// command line and the flashing tool, so that what the user is shown and what the
// tool opens can never differ:
//
//   The FlashWrite.ini files are read in the order portMapFiles() gives; the first
//   entry for COMn makes COMn. The COM names without an entry go, in order, to the
//   detected ports that no entry names; detected ports are ordered USB adapters first
//   (by their /dev/serial/by-id name, those without one after them by device name),
//   then the others (ttyS, platform UARTs) by device name. Where the system names its
//   ports COMn itself (Windows), those names hold instead of the order.
namespace tessaly {

// The ini file beside the flashing tool that names devices for COM ports.
inline const QString PortMapFileName = QStringLiteral("FlashWrite.ini");

// One serial port of the machine, as the system describes it.
struct SerialPortDescription {
    QString device;   // e.g. /dev/ttyUSB0
    QString byIdName; // its name in /dev/serial/by-id; empty when it has none
    bool usb = false;
    QString description; // e.g. FT232R USB UART
    QString manufacturer;
};

// The serial ports present now. The system's list sits behind this seam so tests
// can script it and another platform can bring its own.
class SerialPortScanner {
public:
    virtual ~SerialPortScanner() = default;
    virtual QList<SerialPortDescription> ports() const = 0;
};

// The COMn entries of one FlashWrite.ini: key COMn (letters in either case, n from 1
// to 256 as it prints) in the [ports] section or before any section, the value taken
// as it stands (blanks around it and enclosing double quotes removed); an empty value
// counts as no entry. A line that looks like an entry but is not understood (COM01=,
// COM 6=, a value with a comma, a COM name given twice) or a line of [ports] that is
// no entry at all gets a warning naming the file and line; where it names a COM port,
// that port gets an empty device: it leads nowhere rather than to a detected port the
// user did not mean. A missing file is an empty map; an unreadable one gives `error`.
struct PortMapFile {
    QMap<int, QString> devices; // port index (0 for COM1) -> device path, empty: not understood
    QStringList warnings;
    QString error;
};
PortMapFile readPortMapFile(const QString& iniPath);

// The FlashWrite.ini files that map the ports of the flashing tool at `toolPath`, in
// the order they are read: the one beside `toolPath` itself (the program directory,
// the user's own in a per-user folder), then the one beside the file it resolves to
// when it is a symbolic link into another folder (the installed tool's).
QStringList portMapFiles(const QString& toolPath);

// The index of "COM1" to "COM256" (letters in either case, the number as it prints: not
// "COM01"), 0 for COM1; nothing for any other text.
std::optional<int> comPortIndex(const QString& name);

// "COM1" for index 0.
QString comPortName(int portIndex);

// The COM index of a device the system itself names COMn (Windows: "COM3" or
// "\\.\COM3"); nothing for other device names.
std::optional<int> nativeComIndex(const QString& device);

enum class PortOrigin { Nowhere, PortMapFile, Detected };

// Why a COM name with an entry leads to no usable device.
enum class PortFault { None, NotUnderstood, Missing, NotSerial };

struct MappedPort {
    int index = -1;
    QString device; // empty when the port leads nowhere
    PortOrigin origin = PortOrigin::Nowhere;
    // The detected port behind the device, when there is one (an ini entry may name
    // a detected port too, by path or by its by-id link).
    std::optional<SerialPortDescription> detected;
    PortFault fault = PortFault::None;
    // Whether a serial device is there: detected, or an ini entry naming one.
    bool present = false;
};

// Detected ports in COM order.
QList<SerialPortDescription> orderDetectedPorts(QList<SerialPortDescription> ports);

class SerialPortMap {
public:
    SerialPortMap() = default;
    // `entries` as readPortMapFile gives them, several files already merged.
    SerialPortMap(QMap<int, QString> entries, QList<SerialPortDescription> detected);

    MappedPort port(int index) const;
    // One past the highest index that leads somewhere.
    int size() const;
    int detectedCount() const { return int(ordered_.size()); }
    // The lowest index leading to `device` (a path, a by-id link or a by-id name).
    std::optional<int> indexOfDevice(const QString& device) const;

private:
    QMap<int, QString> entries_;
    QList<SerialPortDescription> ordered_;
    QMap<int, SerialPortDescription> numbered_; // COM index -> detected port, unless native_
    bool native_ = false;                       // the system names its ports COMn itself
};

// The map as the machine has it now: the FlashWrite.ini files `iniPaths` (earlier ones
// first) and the scanner's ports. `iniError` is set when a file exists but cannot be
// read; the map then holds the detected ports only.
struct CurrentPortMap {
    SerialPortMap map;
    QString iniError;
    QStringList warnings; // lines of the files that were not understood
};
CurrentPortMap currentPortMap(const QStringList& iniPaths, const SerialPortScanner& scanner);

// The map the flashing tool at `toolPath` follows: currentPortMap of portMapFiles(toolPath).
CurrentPortMap toolPortMap(const QString& toolPath, const SerialPortScanner& scanner);

// What a port is, for people: "/dev/ttyUSB0 — FT232R USB UART (FTDI)"; "no port" when
// it leads nowhere; an ini entry leading to no serial device says why.
QString describePort(const MappedPort& port);
inline const QString NoPortText = QStringLiteral("no port");
// What ends the description of a port an entry maps: " [FlashWrite.ini]".
QString portMapMark();

// Why a port with an entry leads nowhere ("/dev/null is not a serial port"); empty for
// a port without a fault.
QString portFaultText(const MappedPort& port);

// "FlashWrite.ini" or "detected"; empty for a port leading nowhere.
QString portOriginName(PortOrigin origin);

} // namespace tessaly
