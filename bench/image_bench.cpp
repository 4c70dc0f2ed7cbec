// Times what Update Device does before the firmware dialog: building the image
// from pargen.xml and writing bank1.bin and bankg.c.
// Usage: image_bench [RUNS]   (default 2000)

#include "image/BankFiles.h"
#include "platform/Clock.h"
#include "workspace/ProjectPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr char Pargen[] =
    "<General_Parameter><TCP_IP1>192</TCP_IP1><TCP_IP2>168</TCP_IP2><TCP_IP3>0</TCP_IP3>"
    "<TCP_IP4>10</TCP_IP4><TCP_SUB1>255</TCP_SUB1><TCP_SUB2>255</TCP_SUB2>"
    "<TCP_SUB3>255</TCP_SUB3><TCP_SUB4>0</TCP_SUB4><TCP_GAT1>192</TCP_GAT1>"
    "<TCP_GAT2>168</TCP_GAT2><TCP_GAT3>0</TCP_GAT3><TCP_GAT4>1</TCP_GAT4>"
    "<TCP_PORT>502</TCP_PORT><SNMP_PUBLIC>harbor</SNMP_PUBLIC>"
    "<SNMP_PRIVATE>granite</SNMP_PRIVATE><BAUD>3</BAUD><PARITY>0</PARITY>"
    "<TIME_OUT>1000</TIME_OUT><OFFSET>0</OFFSET><MODE>1</MODE></General_Parameter>";

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 2000;

    QTemporaryDir dir;
    if (!dir.isValid() || !QDir(dir.path()).mkdir(QStringLiteral("bin")))
        return 1;
    tessaly::ProjectPaths paths;
    paths.ProjectDir = dir.path();
    paths.PargenFile = dir.filePath(QStringLiteral("pargen.xml"));
    QFile pargen(paths.PargenFile);
    if (!pargen.open(QIODevice::WriteOnly) || pargen.write(Pargen) < 0)
        return 1;
    pargen.close();

    tessaly::ConfigImage image;
    const tessaly::SystemClock clock;
    std::vector<double> millis;
    millis.reserve(static_cast<std::size_t>(runs));
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        if (const auto failure = tessaly::BuildBankFiles(image, paths, clock)) {
            std::fprintf(stderr, "%s\n", qPrintable(*failure));
            return 1;
        }
        millis.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    double total = 0;
    for (double m : millis)
        total += m;
    std::printf("build + bank1.bin + bankg.c, %d runs: mean %.3f ms, median %.3f ms, p95 %.3f ms, "
                "min %.3f ms (target < 2 ms)\n",
                runs, total / runs, percentile(millis, 0.5), percentile(millis, 0.95),
                *std::min_element(millis.begin(), millis.end()));
    return 0;
}
