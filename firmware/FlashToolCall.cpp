#include "firmware/FlashToolCall.h"

#include "platform/PathForms.h"

#include <QFile>

namespace tessaly {

QString flashToolPath(const QString& programDir) {
    return joinPath(programDir, FlashToolFileName);
}

QByteArray flashToolParameter(const QString& outputDirectory, const QString& outputName, int portIndex) {
    return '"' + QFile::encodeName(outputDirectory + outputName) + '"' + FlashToolSeparator +
           QByteArray::number(portIndex);
}

} // namespace tessaly
