#include "app/FocusMark.h"

#include <QPainter>
#include <QStyleOption>

namespace tessaly {

void drawFocusMark(QPainter& painter, const QRect& rect, const QPalette& palette) {
    painter.save();
    QPen pen(palette.color(QPalette::Highlight), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect).adjusted(1, 1, -1, -1));
    painter.restore();
}

void FocusMarkStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element == CE_PushButton && (option->state & State_HasFocus))
        drawFocusMark(*painter, option->rect, option->palette);
}

} // namespace tessaly
