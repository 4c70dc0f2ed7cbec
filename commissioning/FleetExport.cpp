#include "commissioning/FleetExport.h"

#include "commissioning/FleetTable.h"
#include "documents/Csv.h"
#include "documents/GeneralParameters.h"
#include "platform/PathForms.h"
#include "workspace/ProjectList.h"
#include "workspace/ProjectPaths.h"

namespace tessaly {

FleetExport exportFleet(const ProjectPaths& paths) {
    FleetExport exported;
    QString text = FleetProjectColumn;
    for (const QString& element : GeneralParameterElements)
        text += QLatin1Char(',') + element;
    text += CsvLineEnd;
    for (const QString& name : projectFolderNames(paths)) {
        const LoadedGeneralParameters loaded =
            ReadGeneralParameters(joinPath(joinPath(paths.ProjectsDir, name), PargenFileName));
        if (!loaded.ok()) {
            exported.errors << loaded.error;
            continue;
        }
        text += csvField(name);
        for (const auto& [element, value] : generalParameterTexts(loaded.parameters))
            text += QLatin1Char(',') + csvField(value);
        text += CsvLineEnd;
    }
    exported.csv = text.toUtf8();
    return exported;
}

} // namespace tessaly
