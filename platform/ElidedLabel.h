#pragma once

#include <QLabel>

namespace tessaly {

// A one-line label for texts that may not fit, such as device names: too long for its
// width, the text loses its middle ("/dev/serial/by-id/usb…port0 [FlashWrite.ini]"), so
// that both its start and its end stay in view; the whole text is its tool tip. It never
// makes its window wider than the rest of the window needs.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, QWidget* parent = nullptr);

    // `keepLast` characters at the end are never cut (a mark such as "[FlashWrite.ini]"),
    // unless the label is too narrow even for them.
    void setFullText(const QString& text, qsizetype keepLast = 0);
    QString fullText() const { return full_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void elide();

    QString full_;
    qsizetype keepLast_ = 0;
};

} // namespace tessaly
