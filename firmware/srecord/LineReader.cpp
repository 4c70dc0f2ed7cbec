#include "firmware/srecord/LineReader.h"

#include <cstring>

namespace tessaly {

LineReader::LineReader(QIODevice& device, qsizetype capacity, std::function<void()> beforeRefill)
    : device_(device), capacity_(capacity), beforeRefill_(std::move(beforeRefill)),
      buffer_(new char[static_cast<size_t>(capacity)]) {}

// The piece from begin_ to `lineEnd` (exclusive; a CR before it is dropped from the
// line), with the reader moved on to `next`.
LineReader::Piece LineReader::piece(qsizetype lineEnd, qsizetype next, bool endsLine) {
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

std::optional<LineReader::Piece> LineReader::next() {
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

bool LineReader::refill() {
    if (beforeRefill_)
        beforeRefill_();
    char* const data = buffer_.get();
    std::memmove(data, data + begin_, size_t(end_ - begin_));
    end_ -= begin_;
    begin_ = 0;
    const qint64 read = device_.read(data + end_, capacity_ - end_);
    if (read < 0) {
        failed_ = true;
        return false;
    }
    if (read == 0)
        atEnd_ = true;
    end_ += read;
    return true;
}

std::optional<qint64> countLines(QIODevice& device, qsizetype capacity) {
    std::unique_ptr<char[]> buffer(new char[static_cast<size_t>(capacity)]);
    qint64 lines = 0;
    char last = '\n';
    for (;;) {
        const qint64 read = device.read(buffer.get(), capacity);
        if (read < 0)
            return std::nullopt;
        if (read == 0)
            break;
        const char* at = buffer.get();
        const char* const end = at + read;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)))) != nullptr) {
            ++lines;
            ++at;
        }
        last = end[-1];
    }
    return last == '\n' ? lines : lines + 1;
}

} // namespace tessaly
