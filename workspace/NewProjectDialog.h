#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaly {

class NewProjectCommand;

// "New project": one edit box for the name, OK and Cancel. It closes only while the
// command allows it, so a refused name keeps it open with the text in place.
class TFsaveproj : public QDialog {
    Q_OBJECT
public:
    TFsaveproj(NewProjectCommand& command, QWidget* parent = nullptr);

    QLabel* Label1;
    QLineEdit* Edit1;
    QPushButton* bitbtn1;
    QPushButton* bitbtn2;

    void FormShow();
    void bitbtn1Click();
    void bitbtn2Click();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    NewProjectCommand& command_;
};

} // namespace tessaly
