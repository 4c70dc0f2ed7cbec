#pragma once

#include "platform/Messages.h"

class QWidget;

namespace tessaly {

// Message boxes of the running program, parented to the active window.
class QtMessages final : public Messages {
public:
    void plain(const QString& text) override;
    void error(const QString& text) override;
};

} // namespace tessaly
