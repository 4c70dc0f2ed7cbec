#pragma once

#include "documents/GeneralParameters.h"

#include <QDialog>
#include <array>
#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace tessaly {

class DialogRunner;
class Messages;
class TFSNMP;
struct ProjectPaths;

// "General Parameter": edits the current project's pargen.xml. Every value has a
// field, also the ones this board keeps out of view; each opening starts from the
// defaults and the document, and only OK after a passing validation writes it.
class TFpargen : public QDialog {
    Q_OBJECT
public:
    // What a confirm changes on the main window.
    struct MainWindowLinks {
        std::function<void(bool)> setTranslateTableEnabled;
        std::function<void(const QString&)> setPingAddress;
    };

    // `paths` is the live project state: PargenFile is read at every opening and confirm.
    TFpargen(const ProjectPaths& paths, Messages& messages, DialogRunner& dialogs, MainWindowLinks links,
             QWidget* parent = nullptr);

    // The community name dialog behind "Advanced Parameter"; it is created after this one.
    void setSnmpDialog(TFSNMP& dialog) { snmpDialog_ = &dialog; }

    QGroupBox* GroupBox1; // "MODBUS TCP"
    QLineEdit* E_IP1;
    QLineEdit* E_IP2;
    QLineEdit* E_IP3;
    QLineEdit* E_IP4;
    QLineEdit* E_SUB1;
    QLineEdit* E_SUB2;
    QLineEdit* E_SUB3;
    QLineEdit* E_SUB4;
    QLineEdit* E_GAT1;
    QLineEdit* E_GAT2;
    QLineEdit* E_GAT3;
    QLineEdit* E_GAT4;
    QSpinBox* SE_Port;
    QPushButton* LbButton1; // "Advanced Parameter"
    QGroupBox* GroupBox2;   // "MODBUS RTU"
    QComboBox* CB_Baud;
    QComboBox* CB_Par;
    QLineEdit* E_Time;
    QLabel* L_Offset;
    QLineEdit* E_Offset;
    QGroupBox* RG_Mode;
    QRadioButton* RB_Routing;
    QRadioButton* RB_Nat;
    QPushButton* bitbtn1; // OK
    QPushButton* bitbtn2; // Cancel

    void FormShow();
    // A key typed into one of the twelve octet edits; returns true when the key is
    // consumed instead of reaching the edit.
    bool E_IP1KeyPress(QLineEdit* sender, QChar key);
    void BitBtn1Click();
    void LbButton1Click();
    // Shows the first failing field's message and returns false, or returns true.
    bool ValidateGeneralParameters();
    // For New project: confirms the defaults without showing the dialog.
    void WriteDefaultGeneralParameters();

    // The fields as a record, and the record into the fields.
    GeneralParameters enteredParameters() const;
    void showParameters(const GeneralParameters& parameters);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void layoutControls();
    QString pingAddress() const;
    // The field that holds the value of GeneralParameterElements[element].
    QWidget* fieldOf(std::size_t element) const;

    const ProjectPaths& paths_;
    Messages& messages_;
    DialogRunner& dialogs_;
    MainWindowLinks links_;
    TFSNMP* snmpDialog_ = nullptr;
    // The IP address, subnet mask and gateway, each four octets in order.
    std::array<std::array<QLineEdit*, 4>, 3> octets_{};
    QString readCommunity_;
    QString writeCommunity_;
};

} // namespace tessaly
