#include "documents/SnmpDialog.h"

#include "documents/GeneralParameters.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QValidator>

namespace tessaly {

namespace {
const QString Caption = QStringLiteral("SNMP Community Name");
const QString LengthHint = QStringLiteral("[Max. 13 Chars]");

// The limit counts characters; the line edit's own limit counts UTF-16 units and
// would cut a character outside the Basic Multilingual Plane in half.
class CommunityNameValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return characterCount(input) <= CommunityNameMaxLength ? Acceptable : Invalid;
    }
};

QLineEdit* nameEdit(const char* objectName, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(objectName));
    // Room for the longest name of characters that take two units each.
    edit->setMaxLength(static_cast<int>(2 * CommunityNameMaxLength));
    edit->setValidator(new CommunityNameValidator(edit));
    return edit;
}
} // namespace

TFSNMP::TFSNMP(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TFSNMP"));
    setWindowTitle(Caption);

    Label1 = new QLabel(Caption, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Edit1 = nameEdit("Edit1", this);
    Edit2 = nameEdit("Edit2", this);
    auto* publicLabel = new QLabel(QStringLiteral("P&ublic"), this);
    publicLabel->setBuddy(Edit1);
    auto* privateLabel = new QLabel(QStringLiteral("P&rivate"), this);
    privateLabel->setBuddy(Edit2);
    LbButton1 = new QPushButton(QStringLiteral("OK"), this);
    LbButton1->setObjectName(QStringLiteral("LbButton1"));
    LbButton1->setDefault(true);
    LbButton2 = new QPushButton(QStringLiteral("Cancel"), this);
    LbButton2->setObjectName(QStringLiteral("LbButton2"));

    auto* fields = new QGridLayout;
    fields->addWidget(publicLabel, 0, 0);
    fields->addWidget(Edit1, 0, 1);
    fields->addWidget(new QLabel(LengthHint, this), 0, 2);
    fields->addWidget(privateLabel, 1, 0);
    fields->addWidget(Edit2, 1, 1);
    fields->addWidget(new QLabel(LengthHint, this), 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(LbButton1);
    buttons->addWidget(LbButton2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1, 0, Qt::AlignHCenter);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(LbButton1, &QPushButton::clicked, this, &QDialog::accept);
    connect(LbButton2, &QPushButton::clicked, this, &QDialog::reject);
}

} // namespace tessaly
