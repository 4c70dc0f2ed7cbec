#include "cli/CliContext.h"
#include "cli/CommandTable.h"
#include "platform/AtomicFile.h"
#include "image/BankWindowReader.h"
#include "image/ImageDescription.h"

#include <QDir>
#include <QFile>

namespace tessaly::cli {

namespace {

const QString NotAnImageMessage =
    QStringLiteral("\"%1\" is neither a configuration image of 16384 bytes nor an S-record firmware file.");

} // namespace

int runInspect(CliContext& context, QStringList args) {
    CliContext::refuseOptions(args);
    if (args.size() != 1)
        throw UsageError(QStringLiteral("inspect takes one file"));
    const QString path = args.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        context.messages.error(cannotOpenFileMessage(path, file.errorString()));
        return 1;
    }
    const QByteArray content = file.readAll();

    std::optional<ConfigImage> image;
    if (looksLikeSRecords(content)) {
        const BankWindowRead window = readBank1Window(content, path);
        if (!window.ok()) {
            context.messages.error(window.error);
            return 1;
        }
        image = ConfigImage::fromBytes(window.bytes);
    } else {
        image = ConfigImage::fromBytes(content);
    }
    if (!image) {
        context.messages.error(NotAnImageMessage.arg(QDir::toNativeSeparators(path)));
        return 1;
    }
    for (const QString& line : describeConfigImage(*image))
        context.out << line << '\n';
    context.out.flush();
    return 0;
}

} // namespace tessaly::cli
