#include "workspace/NewProjectDialog.h"

#include "workspace/NewProject.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly {

TFsaveproj::TFsaveproj(NewProjectCommand& command, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), command_(command) {
    setObjectName(QStringLiteral("TFsaveproj"));
    setWindowTitle(QStringLiteral("New project"));

    Label1 = new QLabel(QStringLiteral("Project &name"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Label1->setBuddy(Edit1);
    bitbtn1 = new QPushButton(QStringLiteral("OK"), this);
    bitbtn1->setObjectName(QStringLiteral("bitbtn1"));
    bitbtn1->setDefault(true);
    bitbtn2 = new QPushButton(QStringLiteral("Cancel"), this);
    bitbtn2->setObjectName(QStringLiteral("bitbtn2"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bitbtn1);
    buttons->addWidget(bitbtn2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Edit1);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 48);

    connect(bitbtn1, &QPushButton::clicked, this, &TFsaveproj::bitbtn1Click);
    connect(bitbtn2, &QPushButton::clicked, this, &TFsaveproj::bitbtn2Click);
    Edit1->clear();
    command_.NewProjectName.clear();
}

void TFsaveproj::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TFsaveproj::FormShow() {
    setWindowTitle(QStringLiteral("New project"));
    Edit1->clear();
    command_.onShow();
    Label1->show();
    Edit1->setFocus();
}

void TFsaveproj::bitbtn1Click() {
    command_.confirm(Edit1->text());
    done(QDialog::Accepted);
}

void TFsaveproj::bitbtn2Click() {
    command_.cancel();
    done(QDialog::Rejected);
}

void TFsaveproj::done(int result) {
    // Escape and the window manager's close end up here too: they close only when
    // allowed, and a close that is not Cancel's leaves the command's flag as it is.
    if (!command_.NewProjectCloseAllowed)
        return;
    QDialog::done(result);
}

} // namespace tessaly
