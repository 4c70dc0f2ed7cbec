#include "app/LinkLabel.h"

#include "app/FocusMark.h"
#include "platform/Contrast.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace tessaly {

namespace {
class AccessibleLink final : public QAccessibleWidget, public QAccessibleHyperlinkInterface {
public:
    explicit AccessibleLink(LinkLabel* link) : QAccessibleWidget(link, QAccessible::Link) {}

    LinkLabel* link() const { return static_cast<LinkLabel*>(widget()); }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && link()->accessibleName().isEmpty())
            return link()->text();
        if (t == QAccessible::Value)
            return link()->target().toString();
        return QAccessibleWidget::text(t);
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::HyperlinkInterface)
            return static_cast<QAccessibleHyperlinkInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction())
            link()->activate();
        else
            QAccessibleWidget::doAction(action);
    }

    QString anchor() const override { return link()->text(); }
    QString anchorTarget() const override { return link()->target().toString(); }
    int startIndex() const override { return 0; }
    int endIndex() const override { return static_cast<int>(link()->text().size()); }
    bool isValid() const override { return QAccessibleWidget::isValid(); }
};

QAccessibleInterface* linkFactory(const QString& className, QObject* object) {
    if (className == QLatin1String(LinkLabel::staticMetaObject.className()))
        return new AccessibleLink(static_cast<LinkLabel*>(object));
    return nullptr;
}
} // namespace

LinkLabel::LinkLabel(const QString& address, const QUrl& target, QWidget* parent)
    : QLabel(address, parent), target_(target) {
    installAccessibleInterface();
    setTextFormat(Qt::PlainText);
    setForegroundRole(QPalette::Link);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    // Room for the focus mark around the text.
    setContentsMargins(3, 2, 3, 2);
    followPalette();
}

void LinkLabel::installAccessibleInterface() {
    static const bool installed = [] {
        QAccessible::installFactory(linkFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void LinkLabel::followPalette() {
    // The scheme's link colour, made to read where a scheme's does not (qt6ct's
    // "darker" puts #0986d3 on #222020, 4.1:1).
    const QPalette scheme = QApplication::palette();
    const QColor link = readableOn(scheme.color(QPalette::Window), scheme.color(QPalette::Link));
    if (palette().color(QPalette::Link) != link) {
        QPalette own = palette();
        own.setColor(QPalette::Link, link);
        setPalette(own);
    }
}

void LinkLabel::changeEvent(QEvent* event) {
    QLabel::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange)
        followPalette();
}

void LinkLabel::activate() {
    emit linkActivated(target_.toString());
}

void LinkLabel::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        activate();
        return;
    default:
        QLabel::keyPressEvent(event);
    }
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        activate();
    else
        QLabel::mouseReleaseEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        drawFocusMark(painter, rect(), palette());
    }
}

} // namespace tessaly
