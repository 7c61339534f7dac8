#include "bridge/deviceform.h"

#include "bridge/adbutils.h"
#include "shell/dialogutil.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TDeviceForm::TDeviceForm(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("DeviceForm"));
    setWindowTitle(QStringLiteral("Velbrook"));

    Device = new QLabel(QStringLiteral("Device: not found"), this);
    Device->setObjectName(QStringLiteral("Device"));
    QFont font = Device->font();
    font.setPointSize(22);
    font.setBold(true);
    Device->setFont(font);
    Device->setStyleSheet(QStringLiteral("color: black"));

    btnRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnExit = new QPushButton(QStringLiteral("Exit"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(btnRefresh);
    buttons->addStretch();
    buttons->addWidget(btnExit);
    buttons->addWidget(btnOK);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Device);
    layout->addLayout(buttons);

    connect(btnRefresh, &QPushButton::clicked, this, &TDeviceForm::btnRefreshClick);
    connect(btnExit, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    setMinimumSize(361, 105);
    adjustSize();
    centreOnScreen(this);
}

void TDeviceForm::btnRefreshClick()
{
    TADB adb;
    if (!adb.DevicePresent()) {
        Device->setStyleSheet(QStringLiteral("color: black"));
        Device->setText(QStringLiteral("Device: not found"));
        btnOK->setEnabled(false);
        return;
    }
    Device->setStyleSheet(QStringLiteral("color: rgb(0, 128, 0)"));
    Device->setText(QStringLiteral("Device: ") + adb.DeviceSerial());
    btnOK->setEnabled(true);
}
