#pragma once

#include "app/DevicePing.h"
#include "app/GuiPlatform.h"
#include "image/ConfigImage.h"
#include "workspace/NewProject.h"
#include "workspace/Workspace.h"

#include <QWidget>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaly {

class TFAbout;
class TFpargen;
class TFSNMP;
class TFSetVar;
class TFPing;
class TFsaveproj;
class TFModifyFileSx;
class ProgramLauncher;

// The main window: the three steps of a device update, About and close.
class TFTessalyeFirmWare : public QWidget {
    Q_OBJECT
public:
    TFTessalyeFirmWare(const QString& programDir, GuiPlatform platform, QWidget* parent = nullptr);
    ~TFTessalyeFirmWare() override;

    Workspace& workspace() { return workspace_; }

    QLabel* Label1;
    QPushButton* New;
    QPushButton* open;
    QLabel* Label2;
    QPushButton* btn_Prm_Gen;
    QPushButton* btn_Translate;
    QLabel* Label3;
    QPushButton* CreateBin;
    QPushButton* CreateSx;
    QGroupBox* GroupBox1;
    QLineEdit* Edit1;
    QPushButton* Btn_Ping;
    QPushButton* about;
    QPushButton* LbButton1;
    QLabel* Label6;
    QLabel* Labelstate;

    TFsaveproj* Fsaveproj = nullptr;
    TFAbout* FAbout = nullptr;
    TFModifyFileSx* FModifyFileSx = nullptr;
    TFpargen* Fpargen = nullptr;
    TFSNMP* FSNMP = nullptr;
    TFSetVar* FSetVar = nullptr;
    TFPing* FPing = nullptr;

    // Sizes the window and centres it on its screen, within what the screen has available.
    void placeOnScreen();
    // Shows the window (or the dialog open over it) in front, with the keyboard.
    void bringToFront();

    void RefreshTranslateTableButton();
    void NewClick();
    void openClick();
    void btn_Prm_GenClick();
    void aboutClick();
    void btn_TranslateClick();
    void Label6Click();
    void CreateBinClick();
    void CreateSxClick();
    void Btn_PingClick();
    void PingDevice();
    // The state of the last ping (DevicePing::NoReply, ReplyWithBytes, ReplyTimedOut).
    int PingState() const { return ping_->PingState(); }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void layoutControls();
    void updateCaption();
    void showFirmwareDialog();

    GuiPlatform platform_;
    Workspace workspace_;
    std::unique_ptr<NewProjectCommand> newProject_;
    ConfigImage configImage_; // rebuilt from scratch by every Update Device
    std::unique_ptr<IcmpEcho> systemEcho_;
    std::unique_ptr<ProgramLauncher> systemLauncher_;
    std::unique_ptr<SerialPortScanner> systemSerialPorts_;
    SystemTickClock ticks_;
    std::unique_ptr<DevicePing> ping_;
    bool pinging_ = false;
};

} // namespace tessaly
