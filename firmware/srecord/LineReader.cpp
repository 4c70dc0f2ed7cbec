#include "firmware/srecord/LineReader.h"

#include <cstring>

namespace tessaly {

LineReader::LineReader(QIODevice& device, qsizetype capacity, std::function<void()> beforeRefill)
    : device_(device), capacity_(capacity), beforeRefill_(std::move(beforeRefill)),
      buffer_(new char[static_cast<size_t>(capacity)]) {}

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
