#pragma once

#include "documents/GeneralParameters.h"

#include <QString>
#include <functional>

namespace tessaly {

inline const QString UnknownKeyMessage = QStringLiteral("unknown key %1");
inline const QString BadValueMessage = QStringLiteral("bad value for %1: \"%2\"");
inline const QString CommunityNameTooLongMessage = QStringLiteral("%1 holds at most %2 characters");

// One KEY=VALUE of `set` (and one cell of a fleet table), parsed: applied to a
// project's values.
using Assignment = std::function<void(GeneralParameters&)>;

// KEY is an element name of pargen.xml or one of set's aliases (ip, mask, gateway,
// port, baud, parity, timeout, offset, mode, public, private). A KEY that is neither,
// or a VALUE that KEY cannot take, gives no assignment but the reason; the octets,
// port, time-out and offset are left to ValidateGeneralParameters.
struct ParameterAssignment {
    Assignment assign; // empty when refused
    QString error;
    bool unknownKey = false;
    bool ok() const { return error.isEmpty(); }
};
ParameterAssignment parameterAssignment(const QString& key, const QString& value);

} // namespace tessaly
