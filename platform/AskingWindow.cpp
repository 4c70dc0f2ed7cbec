#include "platform/AskingWindow.h"

#include <QApplication>
#include <QWidget>

namespace tessaly {

QWidget* askingWindow(QWidget* mainWindow) {
    // The modal stack does not depend on which window has the focus.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return mainWindow;
}

void activateAgain(QWidget* window) {
    if (window && window->isVisible())
        window->activateWindow();
}

} // namespace tessaly
