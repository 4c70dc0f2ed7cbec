#include "documents/GeneralParameterDialog.h"

#include "documents/DottedValues.h"
#include "documents/ParseInt32.h"
#include "documents/SnmpDialog.h"
#include "documents/ValidateGeneralParameters.h"
#include "platform/DialogRunner.h"
#include "platform/Messages.h"
#include "workspace/ProjectPaths.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace tessaly {

namespace {
// A spin box without bounds whose value is what ParseInt32 makes of its text, 0 when
// that fails: any text may be typed, as in the octet edits.
class PortSpinBox final : public QSpinBox {
public:
    explicit PortSpinBox(QWidget* parent) : QSpinBox(parent) {
        setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    }

protected:
    QValidator::State validate(QString&, int&) const override { return QValidator::Acceptable; }
    int valueFromText(const QString& text) const override { return ParseInt32(text).value_or(0); }
};

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QLineEdit* octetEdit(const char* name, QWidget* parent) {
    auto* edit = named(new QLineEdit(parent), name);
    // Room for three digits and a sign in the dialog's font, whatever its size.
    edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 16);
    return edit;
}
} // namespace

TFpargen::TFpargen(const ProjectPaths& paths, Messages& messages, DialogRunner& dialogs,
                   MainWindowLinks links, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), paths_(paths),
      messages_(messages), dialogs_(dialogs), links_(std::move(links)) {
    setObjectName(QStringLiteral("TFpargen"));
    setWindowTitle(QStringLiteral("General Parameter"));
    createControls();
    layoutControls();
}

void TFpargen::createControls() {
    GroupBox1 = named(new QGroupBox(QStringLiteral("MODBUS TCP"), this), "GroupBox1");
    E_IP1 = octetEdit("E_IP1", GroupBox1);
    E_IP2 = octetEdit("E_IP2", GroupBox1);
    E_IP3 = octetEdit("E_IP3", GroupBox1);
    E_IP4 = octetEdit("E_IP4", GroupBox1);
    E_SUB1 = octetEdit("E_SUB1", GroupBox1);
    E_SUB2 = octetEdit("E_SUB2", GroupBox1);
    E_SUB3 = octetEdit("E_SUB3", GroupBox1);
    E_SUB4 = octetEdit("E_SUB4", GroupBox1);
    E_GAT1 = octetEdit("E_GAT1", GroupBox1);
    E_GAT2 = octetEdit("E_GAT2", GroupBox1);
    E_GAT3 = octetEdit("E_GAT3", GroupBox1);
    E_GAT4 = octetEdit("E_GAT4", GroupBox1);
    octets_ = {
        {{E_IP1, E_IP2, E_IP3, E_IP4}, {E_SUB1, E_SUB2, E_SUB3, E_SUB4}, {E_GAT1, E_GAT2, E_GAT3, E_GAT4}}};
    for (const auto& address : octets_) {
        for (QLineEdit* edit : address)
            edit->installEventFilter(this);
    }
    SE_Port = named(new PortSpinBox(GroupBox1), "SE_Port");
    LbButton1 = named(new QPushButton(QStringLiteral("Advanced Parameter"), GroupBox1), "LbButton1");

    GroupBox2 = named(new QGroupBox(QStringLiteral("MODBUS RTU"), this), "GroupBox2");
    CB_Baud = named(new QComboBox(GroupBox2), "CB_Baud");
    for (const int rate : BaudRates)
        CB_Baud->addItem(QString::number(rate));
    CB_Par = named(new QComboBox(GroupBox2), "CB_Par");
    CB_Par->addItems({QStringLiteral("NONE"), QStringLiteral("ODD"), QStringLiteral("EVEN")});
    E_Time = named(new QLineEdit(GroupBox2), "E_Time");

    L_Offset = named(new QLabel(QStringLiteral("System Data Offset"), this), "L_Offset");
    E_Offset = named(new QLineEdit(this), "E_Offset");
    L_Offset->setBuddy(E_Offset);

    RG_Mode = named(new QGroupBox(QStringLiteral("Operation Mode"), this), "RG_Mode");
    RB_Routing = named(new QRadioButton(QStringLiteral("Routing Mode"), RG_Mode), "RB_Routing");
    RB_Nat = named(new QRadioButton(QStringLiteral("NAT Mode"), RG_Mode), "RB_Nat");
    auto* modes = new QButtonGroup(RG_Mode);
    modes->addButton(RB_Routing, static_cast<int>(OperationMode::Routing));
    modes->addButton(RB_Nat, static_cast<int>(OperationMode::Nat));

    bitbtn1 = named(new QPushButton(QStringLiteral("OK"), this), "bitbtn1");
    bitbtn1->setDefault(true);
    bitbtn2 = named(new QPushButton(QStringLiteral("Cancel"), this), "bitbtn2");

    connect(LbButton1, &QPushButton::clicked, this, &TFpargen::LbButton1Click);
    connect(bitbtn1, &QPushButton::clicked, this, &TFpargen::BitBtn1Click);
    connect(bitbtn2, &QPushButton::clicked, this, &QDialog::reject);
}

void TFpargen::layoutControls() {
    auto* tcp = new QGridLayout(GroupBox1);
    const QString captions[] = {QStringLiteral("&IP Address"), QStringLiteral("Subnet &Mask"),
                                QStringLiteral("&Gateway")};
    // Read out box by box: the row's name is not enough to tell the four apart.
    const QString spoken[] = {QStringLiteral("IP address"), QStringLiteral("Subnet mask"),
                              QStringLiteral("Gateway")};
    for (int row = 0; row < 3; ++row) {
        auto* label = new QLabel(captions[row], GroupBox1);
        label->setBuddy(octets_[row][0]);
        for (int i = 0; i < 4; ++i)
            octets_[row][i]->setAccessibleName(
                QStringLiteral("%1, part %2 of 4").arg(spoken[row]).arg(i + 1));
        tcp->addWidget(label, row, 0);
        QList<QWidget*> rowWidgets{label};
        for (int i = 0; i < 4; ++i) {
            tcp->addWidget(octets_[row][i], row, 1 + 2 * i);
            rowWidgets << octets_[row][i];
            if (i < 3) {
                auto* dot = new QLabel(QStringLiteral("."), GroupBox1);
                tcp->addWidget(dot, row, 2 + 2 * i);
                rowWidgets << dot;
            }
        }
        if (row == 2) { // the gateway is kept, but not offered, on this board
            for (QWidget* widget : rowWidgets)
                widget->hide();
        }
    }
    auto* portLabel = new QLabel(QStringLiteral("&Port"), GroupBox1);
    portLabel->setBuddy(SE_Port);
    tcp->addWidget(portLabel, 3, 0);
    tcp->addWidget(SE_Port, 3, 1, 1, 3);
    tcp->addWidget(LbButton1, 4, 0, 1, 8);

    auto* rtu = new QGridLayout(GroupBox2);
    const std::pair<const char*, QWidget*> rtuFields[] = {
        {"&Baud rate", CB_Baud}, {"P&arity", CB_Par}, {"&Timeout (ms)", E_Time}};
    for (int row = 0; row < 3; ++row) {
        auto* label = new QLabel(QLatin1String(rtuFields[row].first), GroupBox2);
        label->setBuddy(rtuFields[row].second);
        rtu->addWidget(label, row, 0);
        rtu->addWidget(rtuFields[row].second, row, 1);
    }

    auto* offset = new QHBoxLayout;
    offset->addWidget(L_Offset);
    offset->addWidget(E_Offset);

    auto* mode = new QVBoxLayout(RG_Mode);
    mode->addWidget(RB_Routing);
    mode->addWidget(RB_Nat);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bitbtn1);
    buttons->addWidget(bitbtn2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addWidget(GroupBox2);
    layout->addLayout(offset);
    layout->addWidget(RG_Mode);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Kept with their values, validated and written, but not offered on this board.
    LbButton1->hide();
    GroupBox2->hide();
    L_Offset->hide();
    E_Offset->hide();
    RG_Mode->hide();
}

void TFpargen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // A window restored by the window system is no new opening: keep what was typed.
    if (!event->spontaneous())
        FormShow();
}

void TFpargen::FormShow() {
    showParameters(GeneralParameters{});
    const LoadedGeneralParameters loaded = ReadGeneralParameters(paths_.PargenFile);
    if (loaded.ok())
        showParameters(loaded.parameters);
    else
        messages_.error(loaded.error);
    E_IP1->setFocus();
    E_IP1->selectAll();
}

void TFpargen::showParameters(const GeneralParameters& p) {
    for (std::size_t row = 0; row < DottedValueMembers.size(); ++row) {
        for (std::size_t i = 0; i < 4; ++i)
            octets_[row][i]->setText(p.*(*DottedValueMembers[row])[i]);
    }
    SE_Port->setValue(p.TCP_PORT);
    readCommunity_ = p.SNMP_PUBLIC;
    writeCommunity_ = p.SNMP_PRIVATE;
    CB_Baud->setCurrentIndex(p.BAUD);
    CB_Par->setCurrentIndex(static_cast<int>(p.PARITY));
    E_Time->setText(p.TIME_OUT);
    E_Offset->setText(p.OFFSET);
    (p.MODE == OperationMode::Routing ? RB_Routing : RB_Nat)->setChecked(true);
}

GeneralParameters TFpargen::enteredParameters() const {
    GeneralParameters p;
    for (std::size_t row = 0; row < DottedValueMembers.size(); ++row) {
        for (std::size_t i = 0; i < 4; ++i)
            p.*(*DottedValueMembers[row])[i] = octets_[row][i]->text();
    }
    p.TCP_PORT = ParseInt32(SE_Port->text()).value_or(0);
    p.SNMP_PUBLIC = readCommunity_;
    p.SNMP_PRIVATE = writeCommunity_;
    p.BAUD = CB_Baud->currentIndex();
    p.PARITY = static_cast<Parity>(CB_Par->currentIndex());
    p.TIME_OUT = E_Time->text();
    p.OFFSET = E_Offset->text();
    p.MODE = RB_Routing->isChecked() ? OperationMode::Routing : OperationMode::Nat;
    return p;
}

bool TFpargen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const QString text = static_cast<QKeyEvent*>(event)->text();
        if (text.size() == 1 && E_IP1KeyPress(static_cast<QLineEdit*>(watched), text.front()))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

bool TFpargen::E_IP1KeyPress(QLineEdit* sender, QChar key) {
    if (key != QLatin1Char('.'))
        return false;
    for (const auto& address : octets_) {
        for (int i = 0; i < 3; ++i) {
            QLineEdit* next = address[i + 1];
            if (address[i] == sender && next->isVisible() && next->isEnabled()) {
                next->setFocus(Qt::TabFocusReason);
                next->selectAll();
            }
        }
    }
    return true;
}

bool TFpargen::ValidateGeneralParameters() {
    if (const std::optional<ParameterRefusal> refusal = FirstRefusedParameter(enteredParameters())) {
        messages_.error(refusal->message);
        // Back to the value that was refused, ready to be typed over.
        if (QWidget* field = fieldOf(refusal->element); field && field->isVisibleTo(this)) {
            field->setFocus(Qt::OtherFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(field))
                edit->selectAll();
            else if (auto* spin = qobject_cast<QAbstractSpinBox*>(field))
                spin->selectAll();
        }
        return false;
    }
    return true;
}

QWidget* TFpargen::fieldOf(std::size_t element) const {
    if (element < 12)
        return octets_[element / 4][element % 4];
    const QString& name = GeneralParameterElements.at(element);
    if (name == QLatin1String("TCP_PORT"))
        return SE_Port;
    if (name == QLatin1String("TIME_OUT"))
        return E_Time;
    if (name == QLatin1String("OFFSET"))
        return E_Offset;
    return nullptr;
}

void TFpargen::BitBtn1Click() {
    if (ValidateGeneralParameters()) {
        const GeneralParameters parameters = enteredParameters();
        if (const std::optional<QString> failure = WriteGeneralParameters(parameters, paths_.PargenFile)) {
            messages_.error(*failure);
            return;
        }
        links_.setTranslateTableEnabled(parameters.MODE == OperationMode::Nat);
        accept();
    }
    // Also after a refusal, so that the address just typed can be pinged.
    links_.setPingAddress(pingAddress());
}

QString TFpargen::pingAddress() const {
    return QStringList{E_IP1->text(), E_IP2->text(), E_IP3->text(), E_IP4->text()}.join(QLatin1Char('.'));
}

void TFpargen::LbButton1Click() {
    if (!snmpDialog_)
        return;
    snmpDialog_->Edit1->setText(readCommunity_);
    snmpDialog_->Edit2->setText(writeCommunity_);
    if (dialogs_.run(*snmpDialog_) != QDialog::Accepted)
        return;
    readCommunity_ = cutCommunityName(snmpDialog_->Edit1->text());
    writeCommunity_ = cutCommunityName(snmpDialog_->Edit2->text());
}

void TFpargen::WriteDefaultGeneralParameters() {
    showParameters(GeneralParameters{});
    BitBtn1Click();
}

} // namespace tessaly
