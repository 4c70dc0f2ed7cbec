#include "firmware/FirmwareDialog.h"

#include "firmware/FlashToolCall.h"
#include "firmware/ProgressBarMergeProgress.h"
#include "firmware/SerialPortMap.h"
#include "platform/Contrast.h"
#include "platform/ElidedLabel.h"
#include "platform/Messages.h"
#include "platform/PathForms.h"
#include "platform/Pickers.h"
#include "platform/ProgramLauncher.h"
#include "workspace/BoardVariant.h"
#include "workspace/ProjectPaths.h"
#include "workspace/Workspace.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace tessaly {

inline const QString MasterNotCurrentMessage = QStringLiteral("Error");
inline const QString UpdateRunningMessage =
    QStringLiteral("The update on %1 is still running. Wait until %2 has ended, then try again.");

namespace {
template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Gives `widget` the background `colour`, with its text in the palette's colour where
// that reads on it, else in black or white.
void paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText,
                     readableOn(colour, QApplication::palette().color(QPalette::WindowText)));
    if (palette != widget->palette())
        widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

const QString OptionsShownCaption = QStringLiteral("<< Options");
const QString OptionsHiddenCaption = QStringLiteral("Options >>");
} // namespace

TFModifyFileSx::TFModifyFileSx(const ProjectPaths& paths, Messages& messages, Pickers& pickers,
                               ProgramLauncher& launcher, const SerialPortScanner& serialPorts,
                               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), paths_(paths),
      messages_(messages), pickers_(pickers), launcher_(launcher), serialPorts_(serialPorts),
      portPoll_(new QTimer(this)) {
    setObjectName(QStringLiteral("TFModifyFileSx"));
    setWindowTitle(QStringLiteral("Generate Firmware"));
    createControls();
    layoutControls();
    paint(this, normalColour()); // after the bank boxes exist: changeEvent repaints them
    // Adapters come and go while the dialog is open; a light poll follows them.
    portPoll_->setInterval(PortPollMilliseconds);
    connect(portPoll_, &QTimer::timeout, this, &TFModifyFileSx::RefreshPortLabel);
}

TFModifyFileSx::~TFModifyFileSx() = default;

void TFModifyFileSx::createControls() {
    cbport = named(new QComboBox(this), "cbport");
    cbport->addItems(SerialPortNames);
    Label1 = named(new QLabel(QStringLiteral("Serial &port:"), this), "Label1");
    Label1->setBuddy(cbport);
    cbport->setAccessibleName(QStringLiteral("Serial port"));
    LabelPort = named(new ElidedLabel(NoPortText, this), "LabelPort");
    LabelPort->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Avanzamento = named(new QProgressBar(this), "Avanzamento");
    Avanzamento->setValue(0);
    Avanzamento->setAccessibleName(QStringLiteral("Update progress"));
    LbButton2 = named(new QPushButton(QStringLiteral("&Execute update firmware"), this), "LbButton2");
    LbButton1 = named(new QPushButton(QStringLiteral("X"), this), "LbButton1");
    // "X" keeps its caption: its key is a shortcut rather than a mnemonic.
    LbButton1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_X));
    LbButton1->setAccessibleName(QStringLiteral("Close"));
    LbButton1->setAccessibleDescription(QStringLiteral("Closes Generate Firmware (Alt+X)"));
    LbButton1->setToolTip(QStringLiteral("Close (Alt+X)"));
    Label3 = named(new QLabel(QStringLiteral("Name new Firmware:"), this), "Label3");
    NewFileSx = named(new QLineEdit(this), "NewFileSx");
    Label3->setBuddy(NewFileSx);
    OpenFile = named(new QPushButton(QStringLiteral("Open Firmware"), this), "OpenFile");
    Options = named(new QPushButton(QStringLiteral("Options>>"), this), "Options");
    GbBank = named(new QGroupBox(this), "GbBank");
    Cbbank1 = named(new QCheckBox(QStringLiteral("Bank 1"), GbBank), "Cbbank1");
    Cbbank2 = named(new QCheckBox(QStringLiteral("Bank 2"), GbBank), "Cbbank2");
    Cbbank3 = named(new QCheckBox(QStringLiteral("Bank 3"), GbBank), "Cbbank3");
    Cbbank4 = named(new QCheckBox(QStringLiteral("Bank 4"), GbBank), "Cbbank4");
    Cbbank5 = named(new QCheckBox(QStringLiteral("Bank 5"), GbBank), "Cbbank5");
    DirFileBin = named(new QPushButton(QStringLiteral("Directory File Bin"), this), "DirFileBin");
    ExeModFileSx = named(new QPushButton(QStringLiteral("Execute Modify File Sx"), this), "ExeModFileSx");
    ExeUpdateFir = named(new QPushButton(QStringLiteral("Execute update firmware"), this), "ExeUpdateFir");
    LbButton2->setDefault(true);

    // Present with their logic, but not offered to the user in this variant.
    for (QWidget* hidden : std::initializer_list<QWidget*>{Label3, NewFileSx, OpenFile, Options, GbBank,
                                                           DirFileBin, ExeModFileSx, ExeUpdateFir})
        hidden->hide();

    connect(LbButton2, &QPushButton::clicked, this, &TFModifyFileSx::LbButton2Click);
    connect(LbButton1, &QPushButton::clicked, this, &TFModifyFileSx::LbButton1Click);
    connect(ExeModFileSx, &QPushButton::clicked, this, &TFModifyFileSx::ExeModFileSxClick);
    connect(ExeUpdateFir, &QPushButton::clicked, this, &TFModifyFileSx::ExeUpdateFirClick);
    connect(OpenFile, &QPushButton::clicked, this, &TFModifyFileSx::OpenFileClick);
    connect(Options, &QPushButton::clicked, this, &TFModifyFileSx::OptionsClick);
    connect(DirFileBin, &QPushButton::clicked, this, &TFModifyFileSx::DirFileBinClick);
    connect(NewFileSx, &QLineEdit::textChanged, this, &TFModifyFileSx::NewFileSxChange);
    connect(cbport, &QComboBox::currentIndexChanged, this, &TFModifyFileSx::RefreshPortLabel);
}

void TFModifyFileSx::layoutControls() {
    auto* top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(cbport);
    top->addStretch(1);
    top->addWidget(LbButton1);
    LbButton1->setFixedWidth(LbButton1->sizeHint().height() + 8);

    auto* name = new QHBoxLayout;
    name->addWidget(Label3);
    name->addWidget(NewFileSx);
    name->addWidget(OpenFile);

    auto* banks = new QHBoxLayout(GbBank);
    for (QCheckBox* box : {Cbbank1, Cbbank2, Cbbank3, Cbbank4, Cbbank5})
        banks->addWidget(box);

    auto* commands = new QHBoxLayout;
    commands->addWidget(Options);
    commands->addWidget(DirFileBin);
    commands->addWidget(ExeModFileSx);
    commands->addWidget(ExeUpdateFir);
    commands->addStretch();
    commands->addWidget(LbButton2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    // A row of its own: device names are long.
    layout->addWidget(LabelPort);
    layout->addLayout(name);
    layout->addWidget(GbBank);
    layout->addWidget(Avanzamento);
    layout->addLayout(commands);
    setMinimumWidth(360);
}

QColor TFModifyFileSx::normalColour() const {
    // The dialog's own colour holds the text of light schemes; in a dark or
    // high-contrast scheme the scheme's window colour does.
    const QPalette scheme = QApplication::palette();
    return contrastRatio(scheme.color(QPalette::WindowText), NormalColour) >= MinimumTextContrast
               ? NormalColour
               : scheme.color(QPalette::Window);
}

void TFModifyFileSx::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        const QColor before = palette().color(QPalette::Window);
        paint(this, normalColour());
        for (QCheckBox* box : {Cbbank1, Cbbank2, Cbbank3, Cbbank4, Cbbank5}) {
            const QColor colour = box->palette().color(QPalette::Window);
            paint(box, colour == before ? normalColour() : colour);
        }
    }
}

void TFModifyFileSx::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored by the window system is no new showing.
    if (!event->spontaneous())
        FormShow();
    RefreshPortLabel();
    portPoll_->start();
}

void TFModifyFileSx::hideEvent(QHideEvent* event) {
    portPoll_->stop();
    QDialog::hideEvent(event);
}

void TFModifyFileSx::RefreshPortLabel() {
    // The same ini files the tool reads, by the same rule.
    const CurrentPortMap current = toolPortMap(flashToolPath(paths_.ProgramDir), serialPorts_);
    if (!current.iniError.isEmpty()) {
        LabelPort->setFullText(current.iniError);
        return;
    }
    // Where an entry comes from stays in view however long its device's name.
    const QString text = describePort(current.map.port(cbport->currentIndex()));
    LabelPort->setFullText(text, text.endsWith(portMapMark()) ? portMapMark().size() : 0);
}

void TFModifyFileSx::FormShow() {
    Options->setText(OptionsHiddenCaption);
    GbBank->hide();
    DirFileBin->hide();

    centreOnScreen();

    if (BoardVariant == 2 || BoardVariant == 3) {
        Cbbank1->show();
        Cbbank1->setChecked(true);
        Cbbank2->show();
        Cbbank2->setChecked(true);
        Cbbank3->hide();
        Cbbank4->hide();
        Cbbank5->hide();
        for (QCheckBox* box : {Cbbank1, Cbbank2, Cbbank3, Cbbank4, Cbbank5})
            paint(box, normalColour());
    }

    cbport->setCurrentIndex(0);
    Avanzamento->setValue(0);
    LbButton2->setEnabled(false);

    // Without an open folder there is nothing to look for: "" + "/bin" would be the
    // system's own bin directory here.
    if (!paths_.ProjectDir.isEmpty()) {
        const QString projectBin = joinPath(paths_.ProjectDir, QStringLiteral("bin"));
        if (QFileInfo(projectBin).isDir())
            BinDirectory = withTrailingSeparator(projectBin);
    }

    const QString reference = joinPath(paths_.MasterDir, ReferenceFirmwareName);
    if (!QFileInfo(reference).isFile()) {
        messages_.error(ReferenceNotFoundMessage);
        return;
    }
    if (!QDir::setCurrent(paths_.MasterDir)) {
        messages_.error(MasterNotCurrentMessage);
        return;
    }
    takeReference(ReferenceFirmwareName);
}

void TFModifyFileSx::takeReference(const QString& fileName) {
    ReferenceName = fileName;
    OutputDirectory = withTrailingSeparator(paths_.ProjectDir);
    if (OutputDirectory.isEmpty()) {
        // No folder to put the new firmware in: keep the name, offer nothing to run.
        messages_.plain(ProjectNotValidMessage);
        return;
    }
    NewFileSx->setText(NewFirmwarePrefix + ReferenceName);
    LbButton2->setEnabled(true);
}

void TFModifyFileSx::centreOnScreen() {
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFModifyFileSx::OpenFileClick() {
    const QString initial = !paths_.MasterDir.isEmpty() && QFileInfo(paths_.MasterDir).isDir()
                                ? paths_.MasterDir
                                : paths_.ProgramDir;
    const std::optional<QString> chosen =
        pickers_.openFile(QStringLiteral("File Sx (*.Sx)"), QStringLiteral("*.Sx"), initial);
    if (!chosen)
        return;
    const QFileInfo file(*chosen);
    QDir::setCurrent(file.absolutePath());
    takeReference(file.fileName());
}

void TFModifyFileSx::OptionsClick() {
    const bool show = GbBank->isHidden();
    Options->setText(show ? OptionsShownCaption : OptionsHiddenCaption);
    GbBank->setVisible(show);
    DirFileBin->setVisible(show);
}

void TFModifyFileSx::DirFileBinClick() {
    if (const auto chosen =
            pickers_.pickFolder(QStringLiteral("Select Directory Bin"), paths_.ProjectDir, {}))
        BinDirectory = withTrailingSeparator(*chosen);
}

void TFModifyFileSx::NewFileSxChange(const QString& text) {
    OutputName = text;
}

void TFModifyFileSx::LbButton1Click() {
    accept();
}

MergeSettings TFModifyFileSx::mergeSettings() const {
    return {BinDirectory, OutputDirectory, OutputName};
}

std::optional<ComposeOutcome> TFModifyFileSx::composePass() {
    for (QCheckBox* box : {Cbbank1, Cbbank2, Cbbank3, Cbbank4, Cbbank5})
        paint(box, normalColour());
    ExeModFileSx->setEnabled(false);

    // The box's own visibility counts: the panel around it is usually hidden.
    const bool bank1 = !Cbbank1->isHidden() && Cbbank1->isChecked();
    ProgressBarMergeProgress progress(*Avanzamento);
    const ComposeOutcome outcome = composeBank1(ReferenceName, mergeSettings(), bank1, messages_, progress);
    if (outcome.merge.error) {
        // A file that cannot be created or opened ends the command here.
        messages_.error(*outcome.merge.error);
        return std::nullopt;
    }
    if (outcome.merge.result == 0)
        paint(Cbbank1, MarkColour);
    ExeModFileSx->setEnabled(true);
    return outcome;
}

void TFModifyFileSx::ExeModFileSxClick() {
    composePass();
}

bool TFModifyFileSx::toolStillRunning() {
    const int port = cbport->currentIndex();
    const auto tool = tools_.find(port);
    if (tool == tools_.end())
        return false;
    if (!tool->second->running()) {
        tools_.erase(tool);
        return false;
    }
    messages_.plain(UpdateRunningMessage.arg(cbport->currentText(), FlashToolFileName));
    return true;
}

void TFModifyFileSx::LbButton2Click() {
    // Checked before composing: the running tool may still be reading the new firmware.
    if (toolStillRunning())
        return;
    // Nothing is composed for a tool that could not be handed the result.
    if (const auto refusal = flashToolCallRefusal(paths_.ProgramDir, OutputDirectory + OutputName)) {
        messages_.plain(*refusal);
        return;
    }
    const std::optional<ComposeOutcome> composed = composePass();
    if (!composed)
        return;
    // Only a firmware that this very pass composed, with this project's bank in it,
    // goes to the device: never an older file left by an earlier run.
    const FlashClearance clearance = clearForFlashing(*composed, mergeSettings());
    if (!clearance.cleared) {
        if (!clearance.refusal.isEmpty())
            messages_.plain(clearance.refusal);
        return;
    }
    ExeUpdateFirClick();
}

void TFModifyFileSx::ExeUpdateFirClick() {
    if (toolStillRunning())
        return;
    if (const auto refusal = flashStepRefusal(paths_.ProgramDir, mergeSettings())) {
        messages_.plain(*refusal);
        return;
    }
    const int port = cbport->currentIndex();
    const QByteArray parameter = flashToolParameter(OutputDirectory, OutputName, port);
    auto started = launcher_.launch(flashToolPath(paths_.ProgramDir), parameter);
    if (auto* tool = std::get_if<std::unique_ptr<StartedProgram>>(&started))
        tools_[port] = std::move(*tool);
    else
        messages_.error(std::get<QString>(started));
}

} // namespace tessaly
