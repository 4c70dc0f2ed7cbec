#pragma once

#include "platform/Messages.h"

#include <QStringList>

namespace tessaly {
struct ProjectPaths;
}

namespace tessaly::cli {

struct CliContext;

// The folders of PROJECTS, in name order (by character code, so the same on every machine).
QStringList fleetProjectNames(const ProjectPaths& paths);

// Keeps what a step would have shown, for the device's result line.
class CollectedMessages final : public Messages {
public:
    void plain(const QString& text) override { texts << text; }
    void error(const QString& text) override { texts << text; }
    QString joined() const { return texts.join(QStringLiteral("; ")); }
    QStringList texts;
};

int runFleetApply(CliContext& context, QStringList args);
int runFleetExport(CliContext& context, QStringList args);
int runFleetCheck(CliContext& context, QStringList args);

} // namespace tessaly::cli
