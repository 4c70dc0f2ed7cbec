#include "app/PingDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QVBoxLayout>

namespace tessaly {

namespace {
constexpr int PictureSize = 48;

QLabel* picture(QStyle::StandardPixmap icon, const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setPixmap(parent->style()->standardIcon(icon).pixmap(PictureSize, PictureSize));
    label->setFixedSize(PictureSize, PictureSize);
    return label;
}
} // namespace

TFPing::TFPing(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TFPing"));
    setWindowTitle(QStringLiteral("Ping!"));

    I_P_F = picture(QStyle::SP_DialogApplyButton, "I_P_F", this);
    I_P_NF = picture(QStyle::SP_MessageBoxWarning, "I_P_NF", this);
    I_P_E = picture(QStyle::SP_MessageBoxCritical, "I_P_E", this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    LbButton1 = new QPushButton(QStringLiteral("OK"), this);
    LbButton1->setObjectName(QStringLiteral("LbButton1"));
    LbButton1->setDefault(true);

    // The three pictures share one cell; ShowPingResult leaves one of them visible.
    auto* result = new QGridLayout;
    result->addWidget(I_P_F, 0, 0);
    result->addWidget(I_P_NF, 0, 0);
    result->addWidget(I_P_E, 0, 0);
    result->addWidget(Label1, 0, 1);
    result->setColumnStretch(1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(result);
    layout->addWidget(LbButton1, 0, Qt::AlignHCenter);

    connect(LbButton1, &QPushButton::clicked, this, &QDialog::accept);
}

void TFPing::ShowPingResult(PingResultKind kind, const QString& caption, const QString& label) {
    I_P_F->hide();
    I_P_E->hide();
    I_P_NF->hide();
    switch (kind) {
    case PingResultKind::Found:
        I_P_F->show();
        break;
    case PingResultKind::NotFound:
        I_P_NF->show();
        break;
    case PingResultKind::Error:
        I_P_E->show();
        break;
    }
    Label1->setText(label);
    setWindowTitle(caption);
}

void TFPing::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The result is centred on the screen, not over the main window like the other
    // dialogs.
    if (!event->spontaneous())
        if (const QScreen* shown = screen())
            move(shown->availableGeometry().center() - rect().center());
}

} // namespace tessaly
