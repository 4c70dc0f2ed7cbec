#pragma once

#include "cli/CliContext.h"
#include "documents/GeneralParameters.h"

#include <functional>

namespace tessaly::cli {

// One KEY=VALUE of `set`, parsed: applied to a project's values.
using Assignment = std::function<void(GeneralParameters&)>;

// A KEY that `set` does not know.
class UnknownKeyError : public UsageError {
public:
    using UsageError::UsageError;
};

// KEY is an element name of pargen.xml or one of set's aliases (ip, mask, gateway,
// port, baud, parity, timeout, offset, mode, public, private). Throws UnknownKeyError
// for another KEY and UsageError for a VALUE that KEY cannot take; the octets, port,
// time-out and offset are left to ValidateGeneralParameters.
Assignment parameterAssignment(const QString& key, const QString& value);

} // namespace tessaly::cli
