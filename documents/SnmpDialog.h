#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaly {

// "SNMP Community Name": the read (public) and write (private) community names.
// It has no logic of its own: the general parameter dialog fills it, shows it and
// reads it back when it closed with OK.
class TFSNMP : public QDialog {
    Q_OBJECT
public:
    explicit TFSNMP(QWidget* parent = nullptr);

    QLabel* Label1;         // heading
    QLineEdit* Edit1;       // public
    QLineEdit* Edit2;       // private
    QPushButton* LbButton1; // OK
    QPushButton* LbButton2; // Cancel
};

} // namespace tessaly
