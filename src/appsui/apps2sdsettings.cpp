#include "appsui/apps2sdsettings.h"

#include "widgets/dialogutil.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TApps2SdForm::TApps2SdForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Apps2SdForm"));
    setWindowTitle(QStringLiteral("Velbrook - Apps2SD Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(
        QStringLiteral("Guys, if you want use Applications Manager, my program have to know where your phone \n"
                       "is keeping apps. Program can detect this, but sometimes makes mistakes. That is why you\n"
                       "can set this manually if you want. It is very easy, just select one option from box below."),
        this));

    auto *box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("Apps2SdTypeBox"));
    auto *boxLayout = new QVBoxLayout(box);
    Apps2SdType = new QButtonGroup(this);
    Apps2SdType->setObjectName(QStringLiteral("Apps2SdType"));
    const QStringList options{
        QStringLiteral("I do not know (program will try to detect this)"),
        QStringLiteral("I have not Apps2SD at all"),
        QStringLiteral("I have native Froyo Apps2SD"),
        QStringLiteral("I have Hallorin's Apps2SD (/sd-ext/)"),
        QStringLiteral("I have old type Apps2SD (/system/sd/)"),
    };
    for (int i = 0; i < options.size(); ++i) {
        auto *radio = new QRadioButton(options.at(i), box);
        radio->setObjectName(QStringLiteral("Apps2SdOption%1").arg(i));
        Apps2SdType->addButton(radio, i);
        boxLayout->addWidget(radio);
    }
    Apps2SdType->button(0)->setChecked(true);
    layout->addWidget(box);

    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

int TApps2SdForm::selectedOption() const
{
    return Apps2SdType->checkedId();
}

void TApps2SdForm::setCancelVisible(bool visible)
{
    btnCancel->setVisible(visible);
}
