#pragma once

#include "firmware/ComposeFirmware.h"

#include <QColor>
#include <QDialog>
#include <map>
#include <memory>
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
class StartedProgram;
struct ProjectPaths;

// "Generate Firmware": composes the new firmware (the reference firmware with the
// project's bank 1 merged in) and hands it to the flashing tool on the chosen port.
// Created once; its names and bin directory are kept between showings.
class TFModifyFileSx : public QDialog {
    Q_OBJECT
public:
    TFModifyFileSx(const ProjectPaths& paths, Messages& messages, Pickers& pickers, ProgramLauncher& launcher,
                   const SerialPortScanner& serialPorts, QWidget* parent = nullptr);
    ~TFModifyFileSx() override;

    // How often the port label looks at the machine's ports while the dialog is shown.
    static constexpr int PortPollMilliseconds = 1000;

    // The colours of the bank boxes: the dialog's own (the background under a light
    // palette, see normalColour), and the mark of a bank that was not inserted.
    static inline const QColor NormalColour{248, 247, 237}; // colour value 15595512
    static inline const QColor MarkColour{255, 0, 0};

    QLabel* Label1; // heads the port list
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

    // The colour the bank boxes take back at every pass: the dialog's background.
    QColor normalColour() const;

protected:
    void changeEvent(QEvent* event) override;
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
    // Says so and returns true while the tool this dialog started on the chosen port
    // still runs: a second one would find the port taken, or take it mid-update.
    bool toolStillRunning();

    const ProjectPaths& paths_;
    Messages& messages_;
    Pickers& pickers_;
    ProgramLauncher& launcher_;
    const SerialPortScanner& serialPorts_;
    QTimer* portPoll_;
    // The tools this dialog started, by port index, until they are seen to have ended.
    std::map<int, std::unique_ptr<StartedProgram>> tools_;
};

} // namespace tessaly
