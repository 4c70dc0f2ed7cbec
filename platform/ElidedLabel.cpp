#include "platform/ElidedLabel.h"

#include <QResizeEvent>

namespace tessaly {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
    setFullText(text);
}

void ElidedLabel::setFullText(const QString& text) {
    if (text == full_ && !text.isEmpty())
        return;
    full_ = text;
    setToolTip(text);
    updateGeometry();
    elide();
}

QSize ElidedLabel::sizeHint() const {
    const QMargins margins = contentsMargins();
    return {fontMetrics().horizontalAdvance(full_) + 2 * margin() + margins.left() + margins.right(),
            QLabel::sizeHint().height()};
}

QSize ElidedLabel::minimumSizeHint() const {
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    elide();
}

void ElidedLabel::elide() {
    const QString shown =
        fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width() - 2 * margin());
    if (text() != shown)
        setText(shown);
}

} // namespace tessaly
