#include "app/ApplicationSetup.h"

#include "app/FocusMark.h"
#include "platform/Messages.h"

#include <QApplication>

namespace tessaly {

void configureApplication() {
    // The name under which the desktop shows the running program (WM_CLASS, the task
    // bar). It is deliberately not the display name: Qt appends a display name to
    // every window caption, and the captions are exact texts.
    QApplication::setApplicationName(ApplicationTitle);
    // Only the main window ends the program (its close saves the workspace first);
    // closing a message box or a picker while the main window is hidden must not.
    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop's own style, with a mark on whichever button has the focus.
    if (!qobject_cast<FocusMarkStyle*>(QApplication::style()))
        QApplication::setStyle(new FocusMarkStyle(QApplication::style()->name()));
}

} // namespace tessaly
