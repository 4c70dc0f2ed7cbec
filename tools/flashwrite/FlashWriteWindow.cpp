#include "tools/flashwrite/FlashWriteWindow.h"

#include "tools/flashwrite/FlashWriteCall.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tessaly::flashwrite {

FlashWriteWindow::FlashWriteWindow(QWidget* parent)
    : QWidget(parent), file_(new QLabel(this)), port_(new QLabel(this)), progress_(new QProgressBar(this)),
      outcome_(new QLabel(tr("Checking the file..."), this)), close_(new QPushButton(tr("Close"), this)) {
    setObjectName(QStringLiteral("FlashWrite"));
    setWindowTitle(QStringLiteral("FlashWrite"));
    file_->setObjectName(QStringLiteral("fileLabel"));
    port_->setObjectName(QStringLiteral("portLabel"));
    progress_->setObjectName(QStringLiteral("progress"));
    outcome_->setObjectName(QStringLiteral("outcome"));
    close_->setObjectName(QStringLiteral("closeButton"));
    file_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    outcome_->setWordWrap(true);
    progress_->setRange(0, 1);
    progress_->setValue(0);

    auto* form = new QFormLayout;
    form->addRow(tr("File:"), file_);
    form->addRow(tr("Port:"), port_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addWidget(outcome_);
    layout->addWidget(close_, 0, Qt::AlignRight);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    setMinimumWidth(480);
}

void FlashWriteWindow::showFile(const QString& fileName) {
    file_->setText(fileName);
}

void FlashWriteWindow::showPort(const QString& port, const QString& description) {
    port_->setText(openedPortText(port, description));
    outcome_->setText(tr("Sending..."));
}

void FlashWriteWindow::showProgress(int sent, int total) {
    // Only whole percents reach the bar, so thousands of records do not mean thousands of repaints.
    const int percent = total > 0 ? int(qint64(sent) * 100 / total) : 0;
    if (progress_->maximum() != 100)
        progress_->setRange(0, 100);
    if (progress_->value() != percent)
        progress_->setValue(percent);
}

void FlashWriteWindow::showOutcome(bool succeeded, const QString& message) {
    outcome_->setText(message);
    outcome_->setStyleSheet(succeeded ? QString() : QStringLiteral("color: red"));
    if (succeeded)
        progress_->setValue(progress_->maximum());
}

void FlashWriteWindow::closeEvent(QCloseEvent* event) {
    emit closing();
    QWidget::closeEvent(event);
}

} // namespace tessaly::flashwrite
