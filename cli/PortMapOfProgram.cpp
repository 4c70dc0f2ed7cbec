#include "cli/PortMapOfProgram.h"

#include "cli/CliContext.h"
#include "firmware/FlashToolCall.h"
#include "firmware/SystemSerialPorts.h"

namespace tessaly::cli {

CurrentPortMap programPortMap(const CliContext& context) {
    const SystemSerialPorts system;
    return toolPortMap(flashToolPath(context.workspace.paths().ProgramDir), system);
}

void warnOfPortMapLines(CliContext& context, const CurrentPortMap& current) {
    for (const QString& warning : current.warnings)
        context.err << "Warning: " << warning << Qt::endl;
}

} // namespace tessaly::cli
