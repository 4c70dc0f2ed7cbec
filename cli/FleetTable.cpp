#include "cli/FleetTable.h"

#include "cli/ParameterAssignment.h"
#include "documents/Csv.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/PathForms.h"
#include "workspace/NewProject.h"
#include "workspace/ProjectPaths.h"

#include <QFileInfo>
#include <QHash>

namespace tessaly::cli {

namespace {
const QString NoProjectColumnMessage = QStringLiteral("The table has no column \"project\".");
const QString ColumnTwiceMessage = QStringLiteral("The column comes twice.");
const QString FieldCountMessage = QStringLiteral("The row has %1 fields; the header has %2.");
const QString ProjectTwiceMessage = QStringLiteral("The project is named in row %1 already.");

struct Column {
    QString key;
    bool project = false;
};

class Planner {
public:
    explicit Planner(const ProjectPaths& paths) : paths_(paths) {}

    FleetPlan plan(const QByteArray& csv) {
        const std::optional<QString> text = csvText(csv);
        if (!text) {
            refuse(0, {}, {}, CsvNotUtf8Message);
            return std::move(plan_);
        }
        const CsvRecords split = splitCsvRecords(*text);
        if (!split.ok()) {
            refuse(0, {}, {}, split.error);
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

    // Every column must be a key that `set` knows, and be there once.
    bool readHeader(const QStringList& names) {
        const auto refusalsBefore = plan_.refusals.size();
        int projectColumns = 0;
        for (const QString& name : names) {
            Column& column = columns_.emplace_back();
            column.key = name;
            column.project = name == FleetProjectColumn;
            projectColumns += column.project ? 1 : 0;
            if (names.count(name) > 1 && names.indexOf(name) != static_cast<qsizetype>(columns_.size()) - 1) {
                refuse(0, name, {}, ColumnTwiceMessage);
                continue;
            }
            if (column.project)
                continue;
            try {
                parameterAssignment(name, QString());
            } catch (const UnknownKeyError& unknown) {
                refuse(0, name, {}, QString::fromStdString(unknown.what()));
            } catch (const UsageError&) {
                // A known key; the empty value is not what this asks about.
            }
        }
        if (projectColumns == 0)
            refuse(0, {}, {}, NoProjectColumnMessage);
        return plan_.refusals.size() == refusalsBefore;
    }

    void readRow(int row, const QStringList& fields) {
        if (fields.size() == 1 && fields.first().isEmpty())
            return; // an empty line
        if (fields.size() != static_cast<qsizetype>(columns_.size())) {
            refuse(row, {}, {}, FieldCountMessage.arg(fields.size()).arg(columns_.size()));
            return;
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
        Assignment assign;
        try {
            assign = parameterAssignment(key, value);
        } catch (const UsageError& refused) {
            refuse(row, key, value, QString::fromStdString(refused.what()));
            return;
        }
        GeneralParameters alone;
        assign(alone);
        if (const std::optional<QString> refusal = ValidateGeneralParameters(alone))
            refuse(row, key, value, *refusal);
        else if (!generalParametersDocument(alone))
            refuse(row, key, value, UnwritableCharacterReason);
        else
            assignments.push_back(std::move(assign));
    }

    // The project's name by New project's rules, and the values it holds now.
    bool readProject(FleetDevice& device) {
        if (!isUsableProjectName(device.name)) {
            refuse(device.row, FleetProjectColumn, device.name, NameNotValidMessage);
            return false;
        }
        if (const auto earlier = rowOfProject_.constFind(device.name); earlier != rowOfProject_.constEnd()) {
            refuse(device.row, FleetProjectColumn, device.name, ProjectTwiceMessage.arg(*earlier));
            return false;
        }
        rowOfProject_.insert(device.name, device.row);
        const QString directory = joinPath(paths_.ProjectsDir, device.name);
        const QFileInfo info(directory);
        device.isNew = !info.exists();
        if (device.isNew)
            return true;
        if (!info.isDir()) {
            refuse(device.row, FleetProjectColumn, device.name, NameExistsMessage);
            return false;
        }
        const LoadedGeneralParameters loaded = ReadGeneralParameters(joinPath(directory, PargenFileName));
        if (!loaded.ok()) {
            refuse(device.row, FleetProjectColumn, device.name, loaded.error);
            return false;
        }
        device.parameters = loaded.parameters;
        return true;
    }

    const ProjectPaths& paths_;
    FleetPlan plan_;
    std::vector<Column> columns_;
    QHash<QString, int> rowOfProject_;
};
} // namespace

FleetPlan planFleet(const QByteArray& csv, const ProjectPaths& paths) {
    return Planner(paths).plan(csv);
}

} // namespace tessaly::cli
