#pragma once

#include <QByteArrayView>
#include <QIODevice>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>

namespace tessaly {

// Splits a text file into lines through one fixed buffer, so that memory stays the
// same whatever the file's size. A line ends at LF or CR LF (the last one may lack
// it); the line end is not part of the line. A line longer than the buffer comes in
// several pieces, only the first with `startsLine` and only the last with `endsLine`.
// Pieces point into the buffer: they stay valid until the buffer is refilled, and
// `beforeRefill` is called just before that happens.
class LineReader {
public:
    static constexpr qsizetype DefaultCapacity = qsizetype(1) << 18;

    struct Piece {
        QByteArrayView bytes; // without the line end
        QByteArrayView raw;   // the same bytes followed by the line end as read
        bool startsLine = true;
        bool endsLine = true;
    };

    explicit LineReader(QIODevice& device, qsizetype capacity = DefaultCapacity,
                        std::function<void()> beforeRefill = {});

    // The next piece, or nothing at the end of the input or on a read error.
    std::optional<Piece> next();
    bool failed() const { return failed_; }

private:
    bool refill();
    Piece piece(qsizetype lineEnd, qsizetype next, bool endsLine);

    QIODevice& device_;
    qsizetype capacity_;
    std::function<void()> beforeRefill_;
    std::unique_ptr<char[]> buffer_;
    qsizetype begin_ = 0; // unread bytes lie in [begin_, end_)
    qsizetype end_ = 0;
    bool atEnd_ = false;
    bool failed_ = false;
    bool inLine_ = false; // a piece of the current line has been handed out
};

// The piece from begin_ to `lineEnd` (exclusive; a CR before it is dropped from the
// line), with the reader moved on to `next`.
// Inline: every line of a firmware passes here.
inline LineReader::Piece LineReader::piece(qsizetype lineEnd, qsizetype next, bool endsLine) {
    const char* const data = buffer_.get();
    qsizetype size = lineEnd - begin_;
    if (endsLine && size > 0 && data[lineEnd - 1] == '\r')
        --size;
    const Piece piece{QByteArrayView(data + begin_, size), QByteArrayView(data + begin_, next - begin_),
                      !inLine_, endsLine};
    begin_ = next;
    inLine_ = !endsLine;
    return piece;
}

inline std::optional<LineReader::Piece> LineReader::next() {
    for (;;) {
        const char* const data = buffer_.get();
        const auto* lf = static_cast<const char*>(std::memchr(data + begin_, '\n', size_t(end_ - begin_)));
        if (lf != nullptr)
            return piece(lf - data, lf - data + 1, true);
        if (atEnd_)
            return begin_ == end_ ? std::nullopt : std::optional(piece(end_, end_, true));
        // No line end in a full buffer: hand out all but the last byte, which may be
        // the CR of a CR LF still to come.
        if (begin_ == 0 && end_ == capacity_)
            return piece(capacity_ - 1, capacity_ - 1, false);
        if (!refill())
            return std::nullopt;
    }
}

// The lines of a text in memory by the same rule, numbered from 1, each given to
// `take(line, number)` until it returns false. Returns whether every line was taken.
template <typename Take> bool forEachLine(QByteArrayView text, Take take) {
    const char* at = text.data();
    const char* const end = at + text.size();
    for (qint64 number = 1; at < end; ++number) {
        const auto* lf = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
        const char* lineEnd = lf != nullptr ? lf : end;
        const char* const next = lf != nullptr ? lf + 1 : end;
        if (lineEnd > at && lineEnd[-1] == '\r')
            --lineEnd;
        if (!take(QByteArrayView(at, lineEnd - at), number))
            return false;
        at = next;
    }
    return true;
}

// The number of lines LineReader would hand out for `device`, read to its end; nothing
// on a read error.
std::optional<qint64> countLines(QIODevice& device, qsizetype capacity = LineReader::DefaultCapacity);

} // namespace tessaly
