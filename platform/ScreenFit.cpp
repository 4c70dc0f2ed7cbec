#include "platform/ScreenFit.h"

#include <QScreen>
#include <QStyle>
#include <QWidget>

namespace tessaly {

namespace {
// The title bar and borders around the window, which its own size leaves out. Known
// once the window manager has framed it; estimated from the style before that.
QSize frameAround(const QWidget& window) {
    const QSize known = window.frameGeometry().size() - window.geometry().size();
    if (!known.isEmpty())
        return known;
    const int border = window.style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, &window);
    return {2 * border,
            2 * border + window.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &window)};
}
} // namespace

void fitToScreen(QWidget& window) {
    const QWidget* anchor = window.parentWidget() ? window.parentWidget()->window() : &window;
    const QScreen* screen = anchor->screen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    const QSize frame = frameAround(window);
    const QSize room = available.size() - frame;

    window.ensurePolished();
    const QSize wanted = window.testAttribute(Qt::WA_Resized) || window.isVisible()
                             ? window.size()
                             : window.sizeHint().expandedTo(window.minimumSizeHint());
    const QSize fitted = wanted.boundedTo(room);
    if (fitted != wanted) {
        // The layout's minimum must give way too, or resize() would keep the old size.
        window.setMinimumSize(window.minimumSize().boundedTo(fitted));
        window.resize(fitted);
    }
    if (window.isVisible() || window.testAttribute(Qt::WA_Moved)) {
        QRect outer(window.pos(), window.size() + frame);
        outer.moveLeft(qBound(available.left(), outer.left(), available.right() + 1 - outer.width()));
        outer.moveTop(qBound(available.top(), outer.top(), available.bottom() + 1 - outer.height()));
        window.move(outer.topLeft());
    }
}

} // namespace tessaly
