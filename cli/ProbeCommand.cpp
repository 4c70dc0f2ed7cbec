// probe and fleet probe: does the device answer at its configured address and port,
// and do the reads of its Modbus map come through the gateway?

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/DeviceProbe.h"
#include "cli/ProgressLine.h"
#include "documents/GeneralParameters.h"
#include "documents/ParseInt32.h"
#include "documents/TranslateTable.h"
#include "documents/TranslateTableFile.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/PathForms.h"
#include "workspace/ProjectList.h"

#include <QEventLoop>
#include <QThreadPool>
#include <memory>
#include <variant>
#include <vector>

namespace tessaly::cli {

namespace {
constexpr int DefaultTimeoutMs = 1000;
// Echo clients wait on their threads; more than this many wait in turn.
constexpr int MaxEchoThreads = 256;

const QString TableStoppedMessage = QStringLiteral("The translate table cannot be read: row %1: %2");

struct ProbeOptions {
    int unit = 1;
    int timeoutMs = DefaultTimeoutMs;
};

ProbeOptions takeProbeOptions(QStringList& args) {
    ProbeOptions options;
    if (const auto unit = CliContext::takeOption(args, QStringLiteral("--unit"))) {
        const std::optional<std::int32_t> number = ParseInt32(*unit);
        if (!number || *number < 0 || *number > 255)
            throw UsageError(QStringLiteral("--unit takes 0 to 255, not %1").arg(*unit));
        options.unit = *number;
    }
    if (const auto timeout = CliContext::takeOption(args, QStringLiteral("--timeout"))) {
        const std::optional<std::int32_t> number = ParseInt32(*timeout);
        if (!number || *number < 10)
            throw UsageError(
                QStringLiteral("--timeout takes milliseconds, at least 10, not %1").arg(*timeout));
        options.timeoutMs = *number;
    }
    return options;
}

QString dottedAddress(const GeneralParameters& p) {
    QStringList octets;
    for (const QString* text : {&p.TCP_IP1, &p.TCP_IP2, &p.TCP_IP3, &p.TCP_IP4})
        octets << QString::number(ParseInt32(*text).value_or(0));
    return octets.join(QLatin1Char('.'));
}

QModbusDataUnit::RegisterType registerType(std::uint8_t dataType) {
    switch (dataType) {
    case 1:
        return QModbusDataUnit::Coils;
    case 2:
        return QModbusDataUnit::DiscreteInputs;
    case 4:
        return QModbusDataUnit::InputRegisters;
    default:
        return QModbusDataUnit::HoldingRegisters;
    }
}

// The target a project's documents describe, or why there is none.
std::variant<ProbeTarget, QString> projectTarget(const QString& pargenFile, const QString& varFile,
                                                 const ProbeOptions& options, bool withTable) {
    const LoadedGeneralParameters loaded = ReadGeneralParameters(pargenFile);
    if (!loaded.ok())
        return loaded.error;
    if (const std::optional<QString> refusal = ValidateGeneralParameters(loaded.parameters))
        return *refusal;
    ProbeTarget target;
    target.host = dottedAddress(loaded.parameters);
    target.port = loaded.parameters.TCP_PORT;
    target.unit = options.unit;
    target.timeoutMs = options.timeoutMs;
    if (!withTable)
        return target;
    const LoadedTranslateTable table = LoadTranslateTable(varFile);
    if (!table.problem.isEmpty())
        return table.problem;
    std::vector<TableRow> rows;
    for (const VarRowAttributes& attributes : table.rows)
        rows.push_back(cellsOf(attributes));
    const TableCheck check = ValidateTranslateTable(rows);
    if (!check.ok())
        return TableStoppedMessage.arg(check.failedRow).arg(check.message);
    for (const TMyRec& record : check.records)
        target.table.push_back(
            {record.Mnemonic, registerType(record.DataType), record.TcpAddress, record.NPoint});
    return target;
}

QString echoWords(const ProbeReport& report) {
    switch (report.echo) {
    case ProbeReport::EchoAnswers:
        return QStringLiteral("answers");
    case ProbeReport::EchoNoAnswer:
        return QStringLiteral("no answer");
    case ProbeReport::EchoError:
        return QStringLiteral("error");
    default:
        return QStringLiteral("not sent");
    }
}

QString tcpWords(const ProbeReport& report) {
    switch (report.tcp) {
    case ProbeReport::TcpOpen:
        return QStringLiteral("open");
    case ProbeReport::TcpRefused:
        return QStringLiteral("refused");
    case ProbeReport::TcpTimedOut:
        return QStringLiteral("timed out");
    default:
        return QStringLiteral("failed");
    }
}

QString values(const QList<quint16>& numbers) {
    QStringList texts;
    for (const quint16 number : numbers)
        texts << QString::number(number);
    return texts.join(QLatin1Char(' '));
}

QString exceptionWords(int code) {
    const QString hex = QStringLiteral("0x%1")
                            .arg(code, 2, 16, QLatin1Char('0'))
                            .toUpper()
                            .replace(QLatin1String("0X"), QLatin1String("0x"));
    const std::optional<QString> name = modbusExceptionName(code);
    return QStringLiteral("exception ") + hex + (name ? QLatin1Char(' ') + *name : QString());
}

// A gateway that answers for a silent RTU side says so with one of these.
bool gatewayException(int code) {
    return code == 0x0A || code == 0x0B;
}

QString readWords(const ReadOutcome& outcome) {
    switch (outcome.kind) {
    case ReadOutcome::Answer:
        return QStringLiteral("answer");
    case ReadOutcome::Exception:
        return exceptionWords(outcome.exceptionCode);
    case ReadOutcome::NoAnswer:
        return QStringLiteral("no answer");
    default:
        return QStringLiteral("not sent");
    }
}

// Runs the probes together on one event loop and waits for the last.
void runProbes(const std::vector<std::unique_ptr<DeviceProbe>>& probes, ProgressLine* progress) {
    QEventLoop loop;
    std::size_t left = probes.size();
    for (const auto& probe : probes) {
        QObject::connect(probe.get(), &DeviceProbe::finished, &loop, [&] {
            if (progress)
                progress->advance();
            if (--left == 0)
                loop.quit();
        });
    }
    for (const auto& probe : probes)
        probe->start();
    if (left > 0)
        loop.exec();
}

void printProbe(QTextStream& out, const DeviceProbe& probe, bool withTable) {
    const ProbeTarget& target = probe.target();
    const ProbeReport& report = probe.report();
    out << "echo: " << echoWords(report) << " (" << target.host;
    if (report.echo == ProbeReport::EchoError)
        out << ", " << report.echoDetail;
    else
        out << ", " << report.echoMs << " ms";
    out << ")\n";
    out << "modbus tcp: " << tcpWords(report) << " (" << target.host << ':' << target.port;
    if (!report.tcpDetail.isEmpty())
        out << ", " << report.tcpDetail;
    out << ")\n";
    const ReadOutcome& read = report.read;
    out << "read: " << readWords(read) << " (unit " << target.unit << ", holding register 0";
    if (read.kind == ReadOutcome::Answer)
        out << " = " << values(read.values);
    if (read.kind == ReadOutcome::NoAnswer)
        out << ", " << read.detail;
    out << ')';
    if (read.kind == ReadOutcome::Exception && gatewayException(read.exceptionCode))
        out << ": the gateway answers, its RTU side does not";
    out << '\n';
    if (!withTable)
        return;
    for (qsizetype i = 0; i < target.table.size(); ++i) {
        const ReadOutcome& row = report.table[i];
        if (row.kind == ReadOutcome::Answer)
            out << target.table[i].mnemonic << " = " << values(row.values) << '\n';
        else
            out << target.table[i].mnemonic << ": " << readWords(row) << '\n';
    }
}

std::unique_ptr<QThreadPool> echoThreads(std::size_t probes) {
    auto pool = std::make_unique<QThreadPool>();
    pool->setMaxThreadCount(static_cast<int>(std::clamp<std::size_t>(probes, 1, MaxEchoThreads)));
    return pool;
}
} // namespace

int runProbe(CliContext& context, QStringList args) {
    context.selectProject(args);
    const ProbeOptions options = takeProbeOptions(args);
    const bool withTable = CliContext::takeFlag(args, QStringLiteral("--table"));
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("probe takes no arguments"));
    if (!context.workspace.RequireProject(context.messages))
        return 1;
    const ProjectPaths& paths = context.workspace.paths();
    auto target = projectTarget(paths.PargenFile, paths.VarFile, options, withTable);
    if (const QString* failure = std::get_if<QString>(&target)) {
        context.messages.error(*failure);
        return 1;
    }
    const std::unique_ptr<QThreadPool> threads = echoThreads(1);
    std::vector<std::unique_ptr<DeviceProbe>> probes;
    probes.push_back(std::make_unique<DeviceProbe>(std::get<ProbeTarget>(std::move(target)), *threads));
    runProbes(probes, nullptr);
    threads->waitForDone();
    printProbe(context.out, *probes.front(), withTable);
    context.out.flush();
    return probes.front()->report().tcp == ProbeReport::TcpOpen ? 0 : 1;
}

int runFleetProbe(CliContext& context, QStringList args) {
    const ProbeOptions options = takeProbeOptions(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("fleet probe takes no arguments"));
    const QStringList names = projectFolderNames(context.workspace.paths());
    const std::unique_ptr<QThreadPool> threads = echoThreads(static_cast<std::size_t>(names.size()));
    std::vector<std::unique_ptr<DeviceProbe>> probes;
    std::vector<QString> failures(static_cast<std::size_t>(names.size()));
    std::vector<DeviceProbe*> probeOf(static_cast<std::size_t>(names.size()), nullptr);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString directory = joinPath(context.workspace.paths().ProjectsDir, names[i]);
        auto target = projectTarget(joinPath(directory, PargenFileName), {}, options, false);
        if (const QString* failure = std::get_if<QString>(&target)) {
            failures[static_cast<std::size_t>(i)] = *failure;
            continue;
        }
        probes.push_back(std::make_unique<DeviceProbe>(std::get<ProbeTarget>(std::move(target)), *threads));
        probeOf[static_cast<std::size_t>(i)] = probes.back().get();
    }
    {
        ProgressLine progress(context.err, static_cast<int>(probes.size()));
        runProbes(probes, &progress);
    }
    threads->waitForDone();

    // The table, its columns as wide as their widest cell.
    QList<QStringList> rows{{QStringLiteral("project"), QStringLiteral("echo"), QStringLiteral("modbus tcp"),
                             QStringLiteral("read"), QStringLiteral("address")}};
    int answered = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const DeviceProbe* probe = probeOf[static_cast<std::size_t>(i)];
        if (!probe) {
            rows.push_back({names[i], QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"),
                            failures[static_cast<std::size_t>(i)]});
            continue;
        }
        const ProbeReport& report = probe->report();
        answered += report.tcp == ProbeReport::TcpOpen ? 1 : 0;
        QString read = readWords(report.read);
        if (report.read.kind == ReadOutcome::Answer)
            read += QLatin1Char(' ') + values(report.read.values);
        rows.push_back({names[i], echoWords(report), tcpWords(report), read,
                        probe->target().host + QLatin1Char(':') + QString::number(probe->target().port)});
    }
    std::vector<qsizetype> widths(5, 0);
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[static_cast<std::size_t>(c)] =
                std::max(widths[static_cast<std::size_t>(c)], row[c].size());
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c + 1 < row.size(); ++c)
            line += row[c].leftJustified(widths[static_cast<std::size_t>(c)] + 2);
        context.out << line << row.last() << '\n';
    }
    context.out << QStringLiteral("%1 of %2 devices answered").arg(answered).arg(names.size()) << Qt::endl;
    return answered == names.size() ? 0 : 1;
}

} // namespace tessaly::cli
