#pragma once

#include "firmware/ComposeFirmware.h"

#include <QColor>
#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tessaly {

class ElidedLabel;
class Messages;
class Pickers;
class ProgramLauncher;
class SerialPortScanner;
struct ProjectPaths;

// "Generate Firmware": composes the new firmware (the reference firmware with the
// project's bank 1 merged in) and hands it to the flashing tool on the chosen port.
// Created once; its names and bin directory are kept between showings.
class TFModifyFileSx : public QDialog {
    Q_OBJECT
public:
    TFModifyFileSx(const ProjectPaths& paths, Messages& messages, Pickers& pickers, ProgramLauncher& launcher,
                   const SerialPortScanner& serialPorts, QWidget* parent = nullptr);

    // How often the port label looks at the machine's ports while the dialog is shown.
    static constexpr int PortPollMilliseconds = 1000;

    // The colours of the bank boxes: the dialog's own, and the mark of a bank that
    // was not inserted.
    static inline const QColor NormalColour{248, 247, 237}; // colour value 15595512
    static inline const QColor MarkColour{255, 0, 0};

    QComboBox* cbport;
    // Where the chosen COM port leads, by the map the flashing tool follows; cut in the
    // middle when it does not fit, whole in its tool tip.
    ElidedLabel* LabelPort;
    QProgressBar* Avanzamento;
    QPushButton* LbButton2;
    QPushButton* LbButton1;
    QLabel* Label3;
    QLineEdit* NewFileSx;
    QPushButton* OpenFile;
    QPushButton* Options;
    QGroupBox* GbBank;
    QCheckBox* Cbbank1;
    QCheckBox* Cbbank2;
    QCheckBox* Cbbank3;
    QCheckBox* Cbbank4;
    QCheckBox* Cbbank5;
    QPushButton* DirFileBin;
    QPushButton* ExeModFileSx;
    QPushButton* ExeUpdateFir;

    // Directories end in the native separator.
    QString ReferenceName;
    QString BinDirectory;
    QString OutputDirectory;
    QString OutputName;

    void FormShow();
    void LbButton2Click();
    void LbButton1Click();
    void ExeModFileSxClick();
    void ExeUpdateFirClick();
    void OpenFileClick();
    void OptionsClick();
    void DirFileBinClick();
    void NewFileSxChange(const QString& text);
    // Shows where the chosen port leads now.
    void RefreshPortLabel();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void createControls();
    void layoutControls();
    void centreOnScreen();
    // Takes the reference firmware named `fileName` in the current directory.
    void takeReference(const QString& fileName);
    // The compose pass; nothing when it ended in an error box.
    std::optional<ComposeOutcome> composePass();
    MergeSettings mergeSettings() const;

    const ProjectPaths& paths_;
    Messages& messages_;
    Pickers& pickers_;
    ProgramLauncher& launcher_;
    const SerialPortScanner& serialPorts_;
    QTimer* portPoll_;
};

} // namespace tessaly
