#pragma once

#include <QByteArray>
#include <QList>

namespace tessaly::fuzz {

// The lines of `text` by the firmware rule, the slow way: a line ends at LF or at the
// end of the text (when something is left), and one CR just before that end is not
// part of it.
inline QList<QByteArray> referenceLines(const QByteArray& text) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const bool lineFeed = end >= 0;
        if (!lineFeed)
            end = text.size();
        QByteArray line = text.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = lineFeed ? end + 1 : end;
    }
    return lines;
}

} // namespace tessaly::fuzz
