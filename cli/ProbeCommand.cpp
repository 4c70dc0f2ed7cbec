// probe and fleet probe: their command lines, what they print and their exit status.
// The probing itself is commissioning's.

#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "cli/ProgressLine.h"
#include "commissioning/ProbeRun.h"
#include "documents/GeneralParameters.h"
#include "documents/ParseInt32.h"
#include "modbus/ModbusProtocol.h"
#include "platform/IcmpEchoes.h"
#include "platform/PathForms.h"
#include "workspace/ProjectList.h"

#include <algorithm>
#include <variant>
#include <vector>

namespace tessaly::cli {

using namespace commissioning;

namespace {

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

// "answer 17", "exception 0x0B ...": a read in a few words, its values included.
QString readCell(const ReadOutcome& read) {
    return read.kind == ReadOutcome::Answer ? readWords(read) + QLatin1Char(' ') + valuesText(read.values)
                                            : readWords(read);
}

void printProbe(QTextStream& out, const ProbeTarget& target, const ProbeReport& report) {
    out << "echo: " << echoWords(report.echo) << " (" << target.host << ", "
        << (report.echo.kind == EchoOutcome::Error ? report.echo.detail
                                                   : QString::number(report.echo.ms) + QStringLiteral(" ms"))
        << ")\n";
    out << "modbus tcp: " << connectionWords(report.connection) << " (" << target.host << ':' << target.port;
    if (!report.connection.detail.isEmpty())
        out << ", " << report.connection.detail;
    out << ")\n";
    const ReadOutcome& read = report.read;
    out << "read: " << readWords(read) << " (unit " << target.unit << ", holding register 0";
    if (read.kind == ReadOutcome::Answer)
        out << " = " << valuesText(read.values);
    else if (!read.detail.isEmpty())
        out << ", " << read.detail;
    out << ')';
    if (read.kind == ReadOutcome::Exception && modbus::isGatewayException(read.exceptionCode))
        out << ": the gateway answers, its RTU side does not";
    out << '\n';
    for (qsizetype i = 0; i < report.table.size(); ++i) {
        const ReadOutcome& row = report.table[i];
        const QString& mnemonic = target.table[i].mnemonic;
        if (row.kind == ReadOutcome::Answer)
            out << mnemonic << " = " << valuesText(row.values) << '\n';
        else
            out << mnemonic << ": " << readWords(row)
                << (row.detail.isEmpty() ? QString() : " (" + row.detail + ')') << '\n';
    }
    if (report.tableNotRead > 0)
        out << report.tableNotRead << (report.tableNotRead == 1 ? " row" : " rows")
            << " not read: " << report.tableStopped << '\n';
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
    const std::vector<ProbeTarget> targets{std::get<ProbeTarget>(std::move(target))};
    const std::unique_ptr<IcmpEchoes> echoes = createSystemIcmpEchoes();
    const std::vector<ProbeReport> reports = probeDevices(targets, *echoes);
    printProbe(context.out, targets.front(), reports.front());
    context.out.flush();
    return reports.front().answered() ? 0 : 1;
}

int runFleetProbe(CliContext& context, QStringList args) {
    const ProbeOptions options = takeProbeOptions(args);
    CliContext::refuseOptions(args);
    if (!args.isEmpty())
        throw UsageError(QStringLiteral("fleet probe takes no arguments"));
    const QStringList names = projectFolderNames(context.workspace.paths());
    // Per project: its target's index, or why there is none (no connection is made then).
    std::vector<std::variant<std::size_t, QString>> rowOf;
    std::vector<ProbeTarget> targets;
    for (const QString& name : names) {
        const QString directory = joinPath(context.workspace.paths().ProjectsDir, name);
        auto target = projectTarget(joinPath(directory, PargenFileName), {}, options, false);
        if (const QString* failure = std::get_if<QString>(&target)) {
            rowOf.emplace_back(*failure);
            continue;
        }
        rowOf.emplace_back(targets.size());
        targets.push_back(std::get<ProbeTarget>(std::move(target)));
    }
    std::vector<ProbeReport> reports;
    {
        ProgressLine progress(context.err, static_cast<int>(targets.size()));
        const std::unique_ptr<IcmpEchoes> echoes = createSystemIcmpEchoes();
        reports = probeDevices(targets, *echoes, [&progress] { progress.advance(); });
    }

    // The table, its columns as wide as their widest cell.
    QList<QStringList> rows{{QStringLiteral("project"), QStringLiteral("echo"), QStringLiteral("modbus tcp"),
                             QStringLiteral("read"), QStringLiteral("address")}};
    int answered = 0;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const auto& row = rowOf[std::size_t(i)];
        if (const QString* failure = std::get_if<QString>(&row)) {
            rows.push_back(
                {names[i], QStringLiteral("-"), QStringLiteral("-"), QStringLiteral("-"), *failure});
            continue;
        }
        const std::size_t index = std::get<std::size_t>(row);
        const ProbeReport& report = reports[index];
        answered += report.answered() ? 1 : 0;
        rows.push_back({names[i], echoWords(report.echo), connectionWords(report.connection),
                        readCell(report.read),
                        targets[index].host + QLatin1Char(':') + QString::number(targets[index].port)});
    }
    std::vector<qsizetype> widths(5, 0);
    for (const QStringList& row : rows)
        for (qsizetype c = 0; c < row.size(); ++c)
            widths[std::size_t(c)] = std::max(widths[std::size_t(c)], row[c].size());
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c + 1 < row.size(); ++c)
            line += row[c].leftJustified(widths[std::size_t(c)] + 2);
        context.out << line << row.last() << '\n';
    }
    context.out << QStringLiteral("%1 of %2 devices answered").arg(answered).arg(names.size()) << Qt::endl;
    return answered == names.size() ? 0 : 1;
}

} // namespace tessaly::cli
