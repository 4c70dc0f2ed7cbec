#pragma once

#include "platform/Messages.h"

#include <QPointer>
#include <QWidget>

namespace tessaly {

// Message boxes of the running program, parented to the window that asked for them
// (the topmost modal dialog, else the main window).
class QtMessages final : public Messages {
public:
    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    void plain(const QString& text) override;
    void error(const QString& text) override;

private:
    QPointer<QWidget> mainWindow_;
};

} // namespace tessaly
