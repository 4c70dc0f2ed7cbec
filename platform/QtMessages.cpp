#include "platform/QtMessages.h"

#include "platform/AskingWindow.h"

#include <QMessageBox>

namespace tessaly {

void QtMessages::plain(const QString& text) {
    QMessageBox::information(askingWindow(mainWindow_), ApplicationTitle, text);
}

void QtMessages::error(const QString& text) {
    QMessageBox::critical(askingWindow(mainWindow_), ApplicationTitle, text);
}

} // namespace tessaly
