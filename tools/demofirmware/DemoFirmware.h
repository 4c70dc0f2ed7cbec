#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// A synthetic reference firmware, so that composing and flashing work before the
// device's real sx48316.sx is put in the MASTER folder.
namespace tessaly::tools {

// Data records cover [DemoFirstAddress, DemoEndAddress), 32 bytes each.
inline constexpr quint32 DemoFirstAddress = 0x380000;
inline constexpr quint32 DemoEndAddress = 0x3BC000;
inline constexpr int DemoRecordDataBytes = 32;

// Configuration bank 1, erased (0xFF) in the demo, as in a device's own firmware.
inline constexpr quint32 DemoBank1First = 0x388000;
inline constexpr quint32 DemoBank1Last = 0x38BFFF;

// The text of the S0 header record.
inline constexpr char DemoHeaderText[] = "TESSALY DEMO FIRMWARE sx48316 - NOT FOR A DEVICE";

// The whole file: the S0 header, S2 records in ascending address order, the S9
// terminator; every line ends in CR LF. The same bytes on every call.
QByteArray demoFirmware();

// Whether `content` is a demo firmware (of this or an earlier generator), judged by its header.
bool isDemoFirmware(QByteArrayView content);

} // namespace tessaly::tools
