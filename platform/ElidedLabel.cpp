#include "platform/ElidedLabel.h"

#include <QResizeEvent>
#include <algorithm>

namespace tessaly {

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, sizePolicy().verticalPolicy());
    setFullText(text);
}

void ElidedLabel::setFullText(const QString& text, qsizetype keepLast) {
    if (text == full_ && keepLast == keepLast_ && !text.isEmpty())
        return;
    full_ = text;
    keepLast_ = std::clamp<qsizetype>(keepLast, 0, text.size());
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
    const int width = contentsRect().width() - 2 * margin();
    QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, width);
    if (shown != full_ && keepLast_ > 0) {
        const QString kept = full_.right(keepLast_);
        const int room = width - fontMetrics().horizontalAdvance(kept);
        if (room > 0)
            shown = fontMetrics().elidedText(full_.chopped(keepLast_), Qt::ElideMiddle, room) + kept;
    }
    if (text() != shown)
        setText(shown);
}

} // namespace tessaly
