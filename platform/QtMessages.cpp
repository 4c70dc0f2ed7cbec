#include "platform/QtMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace tessaly {

void QtMessages::plain(const QString& text) {
    QMessageBox::information(QApplication::activeWindow(), ApplicationTitle, text);
}

void QtMessages::error(const QString& text) {
    QMessageBox::critical(QApplication::activeWindow(), ApplicationTitle, text);
}

} // namespace tessaly
