#include "firmware/LineReader.h"

#include <cstring>

namespace tessaly {

namespace {
QByteArrayView withoutCarriageReturn(const char* data, qsizetype size) {
    if (size > 0 && data[size - 1] == '\r')
        --size;
    return QByteArrayView(data, size);
}
} // namespace

LineReader::LineReader(QIODevice& device, qsizetype capacity)
    : device_(device), capacity_(capacity), buffer_(new char[static_cast<size_t>(capacity)]) {}

std::optional<LineReader::Piece> LineReader::next() {
    for (;;) {
        char* const data = buffer_.get();
        const auto* lf = static_cast<const char*>(std::memchr(data + begin_, '\n', size_t(end_ - begin_)));
        if (lf != nullptr) {
            const Piece piece{withoutCarriageReturn(data + begin_, lf - (data + begin_)), !inLine_, true};
            begin_ = lf + 1 - data;
            inLine_ = false;
            return piece;
        }
        if (atEnd_) {
            if (begin_ == end_)
                return std::nullopt;
            const Piece piece{withoutCarriageReturn(data + begin_, end_ - begin_), !inLine_, true};
            begin_ = end_;
            inLine_ = false;
            return piece;
        }
        if (begin_ == 0 && end_ == capacity_) {
            // No line end in a full buffer: hand out all but the last byte, which may
            // be the CR of a CR LF still to come.
            const Piece piece{QByteArrayView(data, capacity_ - 1), !inLine_, false};
            begin_ = capacity_ - 1;
            inLine_ = true;
            return piece;
        }
        if (!refill())
            return std::nullopt;
    }
}

bool LineReader::refill() {
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
