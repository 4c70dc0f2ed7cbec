// Writes its raw command line, byte for byte, to the file named by RECORD_COMMAND_LINE
// and ends with exit status 7, so that a test sees exactly what a started program gets.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>

int main() {
    const char* path = std::getenv("RECORD_COMMAND_LINE");
    if (path == nullptr)
        return 2;
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr)
        return 3;
    const char* line = ::GetCommandLineA();
    const bool written = std::fwrite(line, 1, std::strlen(line), file) == std::strlen(line);
    return std::fclose(file) == 0 && written ? 7 : 4;
}
