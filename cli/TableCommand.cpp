#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "platform/AtomicFile.h"
#include "documents/TranslateTableCsv.h"
#include "documents/TranslateTableFile.h"

#include <QFile>
#include <algorithm>
#include <cstdio>

namespace tessaly::cli {

namespace {
const QString RowFailureMessage = QStringLiteral("Row %1: %2");
const QString IgnoredRowsMessage = QStringLiteral(
    "Rows from row %1 on are not imported: row %1 has an empty \"Address TCP\" and ends the table.");
const QString TooManyRowsMessage =
    QStringLiteral("The file holds %1 rows; the translate table holds at most %2. Nothing is imported.");
const QString NotExportedNote = QStringLiteral(" Nothing is exported.");

bool isEmptyRow(const TableRow& row) {
    return std::all_of(row.begin(), row.end(), [](const QString& cell) { return cell.isEmpty(); });
}

int exportTable(CliContext& context) {
    const LoadedTranslateTable loaded = LoadTranslateTable(context.workspace.paths().VarFile);
    // A table that could not be read whole would be exported half: refuse instead.
    if (!loaded.problem.isEmpty()) {
        context.messages.error(loaded.reason + NotExportedNote);
        return 1;
    }
    QList<TableRow> rows;
    rows.reserve(loaded.rows.size());
    for (const VarRowAttributes& attributes : loaded.rows)
        rows.push_back(cellsOf(attributes));
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly) || out.write(TranslateTableCsv(rows)) < 0 || !out.flush()) {
        context.messages.error(out.errorString());
        return 1;
    }
    return 0;
}

int importTable(CliContext& context, const QString& csvFile) {
    const CsvFile file = readCsvFile(csvFile);
    if (!file.ok()) {
        context.messages.error(file.error);
        return 1;
    }
    const CsvTable csv = TranslateTableFromCsv(file.bytes);
    if (!csv.ok()) {
        context.messages.error(csvFile + QStringLiteral(": ") + csv.error);
        return 1;
    }
    // The table editor holds 2000 rows; empty rows after the last filled one are not data.
    const auto filled = std::find_if_not(csv.rows.rbegin(), csv.rows.rend(), isEmptyRow);
    if (const auto dataRows = csv.rows.rend() - filled; dataRows > TranslateTableRows) {
        context.messages.error(TooManyRowsMessage.arg(dataRows).arg(TranslateTableRows));
        return 1;
    }
    // The same checks as the table editor's OK; the pre-check's message names its line.
    if (const TableCheck names = CheckDataTypeNames(csv.rows); !names.ok()) {
        context.messages.error(names.message);
        return 1;
    }
    const TableCheck check = ValidateTranslateTable(csv.rows);
    if (!check.ok()) {
        context.messages.error(RowFailureMessage.arg(check.failedRow).arg(check.message));
        return 1;
    }
    const auto taken = check.records.size();
    const bool laterRowsFilled = std::any_of(csv.rows.begin() + taken, csv.rows.end(),
                                             [](const TableRow& row) { return !isEmptyRow(row); });
    if (const std::optional<QString> failure =
            WriteTranslateTable(context.workspace.paths().VarFile, check.records)) {
        context.messages.error(*failure);
        return 1;
    }
    if (laterRowsFilled)
        context.messages.plain(IgnoredRowsMessage.arg(taken + 1));
    return 0;
}
} // namespace

int runTable(CliContext& context, QStringList args) {
    context.selectProject(args);
    CliContext::refuseOptions(args);
    if (args.isEmpty())
        throw UsageError(QStringLiteral("table needs export or import"));
    const QString action = args.takeFirst();
    if (action == QLatin1String("export")) {
        if (!args.isEmpty())
            throw UsageError(QStringLiteral("export takes no file"));
        if (!context.workspace.RequireProject(context.messages))
            return 1;
        return exportTable(context);
    }
    if (action == QLatin1String("import")) {
        if (args.size() != 1)
            throw UsageError(QStringLiteral("import takes one CSV file"));
        if (!context.workspace.RequireProject(context.messages))
            return 1;
        return importTable(context, args.first());
    }
    throw UsageError(QStringLiteral("unknown table action %1").arg(action));
}

} // namespace tessaly::cli
