#pragma once

#include "documents/GeneralParameters.h"
#include "firmware/ComposeFirmware.h"
#include "platform/Messages.h"
#include "workspace/Workspace.h"

#include <QString>
#include <optional>

namespace tessaly {

// The steps `new` and `compose` take for one project, shared by the command line and
// the fleet commands.

// New project's work: creates `name` in PROJECTS with the default documents and makes
// it the current project; `parameters` go to its pargen.xml (New project's defaults
// unless given). False after the reason went to `messages`.
bool createProject(Workspace& workspace, Messages& messages, const QString& name,
                   const GeneralParameters& parameters = GeneralParameters{});

// The compose pass's names for a project, as the firmware dialog sets them.
struct ComposeRequest {
    QString reference; // absolute path
    bool fromMaster = false;
    MergeSettings settings;
};
ComposeRequest composeRequest(const ProjectPaths& paths, const std::optional<QString>& reference,
                              const std::optional<QString>& output);

// The compose pass and the check of its result. `cleared` when the new firmware holds
// bank 1 byte for byte; otherwise every reason went to `messages`.
struct ComposeRun {
    ComposeOutcome outcome;
    bool cleared = false;
};
ComposeRun composeFirmware(const ComposeRequest& request, Messages& messages);

} // namespace tessaly
