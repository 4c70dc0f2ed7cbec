#include "firmware/FlashToolCall.h"

#include "platform/LocalText.h"
#include "platform/PathForms.h"
#include "platform/SystemProgramLauncher.h"

#include <QDir>
#include <QFile>

namespace tessaly {

namespace {

std::optional<QString> pathRefusal(const QString& path) {
    const QString native = QDir::toNativeSeparators(path);
    if (const QString outside = charactersOutsideLocal8Bit(native); !outside.isEmpty())
        return FlashToolPathNotInCodePageMessage.arg(native, outside, local8BitName());
    if (native.size() > LongestProgramPath)
        return FlashToolPathTooLongMessage.arg(native).arg(native.size()).arg(LongestProgramPath);
    return std::nullopt;
}

} // namespace

QString flashToolPath(const QString& programDir) {
    return joinPath(programDir, FlashToolFileName);
}

std::optional<QString> flashToolCallRefusal(const QString& programDir, const QString& firmwarePath) {
    if (auto refusal = pathRefusal(flashToolPath(programDir)))
        return refusal;
    return pathRefusal(firmwarePath);
}

QByteArray flashToolParameter(const QString& outputDirectory, const QString& outputName, int portIndex) {
    return '"' + QFile::encodeName(outputDirectory + outputName) + '"' + FlashToolSeparator +
           QByteArray::number(portIndex);
}

std::optional<QString> undocumentedFlashToolStatus(int status) {
    if (status >= 0 && status <= LastDocumentedFlashToolStatus)
        return std::nullopt;
    // Windows ends a program that cannot start with a status such as 0xC0000135.
    const QString shown = status < 0 ? QStringLiteral("0x") + QString::number(quint32(status), 16).toUpper()
                                     : QString::number(status);
    return FlashToolEndedMessage.arg(shown);
}

} // namespace tessaly
