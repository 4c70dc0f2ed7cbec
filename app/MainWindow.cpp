#include "app/MainWindow.h"

#include "app/AboutDialog.h"
#include "app/AppIcon.h"
#include "app/LinkLabel.h"
#include "app/MakerLinks.h"
#include "app/PingDialog.h"
#include "documents/GeneralParameterDialog.h"
#include "documents/OperationMode.h"
#include "documents/SnmpDialog.h"
#include "documents/TranslateTableDialog.h"
#include "firmware/FirmwareDialog.h"
#include "firmware/SystemSerialPorts.h"
#include "image/BankFiles.h"
#include "platform/DialogRunner.h"
#include "platform/Messages.h"
#include "platform/ScreenFit.h"
#include "platform/SystemProgramLauncher.h"
#include "workspace/BoardVariant.h"
#include "workspace/Captions.h"
#include "workspace/NewProjectDialog.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

namespace tessaly {

namespace {
template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The main window is a plain QWidget, which assistive technology would take for a
// filler inside some other window: present it as the application's window.
QAccessibleInterface* mainWindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(TFTessalyeFirmWare::staticMetaObject.className()))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    return nullptr;
}
} // namespace

TFTessalyeFirmWare::TFTessalyeFirmWare(const QString& programDir, GuiPlatform platform, QWidget* parent)
    // A normal top-level window, so that the desktop lists it in its task bar and
    // window switcher, with a title but without the title-bar buttons: "X" closes it.
    // The title bar may offer minimising, through the window's hints, so that every
    // window manager allows it; closing stays with "X".
    : QWidget(parent,
              Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint),
      platform_(std::move(platform)) {
    static const bool accessible = [] {
        QAccessible::installFactory(mainWindowAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setObjectName(QStringLiteral("TFTessalyeFirmWare"));
    setWindowTitle(ProductTitle);
    createControls();
    layoutControls();

    workspace_.InitWorkspace(programDir);
    updateCaption();
    RefreshTranslateTableButton();

    // The other windows, created once each in start-up order.
    newProject_ = std::make_unique<NewProjectCommand>(workspace_, platform_.messages);
    Fsaveproj = new TFsaveproj(*newProject_, this);
    FAbout = new TFAbout(platform_.openUrl, this);
    if (!platform_.launcher) {
        systemLauncher_ = createSystemProgramLauncher();
        platform_.launcher = systemLauncher_.get();
    }
    if (!platform_.serialPorts) {
        systemSerialPorts_ = std::make_unique<SystemSerialPorts>();
        platform_.serialPorts = systemSerialPorts_.get();
    }
    FModifyFileSx = new TFModifyFileSx(workspace_.paths(), platform_.messages, platform_.pickers,
                                       *platform_.launcher, *platform_.serialPorts, this);
    Fpargen = new TFpargen(workspace_.paths(), platform_.messages, platform_.dialogs,
                           {[this](bool enabled) { btn_Translate->setEnabled(enabled); },
                            [this](const QString& address) { Edit1->setText(address); }},
                           this);
    FSetVar = new TFSetVar(workspace_.paths(), platform_.messages, this);
    FSNMP = new TFSNMP(this);
    Fpargen->setSnmpDialog(*FSNMP);
    newProject_->setDefaultDocumentsWriter([this] {
        Fpargen->WriteDefaultGeneralParameters();
        FSetVar->WriteDefaultTranslateTable();
    });

    if (!platform_.icmpEcho) {
        systemEcho_ = createSystemIcmpEcho();
        platform_.icmpEcho = systemEcho_.get();
    }
    ping_ =
        std::make_unique<DevicePing>(*platform_.icmpEcho, ticks_, [] { QCoreApplication::processEvents(); });
    // The last window created at start-up.
    FPing = new TFPing(this);
}

TFTessalyeFirmWare::~TFTessalyeFirmWare() = default;

void TFTessalyeFirmWare::createControls() {
    Label1 = named(new QLabel(QStringLiteral("Step 1"), this), "Label1");
    New = named(new QPushButton(QStringLiteral("&New project"), this), "New");
    open = named(new QPushButton(QStringLiteral("&Open project"), this), "open");
    Label2 = named(new QLabel(QStringLiteral("Step 2"), this), "Label2");
    btn_Prm_Gen = named(new QPushButton(QStringLiteral("&General Parameter"), this), "btn_Prm_Gen");
    btn_Translate = named(new QPushButton(QStringLiteral("&Translate Table"), this), "btn_Translate");
    Label3 = named(new QLabel(QStringLiteral("Step 3"), this), "Label3");
    CreateBin = named(new QPushButton(QStringLiteral("&Update Device"), this), "CreateBin");
    CreateSx = named(new QPushButton(QStringLiteral("Generate Firmware"), this), "CreateSx");
    GroupBox1 = named(new QGroupBox(QStringLiteral("Ping Device"), this), "GroupBox1");
    Edit1 = named(new QLineEdit(QStringLiteral("0.0.0.0"), GroupBox1), "Edit1");
    Btn_Ping = named(new QPushButton(QStringLiteral("Ping Device"), GroupBox1), "Btn_Ping");
    about = named(new QPushButton(QStringLiteral("About"), this), "about");
    LbButton1 = named(new QPushButton(QStringLiteral("X"), this), "LbButton1");
    LbButton1->setAccessibleName(QStringLiteral("Close"));
    LbButton1->setAccessibleDescription(QStringLiteral("Closes the program (Ctrl+Q)"));
    Label6 = named(new LinkLabel(MakerWebAddress, QUrl(MakerWebAddress), this), "Label6");
    Labelstate = named(new QLabel(QStringLiteral("---"), this), "Labelstate");

    // Present in this variant, with their logic, but not offered to the user.
    btn_Translate->hide();
    CreateSx->hide();
    GroupBox1->hide();
    Labelstate->hide();

    connect(New, &QPushButton::clicked, this, &TFTessalyeFirmWare::NewClick);
    connect(open, &QPushButton::clicked, this, &TFTessalyeFirmWare::openClick);
    connect(btn_Prm_Gen, &QPushButton::clicked, this, &TFTessalyeFirmWare::btn_Prm_GenClick);
    connect(CreateBin, &QPushButton::clicked, this, &TFTessalyeFirmWare::CreateBinClick);
    connect(CreateSx, &QPushButton::clicked, this, &TFTessalyeFirmWare::CreateSxClick);
    connect(about, &QPushButton::clicked, this, &TFTessalyeFirmWare::aboutClick);
    connect(btn_Translate, &QPushButton::clicked, this, &TFTessalyeFirmWare::btn_TranslateClick);
    connect(LbButton1, &QPushButton::clicked, this, &QWidget::close);
    connect(Label6, &QLabel::linkActivated, this, &TFTessalyeFirmWare::Label6Click);
    connect(Btn_Ping, &QPushButton::clicked, this, &TFTessalyeFirmWare::Btn_PingClick);
}

void TFTessalyeFirmWare::layoutControls() {
    setWindowIcon(applicationIcon());
    // About and X are the small buttons of the top right corner; they keep their
    // captions, so their keys are shortcuts rather than mnemonics.
    about->setIcon(applicationIcon());
    about->setShortcut(QKeySequence(Qt::Key_F1));
    about->setToolTip(QStringLiteral("About (F1)"));
    LbButton1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    LbButton1->setToolTip(QStringLiteral("Close (Ctrl+Q)"));
    for (QPushButton* corner : {about, LbButton1}) {
        corner->setAutoDefault(false);
        corner->setFlat(true);
    }
    LbButton1->setFixedWidth(LbButton1->sizeHint().height() + 8);

    auto* logo = new QLabel(this);
    const int logoSize = fontMetrics().height() * 2;
    logo->setPixmap(applicationIcon().pixmap(logoSize, logoSize));
    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addStretch();
    top->addWidget(about, 0, Qt::AlignTop);
    top->addWidget(LbButton1, 0, Qt::AlignTop);

    // One framed row per step: its number, then its commands, all equally wide.
    QFont stepFont = Label1->font();
    stepFont.setBold(true);
    stepFont.setPointSizeF(stepFont.pointSizeF() * 1.25);
    const int buttonWidth = std::max({New->sizeHint().width(), open->sizeHint().width(),
                                      btn_Prm_Gen->sizeHint().width(), CreateBin->sizeHint().width()});
    auto* steps = new QVBoxLayout;
    const std::array<std::array<QWidget*, 3>, 3> rows{
        {{Label1, New, open}, {Label2, btn_Prm_Gen, btn_Translate}, {Label3, CreateBin, CreateSx}}};
    const QString stepNames[] = {QStringLiteral("Step 1: choose a project"),
                                 QStringLiteral("Step 2: edit the general parameters"),
                                 QStringLiteral("Step 3: update the device")};
    for (std::size_t step = 0; step < rows.size(); ++step) {
        const auto& row = rows[step];
        // A group without a title of its own: the step's label heads it.
        auto* frame = new QGroupBox(this);
        frame->setObjectName(QStringLiteral("Step%1").arg(step + 1));
        frame->setAccessibleName(stepNames[step]);
        auto* line = new QHBoxLayout(frame);
        row[0]->setFont(stepFont);
        row[0]->setMinimumWidth(QFontMetrics(stepFont).horizontalAdvance(QStringLiteral("Step 0")) + 16);
        line->addWidget(row[0]);
        for (QWidget* command : {row[1], row[2]}) {
            command->setMinimumWidth(buttonWidth);
            line->addWidget(command);
        }
        line->addStretch();
        steps->addWidget(frame);
    }

    auto* ping = new QHBoxLayout(GroupBox1);
    ping->addWidget(Edit1);
    ping->addWidget(Btn_Ping);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(steps);
    layout->addWidget(GroupBox1);
    layout->addWidget(Labelstate);
    layout->addWidget(Label6, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    New->setFocus();
}

void TFTessalyeFirmWare::updateCaption() {
    setWindowTitle(workspace_.caption());
}

void TFTessalyeFirmWare::RefreshTranslateTableButton() {
    if (const auto enabled = translateTableEnabledFor(workspace_.paths().PargenFile))
        btn_Translate->setEnabled(*enabled);
}

void TFTessalyeFirmWare::NewClick() {
    newProject_->prepare();
    platform_.dialogs.run(*Fsaveproj);
    newProject_->finish();
    updateCaption();
}

void TFTessalyeFirmWare::openClick() {
    workspace_.OpenProject(platform_.pickers);
    updateCaption();
}

void TFTessalyeFirmWare::btn_Prm_GenClick() {
    if (workspace_.RequireProject(platform_.messages))
        platform_.dialogs.run(*Fpargen);
}

void TFTessalyeFirmWare::aboutClick() {
    platform_.dialogs.run(*FAbout);
}

void TFTessalyeFirmWare::btn_TranslateClick() {
    if (workspace_.RequireProject(platform_.messages))
        platform_.dialogs.run(*FSetVar);
}

void TFTessalyeFirmWare::Label6Click() {
    platform_.openUrl(QUrl(MakerWebAddress));
}

void TFTessalyeFirmWare::CreateBinClick() {
    // Without a project the image files would go to the file system's root.
    if (!workspace_.RequireProject(platform_.messages))
        return;
    if (BoardVariant == 2) {
        Labelstate->setText(QStringLiteral("Wait.."));
        QCoreApplication::processEvents(); // repaint before the synchronous work
        const auto failure = BuildBankFiles(configImage_, workspace_.paths(), platform_.clock);
        Labelstate->setText(QStringLiteral("--"));
        if (failure) {
            // Never go on to flash an image that was not built and saved whole.
            platform_.messages.error(*failure);
            return;
        }
    }
    showFirmwareDialog();
}

void TFTessalyeFirmWare::CreateSxClick() {
    showFirmwareDialog();
}

void TFTessalyeFirmWare::showFirmwareDialog() {
    platform_.dialogs.run(*FModifyFileSx);
}

void TFTessalyeFirmWare::Btn_PingClick() {
    if (workspace_.RequireProject(platform_.messages))
        PingDevice();
}

void TFTessalyeFirmWare::PingDevice() {
    // The wait lets pending events run, among them a click queued while the echo
    // blocked the window; that click must not start a second ping inside this one.
    if (pinging_)
        return;
    const QScopedValueRollback<bool> busy(pinging_, true);
    const PingResult result = ping_->PingDevice(Edit1->text());
    FPing->ShowPingResult(result.kind, result.caption, result.label);
    platform_.dialogs.run(*FPing);
}

void TFTessalyeFirmWare::placeOnScreen() {
    adjustSize();
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    fitToScreen(*this);
}

void TFTessalyeFirmWare::bringToFront() {
    if (isMinimized())
        showNormal();
    QWidget* front = QApplication::activeModalWidget();
    if (!front)
        front = this;
    front->raise();
    front->activateWindow();
}

void TFTessalyeFirmWare::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Without a window manager nobody else gives the window the keyboard.
    if (!event->spontaneous())
        activateWindow();
}

void TFTessalyeFirmWare::closeEvent(QCloseEvent* event) {
    // A settings file that cannot be written must not keep the user from closing.
    if (const auto failure = workspace_.SaveWorkspace())
        platform_.messages.error(*failure);
    event->accept();
    // Closing the main window ends the program, whatever other window is still open.
    QCoreApplication::quit();
}

} // namespace tessaly
