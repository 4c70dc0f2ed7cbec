#include "image/BankFiles.h"

#include "image/BuildConfigImage.h"
#include "platform/AtomicFile.h"
#include "platform/PathForms.h"
#include "workspace/ProjectPaths.h"

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

void appendHex(QByteArray& text, std::uint8_t byte) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    text.append(" 0x");
    text.append(Digits[byte >> 4]);
    text.append(Digits[byte & 0x0F]);
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

QByteArray renderBankSource(const ConfigImage& image) {
    QByteArray text;
    text.reserve(BankSourceSize);
    text.append(FirstPragma).append(LineEnd);
    const ConfigImage::Bytes& bytes = image.bytes();
    for (int line = 0; line < DataLineCount; ++line) {
        text.append(line == 0 ? ArrayHead : Continuation);
        for (int column = 0; column < BytesPerLine; ++column) {
            const int offset = line * BytesPerLine + column;
            appendHex(text, bytes[offset]);
            text.append(offset == ConfigImageSize - 1 ? "};" : ",");
        }
        text.append(LineEnd);
    }
    text.append(LineEnd);
    text.append(LastPragma).append(LineEnd);
    Q_ASSERT(text.size() == BankSourceSize);
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
