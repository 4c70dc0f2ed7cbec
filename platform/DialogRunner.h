#pragma once

class QDialog;

namespace tessaly {

// Shows a dialog modally and returns its result. The program runs the dialog's own
// loop; tests script the dialog's widgets instead and never block.
class DialogRunner {
public:
    virtual ~DialogRunner() = default;
    virtual int run(QDialog& dialog) = 0;
};

class ModalDialogRunner final : public DialogRunner {
public:
    int run(QDialog& dialog) override;
};

} // namespace tessaly
