#pragma once

#include <QLabel>
#include <QUrl>

namespace tessaly {

// A web or mail address shown as a link: one focus stop, opened by a click, Enter or
// Space, drawn in the palette's link colour with a focus mark, and presented to
// assistive technology as a link (role, press action, hyperlink). Activating it emits
// QLabel::linkActivated with the address.
class LinkLabel : public QLabel {
    Q_OBJECT
public:
    LinkLabel(const QString& address, const QUrl& target, QWidget* parent);

    QUrl target() const { return target_; }
    void activate();

    // Gives assistive technology the link's role and actions; run once by each window
    // that holds links.
    static void installAccessibleInterface();

protected:
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void followPalette();

    QUrl target_;
};

} // namespace tessaly
