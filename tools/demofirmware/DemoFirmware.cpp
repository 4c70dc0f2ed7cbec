#include "tools/demofirmware/DemoFirmware.h"

#include "firmware/srecord/SRecord.h"

namespace tessaly::tools {

namespace {

QByteArray headerLine() {
    return formatSRecord('0', 0, 2, QByteArrayView(DemoHeaderText)) + "\r\n";
}

// Program bytes that look like code: a fixed xorshift sequence, so every build writes
// the same file.
class CodeBytes {
public:
    char next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return char(state_ >> 24);
    }

private:
    quint32 state_ = 0x7E55A1F0;
};

} // namespace

QByteArray demoFirmware() {
    constexpr int Records = (DemoEndAddress - DemoFirstAddress) / DemoRecordDataBytes;
    QByteArray file = headerLine();
    file.reserve(Records * 78 + 128);
    CodeBytes code;
    QByteArray data(DemoRecordDataBytes, '\0');
    for (quint32 address = DemoFirstAddress; address < DemoEndAddress; address += DemoRecordDataBytes) {
        const bool inBank1 = address >= DemoBank1First && address <= DemoBank1Last;
        for (char& byte : data)
            byte = inBank1 ? char(0xFF) : code.next();
        file += formatSRecord('2', address, 3, data) + "\r\n";
    }
    file += formatSRecord('9', 0, 2, {}) + "\r\n";
    return file;
}

bool isDemoFirmware(QByteArrayView content) {
    return content.startsWith(headerLine());
}

} // namespace tessaly::tools
