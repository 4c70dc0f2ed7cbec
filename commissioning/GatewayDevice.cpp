#include "commissioning/GatewayDevice.h"

#include "documents/TranslateTableFile.h"
#include "firmware/FlashPort.h"
#include "firmware/FlashToolCall.h"
#include "image/ImageDescription.h"
#include "modbus/GatewayServer.h"
#include "modbus/SerialRtuLink.h"
#include "modbus/SimulatedRtuLink.h"
#include "modbus/TransactionLog.h"
#include "platform/AtomicFile.h"
#include "platform/PathForms.h"

#include <QDir>
#include <QNetworkInterface>

namespace tessaly::commissioning {

namespace {
const QString BootingText = QStringLiteral("Booting %1:");
const QString ServingText =
    QStringLiteral("Modbus TCP at %1:%2, up to %3 clients, each closed after %4 s without a request");
const QString SerialText = QStringLiteral("Serial side: %1, time-out %2 ms, %3 retries");
const QString NoSerialText = QStringLiteral("Serial side: none, so every request gets exception 0x0A");
const QString TimeoutRaisedText = QStringLiteral(
    "The configured time-out of %1 ms is below the %2 ms an RTU master waits at least: it waits %2 ms");
const QString SerialNotOpenText = QStringLiteral("%1; requests get exception 0x0A until it opens");
const QString RoutingText = QStringLiteral("Routing mode: the unit identifier is the RTU device's address");
const QString NatText = QStringLiteral("NAT mode: %1 rows of %2");
const QString NatWithoutTableText = QStringLiteral(
    "NAT mode without a translate table (--table FILE, or --project): every request gets exception 0x02");
const QString LoaderText = QStringLiteral("Loader on %1 at %2 8N1, waiting for a firmware");
const QString NotLocalText =
    QStringLiteral("%1 is not an address of this machine: serve elsewhere with --listen ADDRESS[:PORT]");
const QString CannotServeText = QStringLiteral("Cannot serve Modbus TCP at %1:%2: %3");
const QString ReceivingText = QStringLiteral("Receiving a firmware on %1");
const QString RefusedText = QStringLiteral("Firmware refused: %1. %2");
const QString KeepsRunningText = QStringLiteral("The running configuration stays.");
const QString NothingRunsText = QStringLiteral("The loader waits for another.");
const QString CannotStoreText = QStringLiteral("The firmware received cannot be stored: %1. %2");
const QString ReceivedText = QStringLiteral("Firmware received on %1 (%2 bytes)");
const QString StoredText = QStringLiteral("Stored as %1");
const QString LostText = QStringLiteral("The flash port failed (%1); it is opened again when it can be");
const QString ReopenedText = QStringLiteral("The flash port %1 is open again");
const QString CannotMakeStateText = QStringLiteral("Cannot make the state folder %1");

QSerialPort::Parity serialParity(Parity parity) {
    switch (parity) {
    case Parity::Odd:
        return QSerialPort::OddParity;
    case Parity::Even:
        return QSerialPort::EvenParity;
    default:
        return QSerialPort::NoParity;
    }
}

QList<modbus::NatRow> natRows(const QList<TMyRec>& records) {
    QList<modbus::NatRow> rows;
    for (const TMyRec& r : records)
        rows.append({modbus::DataTable(r.DataType), r.TcpAddress, r.RtuAddDev, r.RtuAddress, r.NPoint});
    return rows;
}
} // namespace

QString storedFirmwarePath(const QString& stateDir) {
    return joinPath(stateDir, StoredFirmwareName);
}

GatewayDevice::GatewayDevice(GatewayOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    if (options_.simulatedUnits)
        units_ = std::make_unique<modbus::SimulatedUnits>(*options_.simulatedUnits);
}

GatewayDevice::~GatewayDevice() {
    stop();
}

quint16 GatewayDevice::servingPort() const {
    return server_ ? server_->port() : 0;
}

std::optional<QString> GatewayDevice::startLoader() {
    if (!options_.stateDir.isEmpty() && !QDir().mkpath(options_.stateDir))
        return CannotMakeStateText.arg(options_.stateDir);
    if (options_.flashDevice.isEmpty())
        return std::nullopt;
    flashPort_ = std::make_unique<FlashPort>(options_.flashDevice);
    flashPort_->setGap(options_.flashGapMs);
    if (std::optional<QString> failure = flashPort_->open()) {
        flashPort_.reset();
        return failure;
    }
    connect(flashPort_.get(), &FlashPort::started, this,
            [this] { emit said(ReceivingText.arg(options_.flashDevice)); });
    connect(flashPort_.get(), &FlashPort::loaded, this, &GatewayDevice::received);
    connect(flashPort_.get(), &FlashPort::refused, this, [this](const QString& why) {
        emit complained(RefusedText.arg(why, serving() ? KeepsRunningText : NothingRunsText));
    });
    connect(flashPort_.get(), &FlashPort::lost, this,
            [this](const QString& why) { emit complained(LostText.arg(why)); });
    connect(flashPort_.get(), &FlashPort::reopened, this,
            [this] { emit said(ReopenedText.arg(options_.flashDevice)); });
    emit said(LoaderText.arg(options_.flashDevice).arg(FlashLineBaudRate));
    return std::nullopt;
}

std::optional<QString> GatewayDevice::boot(const LoadedFirmware& firmware, const QString& origin) {
    stopSides();
    emit said(BootingText.arg(origin));
    for (const QString& line : describeConfigImage(firmware.image))
        emit said(QStringLiteral("  ") + line);
    return startSides(firmware.configuration);
}

std::optional<QString> GatewayDevice::startSides(const DeviceConfiguration& c) {
    // The mode first: a table that cannot be read keeps the device from serving at all.
    modbus::RequestRouter router = modbus::RequestRouter::routing();
    QString modeLine = RoutingText;
    if (c.mode == OperationMode::Nat) {
        if (options_.tableFile.isEmpty()) {
            router = modbus::RequestRouter::nat({});
            modeLine = NatWithoutTableText;
        } else {
            auto records = readTranslateTableRecords(options_.tableFile);
            if (const QString* failure = std::get_if<QString>(&records))
                return *failure;
            router = modbus::RequestRouter::nat(natRows(std::get<QList<TMyRec>>(records)));
            modeLine = NatText.arg(router.rows()).arg(QDir::toNativeSeparators(options_.tableFile));
        }
    }

    const QHostAddress configured(dottedText(c.ip));
    const QHostAddress address = options_.listenAddress.value_or(configured);
    const quint16 port = options_.listenPort.value_or(c.port);
    if (!options_.listenAddress && !QNetworkInterface::allAddresses().contains(configured))
        return NotLocalText.arg(configured.toString());

    if (c.timeoutMs < modbus::MinRtuTimeoutMs && (units_ || !options_.rtuDevice.isEmpty()))
        emit complained(TimeoutRaisedText.arg(c.timeoutMs).arg(modbus::MinRtuTimeoutMs));
    const int timeout = modbus::rtuTimeoutMs(c.timeoutMs);
    if (units_) {
        link_ = std::make_unique<modbus::SimulatedRtuLink>(*units_, options_.simulateDelayMs, c.timeoutMs,
                                                           options_.retries);
    } else if (!options_.rtuDevice.isEmpty()) {
        auto serial = std::make_unique<modbus::SerialRtuLink>(
            modbus::SerialSettings{options_.rtuDevice, c.baudRate, serialParity(c.parity), options_.stopBits,
                                   c.timeoutMs, options_.retries});
        if (const std::optional<QString> failure = serial->open())
            emit complained(SerialNotOpenText.arg(*failure));
        link_ = std::move(serial);
    } else {
        link_ = std::make_unique<modbus::NoRtuLink>();
    }

    server_ = std::make_unique<modbus::GatewayServer>(*link_, std::move(router));
    server_->setMaxClients(options_.maxClients);
    server_->setIdleTime(options_.idleMs);
    server_->setLogging(options_.log);
    if (options_.log) {
        connect(server_.get(), &modbus::GatewayServer::transaction, this,
                [this](const modbus::Transaction& t) { emit said(modbus::transactionLine(t)); });
        connect(server_.get(), &modbus::GatewayServer::clientEvent, this, &GatewayDevice::said);
    }
    if (const std::optional<QString> failure = server_->listen(address, port)) {
        stopSides();
        return CannotServeText.arg(address.toString()).arg(port).arg(*failure);
    }
    emit said(ServingText.arg(address.toString())
                  .arg(server_->port())
                  .arg(options_.maxClients)
                  .arg(options_.idleMs / 1000.0));
    emit said(units_ || !options_.rtuDevice.isEmpty()
                  ? SerialText.arg(link_->description()).arg(timeout).arg(options_.retries)
                  : NoSerialText);
    emit said(modeLine);
    return std::nullopt;
}

void GatewayDevice::received(const LoadedFirmware& firmware) {
    emit said(ReceivedText.arg(options_.flashDevice).arg(firmware.text.size()));
    if (!options_.stateDir.isEmpty()) {
        const QString path = storedFirmwarePath(options_.stateDir);
        if (const std::optional<QString> failure = writeFileAtomically(path, firmware.text)) {
            emit complained(CannotStoreText.arg(*failure, serving() ? KeepsRunningText : NothingRunsText));
            return;
        }
        emit said(StoredText.arg(QDir::toNativeSeparators(path)));
    }
    if (const std::optional<QString> failure = boot(firmware, QStringLiteral("the firmware received")))
        emit complained(*failure);
}

void GatewayDevice::stopSides() {
    if (server_)
        server_->close();
    server_.reset();
    link_.reset();
}

void GatewayDevice::stop() {
    stopSides();
    flashPort_.reset();
}

} // namespace tessaly::commissioning
