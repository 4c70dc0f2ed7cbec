#pragma once

#include "platform/Pickers.h"

#include <QPointer>
#include <QWidget>

namespace tessaly {

// The system's pickers, parented like the message boxes.
class QtPickers final : public Pickers {
public:
    void setMainWindow(QWidget* window) { mainWindow_ = window; }
    std::optional<QString> pickFolder(const QString& title, const QString& root,
                                      const QString& initialSelection) override;
    std::optional<QString> openFile(const QString& filterDescription, const QString& pattern,
                                    const QString& initialDirectory) override;

private:
    QPointer<QWidget> mainWindow_;
};

} // namespace tessaly
