#include "platform/StandardStreams.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <initializer_list>
#include <io.h>
#include <windows.h>

namespace tessaly {

namespace {

UINT consoleCodePageBefore = 0;

void restoreConsoleCodePage() {
    std::fflush(nullptr); // what is still buffered is UTF-8 too
    ::SetConsoleOutputCP(consoleCodePageBefore);
}

bool isConsole(std::FILE* stream) {
    DWORD mode = 0;
    return ::GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))), &mode) != 0;
}

} // namespace

void useBinaryStandardStreams() {
    std::fflush(stdout);
    std::fflush(stderr);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    // A console shows bytes in its own output code page (the OEM one, 437 or 850), in
    // which UTF-8 "Café" reads "Caf├⌐": it reads UTF-8 for this run and gets its code
    // page back at the end. The C runtime writes to a console a byte or two at a time,
    // and a character split over two writes would show as two replacement characters:
    // the streams are buffered instead, and each flush hands over whole lines. Pipes and
    // files get the UTF-8 bytes as they are.
    constexpr std::size_t ConsoleBuffer = 1 << 16;
    bool console = false;
    for (std::FILE* stream : {stdout, stderr}) {
        if (isConsole(stream)) {
            std::setvbuf(stream, nullptr, _IOFBF, ConsoleBuffer);
            console = true;
        }
    }
    if (console && consoleCodePageBefore == 0) {
        consoleCodePageBefore = ::GetConsoleOutputCP();
        if (consoleCodePageBefore != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
            std::atexit(restoreConsoleCodePage);
    }
}

} // namespace tessaly
