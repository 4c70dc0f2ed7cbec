#include "tools/flashwrite/FlashWriteCall.h"
#include "tools/flashwrite/FlashWritePlatform.h"

#include <windows.h>

namespace tessaly::flashwrite {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
} // namespace

std::optional<QByteArray> commandParameter(int, char*[]) {
    // The program name is quoted (up to the next quote) or ends at the first blank;
    // the blanks after it separate it from the parameter string.
    const char* line = ::GetCommandLineA();
    if (*line == '"') {
        ++line;
        while (*line != '\0' && *line != '"')
            ++line;
        if (*line == '"')
            ++line;
    } else {
        while (*line != '\0' && !isBlank(*line))
            ++line;
    }
    while (isBlank(*line))
        ++line;
    if (*line == '\0')
        return std::nullopt;
    return QByteArray(line);
}

QString defaultSerialDevice(int portIndex) {
    return portName(portIndex);
}

} // namespace tessaly::flashwrite
