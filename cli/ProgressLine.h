#pragma once

#include <QTextStream>

namespace tessaly::cli {

// A bar on standard error that counts devices done, drawn only when standard error is
// a terminal; a pipe or a file gets the result lines alone. The bar is wiped before
// each result line so that the two never share a line.
class ProgressLine {
public:
    ProgressLine(QTextStream& err, int total);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Before a line goes to standard output or error.
    void wipe();
    // One more device done.
    void advance();

private:
    void draw();

    QTextStream& err_;
    const int total_;
    int done_ = 0;
    bool shown_ = false;
    bool terminal_;
};

} // namespace tessaly::cli
