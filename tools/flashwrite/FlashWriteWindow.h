#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessaly::flashwrite {

// The tool's window: which file goes to which port, how far it is and how it ended.
class FlashWriteWindow : public QWidget {
    Q_OBJECT
public:
    explicit FlashWriteWindow(QWidget* parent = nullptr);

    void showFile(const QString& fileName);
    // The port is open: COMn and the device it leads to.
    void showPort(const QString& port, const QString& description);
    void showProgress(int sent, int total);
    void showOutcome(bool succeeded, const QString& message);

signals:
    // The user closes the window; it closes once the slots have run.
    void closing();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QLabel* file_;
    QLabel* port_;
    QProgressBar* progress_;
    QLabel* outcome_;
    QPushButton* close_;
};

} // namespace tessaly::flashwrite
