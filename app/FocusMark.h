#pragma once

#include <QProxyStyle>

class QPainter;

namespace tessaly {

// Draws the keyboard focus mark inside `rect`: two pixels of the palette's highlight,
// the colour each scheme keeps apart from its backgrounds.
void drawFocusMark(QPainter& painter, const QRect& rect, const QPalette& palette);

// The desktop's style, with a focus mark on every push button that has the focus:
// flat ones and default ones show none of their own (a default button looks the same
// with and without the focus).
class FocusMarkStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
};

} // namespace tessaly
