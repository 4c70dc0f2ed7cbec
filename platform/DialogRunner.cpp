#include "platform/DialogRunner.h"

#include <QDialog>

namespace tessaly {

int ModalDialogRunner::run(QDialog& dialog) { return dialog.exec(); }

} // namespace tessaly
