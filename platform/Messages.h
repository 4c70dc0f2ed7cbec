#pragma once

#include <QString>

namespace tessaly {

// The caption of every plain message box and of the running program.
inline const QString ApplicationTitle = QStringLiteral("Firmware Tessaly");

// Message boxes with a single OK button. Tests record the texts instead of blocking.
class Messages {
public:
    virtual ~Messages() = default;
    virtual void plain(const QString& text) = 0;
    virtual void error(const QString& text) = 0;
};

} // namespace tessaly
