#include "cli/ProgressLine.h"

#include <QString>
#include <unistd.h>

namespace tessaly::cli {

namespace {
constexpr int BarWidth = 40;
}

ProgressLine::ProgressLine(QTextStream& err, int total)
    : err_(err), total_(total), terminal_(isatty(STDERR_FILENO) == 1 && total > 0) {}

ProgressLine::~ProgressLine() {
    wipe();
}

void ProgressLine::wipe() {
    if (!shown_)
        return;
    err_ << '\r' << QString(BarWidth + 32, QLatin1Char(' ')) << '\r';
    err_.flush();
    shown_ = false;
}

void ProgressLine::advance() {
    ++done_;
    draw();
}

void ProgressLine::draw() {
    if (!terminal_)
        return;
    const int filled = static_cast<int>(static_cast<qint64>(done_) * BarWidth / total_);
    err_ << "\r[" << QString(filled, QLatin1Char('#')) << QString(BarWidth - filled, QLatin1Char(' ')) << "] "
         << done_ << '/' << total_;
    err_.flush();
    shown_ = true;
}

} // namespace tessaly::cli
