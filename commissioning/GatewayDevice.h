#pragma once

#include "firmware/FirmwareLoader.h"
#include "modbus/SimulatedUnits.h"

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <memory>
#include <optional>

namespace tessaly {
class FlashPort;
namespace modbus {
class GatewayServer;
class RtuLink;
struct Transaction;
} // namespace modbus
} // namespace tessaly

namespace tessaly::commissioning {

// What the gateway is told besides its firmware.
struct GatewayOptions {
    // Where to serve instead of the configured address (and port, when given).
    std::optional<QHostAddress> listenAddress;
    std::optional<quint16> listenPort;
    int maxClients = 32;
    int idleMs = 60000;
    QString rtuDevice; // the serial side's port; empty: none, unless simulated
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    int retries = 0;
    std::optional<QList<int>> simulatedUnits;
    int simulateDelayMs = 0;
    QString flashDevice; // the loader's port; empty: none
    int flashGapMs = 5000;
    QString stateDir;  // where received firmwares are kept; empty: nowhere
    QString tableFile; // the translate table for NAT mode; empty: none
    bool log = false;
};

// The file in the state folder that holds the firmware received last.
inline const QString StoredFirmwareName = QStringLiteral("firmware.sx");

// The gateway, booted from a firmware: its network side (a Modbus TCP server at the
// configured address and port), its serial side (a port, simulated units, or none),
// and its loader on the flash port. A firmware the loader takes is stored in the state
// folder and booted: both sides start again with its configuration. What it reports
// comes as said() lines (for standard output) and complained() lines (standard error).
class GatewayDevice : public QObject {
    Q_OBJECT
public:
    explicit GatewayDevice(GatewayOptions options, QObject* parent = nullptr);
    ~GatewayDevice() override;

    // Opens the flash port and, with a state folder, makes it. Why not, or nothing.
    std::optional<QString> startLoader();
    // Runs `firmware`, named `origin` in what is printed: prints its configuration and
    // starts both sides. Why the network side cannot start, or nothing; the loader
    // goes on either way.
    std::optional<QString> boot(const LoadedFirmware& firmware, const QString& origin);
    // Closes the clients, the server and the ports.
    void stop();

    bool serving() const { return server_ != nullptr; }
    quint16 servingPort() const;

signals:
    void said(const QString& line);
    void complained(const QString& line);

private:
    void received(const LoadedFirmware& firmware);
    void stopSides();
    std::optional<QString> startSides(const DeviceConfiguration& configuration);

    GatewayOptions options_;
    std::unique_ptr<modbus::SimulatedUnits> units_; // outlive boots: they are the bus's devices
    std::unique_ptr<modbus::RtuLink> link_;
    std::unique_ptr<modbus::GatewayServer> server_;
    std::unique_ptr<FlashPort> flashPort_;
};

// The firmware a state folder holds, or nothing when it holds none.
QString storedFirmwarePath(const QString& stateDir);

} // namespace tessaly::commissioning
