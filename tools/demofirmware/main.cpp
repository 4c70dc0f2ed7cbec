// demofirmware OUTPUT: writes the demo reference firmware to OUTPUT, creating its
// folder. A file at OUTPUT that is not a demo firmware is the user's real reference
// firmware and is kept as it is.

#include "tools/demofirmware/DemoFirmware.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

using namespace tessaly::tools;

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demofirmware OUTPUT\n");
        return 2;
    }
    const QString output = QFile::decodeName(argv[1]);
    const QByteArray firmware = demoFirmware();

    QFile existing(output);
    if (existing.open(QIODevice::ReadOnly)) {
        const QByteArray content = existing.readAll();
        existing.close(); // Windows replaces no file that is still open
        if (content == firmware)
            return 0;
        if (!isDemoFirmware(content)) {
            std::fprintf(stdout, "Keeping %s: it is not the demo firmware\n", argv[1]);
            return 0;
        }
    }

    QSaveFile file(output);
    if (!QDir().mkpath(QFileInfo(output).absolutePath()) ||
        !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(firmware) != firmware.size() ||
        !file.commit()) {
        std::fprintf(stderr, "Cannot write %s: %s\n", argv[1], qPrintable(file.errorString()));
        return 1;
    }
    return 0;
}
