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
        QStringLiteral("To manage applications, the program needs to know where your phone keeps them.\n"
                       "It can detect this, but it sometimes gets it wrong, so you can also set it yourself:\n"
                       "choose one of the options below."),
        this));

    auto *box = new QGroupBox(this);
    box->setObjectName(QStringLiteral("Apps2SdTypeBox"));
    auto *boxLayout = new QVBoxLayout(box);
    m_storageKind = new QButtonGroup(this);
    m_storageKind->setObjectName(QStringLiteral("Apps2SdType"));
    const QStringList options{
        QStringLiteral("I do not know (the program will detect it)"),
        QStringLiteral("I do not use Apps2SD"),
        QStringLiteral("I use the Apps2SD built into Android 2.2 (Froyo)"),
        QStringLiteral("I use Hallorin's Apps2SD (/sd-ext/)"),
        QStringLiteral("I use the old kind of Apps2SD (/system/sd/)"),
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
