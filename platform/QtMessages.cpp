#include "platform/QtMessages.h"

#include "platform/AskingWindow.h"

#include <QMessageBox>

namespace tessaly {

void QtMessages::plain(const QString& text) {
    QWidget* asking = askingWindow(mainWindow_);
    QMessageBox::information(asking, ApplicationTitle, text);
    activateAgain(asking);
}

void QtMessages::error(const QString& text) {
    QWidget* asking = askingWindow(mainWindow_);
    QMessageBox::critical(asking, ApplicationTitle, text);
    activateAgain(asking);
}

} // namespace tessaly
