#include "commissioning/FleetTable.h"

#include "documents/Csv.h"
#include "documents/ParameterAssignment.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/FileSystemNames.h"
#include "platform/PathForms.h"
#include "workspace/NewProject.h"
#include "workspace/ProjectPaths.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <optional>

namespace tessaly {

namespace {
const QString NoProjectColumnMessage = QStringLiteral("The table has no column \"project\".");
const QString ColumnTwiceMessage = QStringLiteral("The column comes twice.");
const QString UnnamedColumnMessage = QStringLiteral("The column has no name.");
const QString SeparatorMessage =
    QStringLiteral("The columns are separated by %1; a fleet table separates them by commas.");
const QString FieldCountMessage = QStringLiteral("The row has %1 fields; the header has %2.");
const QString UnnamedValueMessage = QStringLiteral("The header names no column here.");
const QString ProjectTwiceMessage = QStringLiteral("The project is named in row %1 already.");
const QString SameFolderMessage = QStringLiteral("The project is the folder of row %1 (\"%2\") already.");

// A text as one line: control characters become escapes.
QString shown(const QString& text) {
    QString line;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            line += QLatin1String("\\n");
        else if (c == QLatin1Char('\r'))
            line += QLatin1String("\\r");
        else if (c == QLatin1Char('\t'))
            line += QLatin1String("\\t");
        else if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
                 c.category() == QChar::Separator_Paragraph)
            line += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

// A column's name as a message shows it: in quotes when a blank at its ends or a
// control character would otherwise go unseen.
QString shownColumn(const QString& column) {
    const QString line = shown(column);
    return line == column && column.trimmed() == column ? column : QLatin1Char('"') + line + QLatin1Char('"');
}

struct Column {
    QString key;
    bool project = false;
};

// The row and name that claimed a folder first.
struct Claim {
    int row = 0;
    QString name;
};

class Planner {
public:
    explicit Planner(const ProjectPaths& paths) : paths_(paths) {}

    FleetPlan plan(const QByteArray& csv) {
        const CsvRecords split = readCsv(csv);
        if (!split.ok()) {
            refuse(static_cast<int>(split.faultRecord), columnOfFault(split), {}, split.faultText());
            return std::move(plan_);
        }
        if (split.records.isEmpty() || !readHeader(split.records.first()))
            return std::move(plan_);
        for (qsizetype r = 1; r < split.records.size(); ++r)
            readRow(static_cast<int>(r), split.records[r]);
        return std::move(plan_);
    }

private:
    void refuse(int row, const QString& column, const QString& value, const QString& message) {
        plan_.refusals.push_back({row, column, value, message});
    }

    // A data row's fault is named by its column's name when the header gives one.
    static QString columnOfFault(const CsvRecords& split) {
        const qsizetype field = split.faultField;
        if (split.faultRecord > 0 && field < split.records.first().size() &&
            !split.records.first()[field].isEmpty())
            return split.records.first()[field];
        return QString::number(field + 1);
    }

    // Every column must be a key that `set` knows, and be there once. Spreadsheets end
    // the header with empty cells as wide as the widest row; those name no column.
    bool readHeader(QStringList names) {
        while (!names.isEmpty() && names.last().isEmpty())
            names.removeLast();
        if (!names.contains(FleetProjectColumn)) {
            for (const auto& [separator, name] : {std::pair{QLatin1Char(';'), QStringLiteral("\";\"")},
                                                  std::pair{QLatin1Char('\t'), QStringLiteral("tabs")}}) {
                if (std::any_of(names.begin(), names.end(),
                                [&](const QString& n) { return n.contains(separator); })) {
                    refuse(0, {}, {}, SeparatorMessage.arg(name));
                    return false;
                }
            }
        }
        const auto refusalsBefore = plan_.refusals.size();
        int projectColumns = 0;
        for (const QString& name : names) {
            Column& column = columns_.emplace_back();
            const auto index = static_cast<qsizetype>(columns_.size()) - 1;
            column.key = name;
            column.project = name == FleetProjectColumn;
            projectColumns += column.project ? 1 : 0;
            if (name.isEmpty()) {
                refuse(0, QString::number(index + 1), {}, UnnamedColumnMessage);
                continue;
            }
            if (names.indexOf(name) != index) {
                refuse(0, name, {}, ColumnTwiceMessage);
                continue;
            }
            if (column.project)
                continue;
            // A known key may refuse the empty value: that is not what this asks about.
            if (const ParameterAssignment known = parameterAssignment(name, QString()); known.unknownKey)
                refuse(0, name, {}, known.error);
        }
        if (projectColumns == 0)
            refuse(0, {}, {}, NoProjectColumnMessage);
        return plan_.refusals.size() == refusalsBefore;
    }

    void readRow(int row, const QStringList& fields) {
        if (isBlankCsvRecord(fields))
            return; // an empty line, or a row a spreadsheet left blank
        if (fields.size() < static_cast<qsizetype>(columns_.size())) {
            refuse(row, {}, {}, FieldCountMessage.arg(fields.size()).arg(columns_.size()));
            return;
        }
        for (qsizetype c = static_cast<qsizetype>(columns_.size()); c < fields.size(); ++c) {
            if (!fields[c].isEmpty()) {
                refuse(row, QString::number(c + 1), fields[c], UnnamedValueMessage);
                return;
            }
        }
        const auto refusalsBefore = plan_.refusals.size();
        FleetDevice device;
        device.row = row;
        std::vector<Assignment> assignments;
        for (std::size_t c = 0; c < columns_.size(); ++c) {
            const QString& value = fields[static_cast<qsizetype>(c)];
            if (columns_[c].project)
                device.name = value;
            else if (!value.isEmpty())
                checkCell(row, columns_[c].key, value, assignments);
        }
        if (!readProject(device))
            return;
        for (const Assignment& assign : assignments)
            assign(device.parameters);
        if (plan_.refusals.size() != refusalsBefore)
            return;
        // A value kept from the project can still be out of range.
        if (const std::optional<QString> refusal = ValidateGeneralParameters(device.parameters)) {
            refuse(row, FleetProjectColumn, device.name, *refusal);
            return;
        }
        const std::optional<QByteArray> document = generalParametersDocument(device.parameters);
        if (!document) {
            refuse(row, FleetProjectColumn, device.name, UnwritableCharacterReason);
            return;
        }
        device.document = *document;
        plan_.devices.push_back(std::move(device));
    }

    // One cell, as `set` would take it, checked on a new project's values so that the
    // message names this cell's fault and no other.
    void checkCell(int row, const QString& key, const QString& value, std::vector<Assignment>& assignments) {
        ParameterAssignment parsed = parameterAssignment(key, value);
        if (!parsed.ok()) {
            refuse(row, key, value, parsed.error);
            return;
        }
        GeneralParameters alone;
        parsed.assign(alone);
        if (const std::optional<QString> refusal = ValidateGeneralParameters(alone))
            refuse(row, key, value, *refusal);
        else if (!generalParametersDocument(alone))
            refuse(row, key, value, UnwritableCharacterReason);
        else
            assignments.push_back(std::move(parsed.assign));
    }

    // The project's name by New project's rules and the file system's, its folder, and
    // the values it holds now.
    bool readProject(FleetDevice& device) {
        if (const std::optional<QString> refusal = projectNameRefusal(paths_.ProjectsDir, device.name)) {
            refuse(device.row, FleetProjectColumn, device.name, *refusal);
            return false;
        }
        if (const auto earlier = rowOfProject_.constFind(device.name); earlier != rowOfProject_.constEnd()) {
            refuse(device.row, FleetProjectColumn, device.name, ProjectTwiceMessage.arg(*earlier));
            return false;
        }
        rowOfProject_.insert(device.name, device.row);
        const QString directory = joinPath(paths_.ProjectsDir, device.name);
        const QFileInfo info(directory);
        // A link that leads nowhere is there all the same: New project could not make it.
        device.isNew = !info.exists() && !info.isSymLink();
        if (!device.isNew && !info.isDir()) {
            refuse(device.row, FleetProjectColumn, device.name, NameExistsMessage);
            return false;
        }
        if (!claimFolder(device, directory))
            return false;
        if (device.isNew)
            return true;
        const LoadedGeneralParameters loaded = ReadGeneralParameters(joinPath(directory, PargenFileName));
        if (!loaded.ok()) {
            refuse(device.row, FleetProjectColumn, device.name, loaded.error);
            return false;
        }
        device.parameters = loaded.parameters;
        return true;
    }

    // Two rows must not write one folder: an existing folder is known by what it is
    // (so a link and its target are one), a new one by its name as the volume compares
    // names.
    bool claimFolder(const FleetDevice& device, const QString& directory) {
        QString key;
        if (!device.isNew) {
            const std::optional<FileIdentity> identity = fileIdentity(directory);
            key = identity ? QStringLiteral("id:%1:%2").arg(identity->volume).arg(identity->index)
                           : QStringLiteral("path:") + QFileInfo(directory).canonicalFilePath();
        } else {
            if (!foldsCase_)
                foldsCase_ = directoryFoldsCase(paths_.ProjectsDir);
            key = QStringLiteral("new:") +
                  (*foldsCase_ ? device.name.normalized(QString::NormalizationForm_C).toCaseFolded()
                               : device.name);
        }
        if (const auto earlier = folderClaims_.constFind(key); earlier != folderClaims_.constEnd()) {
            refuse(device.row, FleetProjectColumn, device.name,
                   SameFolderMessage.arg(earlier->row).arg(shown(earlier->name)));
            return false;
        }
        folderClaims_.insert(key, {device.row, device.name});
        return true;
    }

    const ProjectPaths& paths_;
    FleetPlan plan_;
    std::vector<Column> columns_;
    QHash<QString, int> rowOfProject_;
    QHash<QString, Claim> folderClaims_;
    std::optional<bool> foldsCase_;
};
} // namespace

QString describeRefusal(const FleetRefusal& refusal) {
    QString line = refusal.row == 0 ? QStringLiteral("header") : QStringLiteral("row %1").arg(refusal.row);
    if (!refusal.column.isEmpty())
        line += QStringLiteral(", column %1").arg(shownColumn(refusal.column));
    if (!refusal.value.isEmpty())
        line += QStringLiteral(", value \"%1\"").arg(shown(refusal.value));
    return line + QStringLiteral(": ") + refusal.message;
}

FleetPlan planFleet(const QByteArray& csv, const ProjectPaths& paths) {
    return Planner(paths).plan(csv);
}

} // namespace tessaly
