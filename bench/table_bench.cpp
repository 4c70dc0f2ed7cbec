// Times the translate table editor on a full table: opening it (load var.xml, fill
// 2000 rows, lay out and paint) and confirming it (check every row and write
// var.xml). Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
//
// Usage: table_bench [REPEATS]

#include "documents/TranslateTableDialog.h"
#include "documents/TranslateTableFile.h"
#include "platform/Messages.h"
#include "workspace/ProjectPaths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

class CountingMessages final : public tessaly::Messages {
public:
    void plain(const QString&) override { ++count; }
    void error(const QString&) override { ++count; }
    int count = 0;
};

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int repeats = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 20;

    using namespace tessaly;
    QTemporaryDir dir;
    ProjectPaths paths;
    paths.ProjectDir = dir.path();
    paths.VarFile = QDir(dir.path()).filePath(QStringLiteral("var.xml"));

    QList<TMyRec> full;
    for (int i = 0; i < TranslateTableRows; ++i)
        full.push_back(TMyRec{static_cast<std::uint8_t>(i % 4 + 1), static_cast<std::uint16_t>(i * 10),
                              static_cast<std::uint8_t>(i % 248 + 1), static_cast<std::uint16_t>(i * 3),
                              static_cast<std::uint8_t>(i % 128), QStringLiteral("POINT_%1").arg(i)});
    if (const auto failure = WriteTranslateTable(paths.VarFile, full)) {
        std::fprintf(stderr, "%s\n", qPrintable(*failure));
        return 1;
    }

    CountingMessages messages;
    TFSetVar dialog(paths, messages);
    std::vector<double> openMs;
    std::vector<double> confirmMs;
    QElapsedTimer timer;
    for (int r = 0; r < repeats; ++r) {
        timer.start();
        dialog.show(); // runs FormShow
        QApplication::processEvents();
        openMs.push_back(timer.nsecsElapsed() / 1e6);

        timer.start();
        dialog.bitbtn1Click();
        confirmMs.push_back(timer.nsecsElapsed() / 1e6);
        if (dialog.isVisible() || dialog.records().size() != TranslateTableRows || messages.count != 0) {
            std::fprintf(stderr, "confirm did not write the full table\n");
            return 1;
        }
    }

    std::printf("rows %d, repeats %d\n", TranslateTableRows, repeats);
    std::printf("open:    median %.2f ms, max %.2f ms (first %.2f ms)\n", median(openMs),
                *std::max_element(openMs.begin(), openMs.end()), openMs.front());
    std::printf("confirm: median %.2f ms, max %.2f ms (first %.2f ms)\n", median(confirmMs),
                *std::max_element(confirmMs.begin(), confirmMs.end()), confirmMs.front());
    return 0;
}
