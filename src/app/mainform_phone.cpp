#include "app/mainform.h"

#include "base/appstate.h"
#include "bridge/devicechoice.h"
#include "files/fileoperations.h"

#include <QAction>
#include <QMenu>

namespace {

// Its own short command: not stopped along with a listing, and bounded for a hung adb.
AdbClient ownClient(const AdbClient &adb)
{
    AdbClient own(adb);
    own.setCancelToken(nullptr);
    own.setTimeout(10000);
    return own;
}

} // namespace

void MainWindow::connectPhoneChoice()
{
    connect(m_usePhoneMenu, &QMenu::aboutToShow, this, [this] {
        m_usePhoneMenu->clear();
        const QList<AdbDevice> devices = ownClient(*m_adb).listDevices(true);
        const DeviceVerdict verdict = judgeDevices(devices, chosenDeviceSerial());
        if (devices.isEmpty())
            m_usePhoneMenu->addAction(QStringLiteral("No phone is connected"))->setEnabled(false);
        for (const AdbDevice &device : devices) {
            const bool usable = device.state == DeviceState::Device;
            QAction *action = m_usePhoneMenu->addAction(
                usable ? phoneName(device) : phoneName(device) + QStringLiteral(" - ") + device.stateText);
            action->setCheckable(true);
            action->setChecked(verdict.situation == DeviceSituation::Ready && verdict.device.serial == device.serial);
            action->setEnabled(usable);
            connect(action, &QAction::triggered, this, [this, serial = device.serial] { usePhone(serial); });
        }
    });
}

void MainWindow::phoneMissing(DeviceSituation situation)
{
    if (m_closing || m_connectingPhone)
        return;
    // The verdict may be older than the last command (a connect that held adb's server): asked again now.
    situation = judgeDevices(ownClient(*m_adb).listDevices(), chosenDeviceSerial()).situation;
    if (situation == DeviceSituation::Ready)
        return;
    if (situation != DeviceSituation::MustChoose && situation != DeviceSituation::ChosenGone) {
        showDeviceDialog();
        return;
    }
    if (m_offeringPhones)
        return;
    m_offeringPhones = true;
    updatePhoneTitle();
    if (isVisible())
        m_usePhoneMenu->popup(mapToGlobal(rect().center()));
}

void MainWindow::usePhone(const QString &serial)
{
    setChosenDeviceSerial(serial);
    m_offeringPhones = false;
    updatePhoneTitle();
    if (m_fileOps)
        m_fileOps->phoneIsBack();
}

void MainWindow::updatePhoneTitle()
{
    const DeviceVerdict verdict = judgeDevices(ownClient(*m_adb).listDevices(true), chosenDeviceSerial());
    QString title = QStringLiteral("Velbrook ") + QLatin1String(kProductVersion);
    if (verdict.situation == DeviceSituation::Ready)
        title += QStringLiteral(" - ") + phoneName(verdict.device);
    else if (verdict.situation == DeviceSituation::MustChoose || verdict.situation == DeviceSituation::ChosenGone)
        title += QStringLiteral(" - several phones are connected: choose one in Phone > Use phone");
    setWindowTitle(title);
}
