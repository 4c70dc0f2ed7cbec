#pragma once

#include "app/DevicePing.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tessaly {

// The ping result: one of three pictures at the same place, a text and OK.
class TFPing : public QDialog {
    Q_OBJECT
public:
    explicit TFPing(QWidget* parent = nullptr);

    QLabel* I_P_F;  // found
    QLabel* I_P_NF; // not found
    QLabel* I_P_E;  // error
    QLabel* Label1;
    QPushButton* LbButton1;

    // Prepares the dialog for one showing; the caller shows it.
    void ShowPingResult(PingResultKind kind, const QString& caption, const QString& label);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace tessaly
