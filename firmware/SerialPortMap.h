#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// Which serial device each COM name leads to. One rule for the firmware dialog, the
// command line and the flashing tool, so that what the user is shown and what the
// tool opens can never differ:
//
//   COMn is the FlashWrite.ini entry for COMn when there is one, otherwise the n-th
//   detected port; detected ports are ordered USB adapters first (by their
//   /dev/serial/by-id name, those without one after them by device name), then the
//   others (ttyS, platform UARTs) by device name. Where the system names its ports
//   COMn itself (Windows), those names hold instead of the order.
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

// The COMn entries of FlashWrite.ini: key COMn (letters in either case) in the [ports]
// section or before any section, an empty value counting as no entry. A missing file
// is an empty map; an unreadable one gives `error`.
struct PortMapFile {
    QMap<int, QString> devices; // port index (0 for COM1) -> device path
    QString error;
};
PortMapFile readPortMapFile(const QString& iniPath);

// "COM1" for index 0.
QString comPortName(int portIndex);

// The COM index of a device the system itself names COMn (Windows: "COM3" or
// "\\.\COM3"); nothing for other device names.
std::optional<int> nativeComIndex(const QString& device);

enum class PortOrigin { Nowhere, PortMapFile, Detected };

struct MappedPort {
    int index = -1;
    QString device; // empty when the port leads nowhere
    PortOrigin origin = PortOrigin::Nowhere;
    // The detected port behind the device, when there is one (an ini entry may name
    // a detected port too, by path or by its by-id link).
    std::optional<SerialPortDescription> detected;
    // Whether the device is there: detected, or an ini entry naming an existing file.
    bool present = false;
};

// Detected ports in COM order.
QList<SerialPortDescription> orderDetectedPorts(QList<SerialPortDescription> ports);

class SerialPortMap {
public:
    SerialPortMap() = default;
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
    bool native_ = false; // the system names its ports COMn itself

};

// The map as the machine has it now: FlashWrite.ini at `iniPath` and the scanner's
// ports. `iniError` is set when the ini file exists but cannot be read; the map then
// holds the detected ports only.
struct CurrentPortMap {
    SerialPortMap map;
    QString iniError;
};
CurrentPortMap currentPortMap(const QString& iniPath, const SerialPortScanner& scanner);

// What a port is, for people: "/dev/ttyUSB0 — FT232R USB UART (FTDI)"; "no port" when
// it leads nowhere; an ini entry naming a missing device says so.
QString describePort(const MappedPort& port);
inline const QString NoPortText = QStringLiteral("no port");

// "FlashWrite.ini" or "detected"; empty for a port leading nowhere.
QString portOriginName(PortOrigin origin);

} // namespace tessaly
