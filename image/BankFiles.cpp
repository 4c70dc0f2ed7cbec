#include "image/BankFiles.h"

#include "image/BuildConfigImage.h"
#include "platform/AtomicFile.h"
#include "platform/PathForms.h"
#include "workspace/ProjectPaths.h"

#include <cstring>
#include <string_view>

namespace tessaly {

namespace {

constexpr int BytesPerLine = 16;
constexpr int DataLineCount = ConfigImageSize / BytesPerLine;
static_assert(ConfigImageSize % BytesPerLine == 0);

constexpr char FirstPragma[] = "#pragma CONST_SEG SEGMENT0";
constexpr char LastPragma[] = "#pragma CONST_SEG DEFAULT";
constexpr char ArrayHead[] = "const char Bank1 [] = {";
// Deliberately not as wide as the array head: the generated file has always looked so.
constexpr char Continuation[] = "                 ";
constexpr char LineEnd[] = "\r\n";

// Writes `text` at `out` and moves `out` past it.
void put(char*& out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    out += text.size();
}

QString binDirectory(const QString& projectDir) {
    return joinPath(projectDir, BinDirectoryName);
}

} // namespace

QString bankBinPath(const QString& projectDir) {
    return joinPath(binDirectory(projectDir), BankBinFileName);
}

QString bankSourcePath(const QString& projectDir) {
    return joinPath(binDirectory(projectDir), BankSourceFileName);
}

// Written in place into a buffer of the file's fixed size: fleet check renders every
// project's bank to compare it with bankg.c, so this runs a thousand times in a row.
QByteArray renderBankSource(const ConfigImage& image) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    QByteArray text(BankSourceSize, Qt::Uninitialized);
    char* out = text.data();
    put(out, FirstPragma);
    put(out, LineEnd);
    const ConfigImage::Bytes& bytes = image.bytes();
    for (int line = 0; line < DataLineCount; ++line) {
        put(out, line == 0 ? ArrayHead : Continuation);
        for (int column = 0; column < BytesPerLine; ++column) {
            const int offset = line * BytesPerLine + column;
            const std::uint8_t byte = bytes[offset];
            put(out, " 0x");
            *out++ = Digits[byte >> 4];
            *out++ = Digits[byte & 0x0F];
            put(out, offset == ConfigImageSize - 1 ? "};" : ",");
        }
        put(out, LineEnd);
    }
    put(out, LineEnd);
    put(out, LastPragma);
    put(out, LineEnd);
    Q_ASSERT(out == text.data() + BankSourceSize);
    return text;
}

std::optional<QString> WriteBankBin(const ConfigImage& image, const QString& projectDir) {
    return writeFileAtomically(bankBinPath(projectDir), image.toByteArray());
}

std::optional<QString> WriteBankSource(const ConfigImage& image, const QString& projectDir) {
    return writeFileAtomically(bankSourcePath(projectDir), renderBankSource(image));
}

std::optional<QString> BuildBankFiles(ConfigImage& image, const ProjectPaths& paths, const Clock& clock) {
    if (auto failure = BuildConfigImage(image, paths.PargenFile, clock))
        return failure;
    if (auto failure = WriteBankBin(image, paths.ProjectDir))
        return failure;
    return WriteBankSource(image, paths.ProjectDir);
}

} // namespace tessaly
