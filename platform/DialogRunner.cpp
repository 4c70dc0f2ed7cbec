#include "platform/DialogRunner.h"

#include "platform/AskingWindow.h"
#include "platform/ScreenFit.h"

#include <QDialog>

namespace tessaly {

int ModalDialogRunner::run(QDialog& dialog) {
    // A dialog opened from another dialog belongs to that one, so that the window
    // system keeps it above the dialog that asked for it.
    QWidget* asking = askingWindow(dialog.parentWidget());
    if (asking && asking != &dialog && asking != dialog.parentWidget())
        dialog.setParent(asking, dialog.windowFlags());
    fitToScreen(dialog);
    const int result = dialog.exec();
    activateAgain(dialog.parentWidget());
    return result;
}

} // namespace tessaly
