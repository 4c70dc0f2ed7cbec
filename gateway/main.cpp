// tessaly-gateway: its command line, what it prints and its exit status. The gateway
// itself is commissioning's GatewayDevice.

#include "app/ProgramVersion.h"
#include "cli/CliContext.h"
#include "firmware/FlashToolCall.h"
#include "gateway/GatewayCommandLine.h"
#include "platform/ProgramDirectory.h"
#include "platform/StandardStreams.h"
#include "platform/StopSignals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <exception>

using namespace tessaly;

namespace {

const QString DoesNotBootText =
    QStringLiteral("\"%1\" does not boot, as a device would stay in its loader: %2");
const QString NothingToBootText =
    QStringLiteral("%1 holds no firmware yet, and without --flash-port none can come: nothing to boot");
const QString WaitingText = QStringLiteral("Nothing to boot yet: %1 holds no firmware");
const QString StoppedText = QStringLiteral("Stopped by %1");

int serve(cli::CliContext& context, const gateway::GatewayRequest& request) {
    commissioning::GatewayDevice device(request.options);
    QObject::connect(&device, &commissioning::GatewayDevice::said,
                     [&context](const QString& line) { context.out << line << Qt::endl; });
    QObject::connect(&device, &commissioning::GatewayDevice::complained,
                     [&context](const QString& line) { context.err << line << Qt::endl; });

    QString path = request.firmware;
    const bool fromState = path.isEmpty();
    if (fromState) {
        path = commissioning::storedFirmwarePath(request.options.stateDir);
        if (!QFileInfo::exists(path)) {
            if (request.options.flashDevice.isEmpty()) {
                context.err << NothingToBootText.arg(request.options.stateDir) << Qt::endl;
                return 1;
            }
            path.clear();
        }
    }
    std::optional<LoadedFirmware> firmware;
    if (!path.isEmpty()) {
        auto loaded = loadFirmwareFile(path);
        if (const QString* refusal = std::get_if<QString>(&loaded)) {
            context.err << DoesNotBootText.arg(path, *refusal) << Qt::endl;
            return 1;
        }
        firmware = std::get<LoadedFirmware>(std::move(loaded));
    }
    if (const std::optional<QString> failure = device.startLoader()) {
        context.err << *failure << Qt::endl;
        return 1;
    }
    if (firmware) {
        if (const std::optional<QString> failure = device.boot(*firmware, path)) {
            context.err << *failure << Qt::endl;
            return 1;
        }
    } else {
        context.out << WaitingText.arg(request.options.stateDir) << Qt::endl;
    }
    onStopSignals(QCoreApplication::instance(), [&device, &context](int signal) {
        device.stop();
        context.out << StoppedText.arg(stopSignalName(signal)) << Qt::endl;
        QCoreApplication::exit(0);
    });
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tessaly-gateway"));
    QCoreApplication::setApplicationVersion(ProgramVersion);
    useBinaryStandardStreams();
    QTextStream out(stdout);
    QTextStream err(stderr);

    const QStringList all = QCoreApplication::arguments();
    const QStringList args = withoutProgramDirOption(all).mid(1);
    if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
        out << gateway::gatewayHelp();
        return 0;
    }
    if (args.contains(QLatin1String("--version"))) {
        out << "tessaly-gateway " << QCoreApplication::applicationVersion() << Qt::endl;
        return 0;
    }
    const ChosenProgramDirectory chosen =
        chooseProgramDirectory(all, QCoreApplication::applicationDirPath(), PerUserLinkedTools);
    if (chosen.failure)
        err << *chosen.failure << Qt::endl;
    try {
        cli::CliContext context(chosen.path);
        const gateway::GatewayRequest request = gateway::parseGatewayArguments(context, args);
        return serve(context, request);
    } catch (const cli::UsageError& usage) {
        err << "tessaly-gateway: " << usage.what() << '\n' << gateway::GatewayUsage << Qt::flush;
        return 2;
    } catch (const std::exception& failure) {
        err << failure.what() << Qt::endl;
        return 1;
    }
}
