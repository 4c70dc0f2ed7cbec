#include "app/AboutDialog.h"

#include "app/AppIcon.h"
#include "app/LinkLabel.h"
#include "app/MakerLinks.h"
#include "app/ProgramVersion.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace tessaly {

namespace {
QLabel* linkLabel(const QString& text, const QUrl& target, const QString& name, QWidget* parent) {
    auto* label = new LinkLabel(text, target, parent);
    label->setObjectName(name);
    return label;
}
} // namespace

TFAbout::TFAbout(UrlOpener openUrl, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      openUrl_(std::move(openUrl)) {
    setObjectName(QStringLiteral("TFAbout"));
    setWindowTitle(QStringLiteral("About..."));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    const int pictureSize = fontMetrics().height() * 4;
    Image1->setPixmap(applicationIcon().pixmap(pictureSize, pictureSize));
    setWindowIcon(applicationIcon());
    Label1 = new QLabel(QStringLiteral("Tessaly SW52904"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = new QLabel(QStringLiteral("CAN to Modbus TCP Slave"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new QLabel(QStringLiteral("Version ") + ProgramVersion, this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = linkLabel(MakerWebAddress, QUrl(MakerWebAddress), QStringLiteral("Label4"), this);
    Label5 = linkLabel(MakerMailAddress, QUrl(QStringLiteral("mailto:") + MakerMailAddress),
                       QStringLiteral("Label5"), this);
    Label5->hide();
    LbButton1 = new QPushButton(QStringLiteral("OK"), this);
    LbButton1->setObjectName(QStringLiteral("LbButton1"));
    LbButton1->setDefault(true);

    auto* texts = new QVBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(Label1), static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label3),
          static_cast<QWidget*>(Label4), static_cast<QWidget*>(Label5)})
        texts->addWidget(w);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1, 0, Qt::AlignTop);
    top->addLayout(texts);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(LbButton1, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Label4, &QLabel::linkActivated, this, &TFAbout::Label4Click);
    connect(Label5, &QLabel::linkActivated, this, &TFAbout::Label5Click);
    connect(LbButton1, &QPushButton::clicked, this, &QDialog::accept);
}

void TFAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Opens on its one command, not on the link.
    LbButton1->setFocus();
}

void TFAbout::Label4Click() {
    openUrl_(QUrl(MakerWebAddress));
}

void TFAbout::Label5Click() {
    openUrl_(QUrl(QStringLiteral("mailto:") + MakerMailAddress));
}

} // namespace tessaly
