#include "appsui/apps2sdsettings.h"

#include "widgets/dialogutil.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Apps2SdDialog::Apps2SdDialog(QWidget *parent)
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
    m_storageKind = new QButtonGroup(this);
    m_storageKind->setObjectName(QStringLiteral("Apps2SdType"));
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
        m_storageKind->addButton(radio, i);
        boxLayout->addWidget(radio);
    }
    m_storageKind->button(0)->setChecked(true);
    layout->addWidget(box);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("btnOK"));
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("btnCancel"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_okButton);
    buttons->addWidget(m_cancelButton);
    layout->addLayout(buttons);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);

    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen(this);
}

int Apps2SdDialog::selectedOption() const
{
    return m_storageKind->checkedId();
}

void Apps2SdDialog::setCancelVisible(bool visible)
{
    m_cancelButton->setVisible(visible);
}
