#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QLabel;
class QPushButton;

namespace tessaly {

class TFAbout : public QDialog {
    Q_OBJECT
public:
    using UrlOpener = std::function<void(const QUrl&)>;
    TFAbout(UrlOpener openUrl, QWidget* parent = nullptr);

    QLabel* Image1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QPushButton* LbButton1;

    void Label4Click();
    void Label5Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    UrlOpener openUrl_;
};

} // namespace tessaly
