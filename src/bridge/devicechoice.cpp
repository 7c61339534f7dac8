#include "bridge/devicechoice.h"

#include <QtGlobal>

namespace {

const char kSerialVariable[] = "ANDROID_SERIAL";

const AdbDevice *find(const QList<AdbDevice> &devices, const QString &serial)
{
    if (serial.isEmpty())
        return nullptr;
    for (const AdbDevice &device : devices) {
        if (device.serial == serial)
            return &device;
    }
    return nullptr;
}

} // namespace

QString chosenDeviceSerial()
{
    return qEnvironmentVariable(kSerialVariable);
}

void setChosenDeviceSerial(const QString &serial)
{
    if (serial.isEmpty())
        qunsetenv(kSerialVariable);
    else
        qputenv(kSerialVariable, serial.toLocal8Bit());
}

DeviceVerdict judgeDevices(const QList<AdbDevice> &devices, const QString &chosenSerial)
{
    if (!chosenSerial.isEmpty()) {
        if (const AdbDevice *chosen = find(devices, chosenSerial))
            return {chosen->state == DeviceState::Device ? DeviceSituation::Ready : DeviceSituation::NotUsable,
                    *chosen};
        return {devices.isEmpty() ? DeviceSituation::NoDevice : DeviceSituation::ChosenGone, {}};
    }
    if (devices.isEmpty())
        return {};
    // adb itself passes over devices it may not open when it looks for the only one.
    QList<AdbDevice> candidates;
    for (const AdbDevice &device : devices) {
        if (device.state != DeviceState::NoPermissions)
            candidates << device;
    }
    if (candidates.isEmpty())
        return {DeviceSituation::NotUsable, devices.first()};
    if (candidates.size() > 1)
        return {DeviceSituation::MustChoose, {}};
    const AdbDevice &only = candidates.first();
    return {only.state == DeviceState::Device ? DeviceSituation::Ready : DeviceSituation::NotUsable, only};
}

QString phoneName(const AdbDevice &device)
{
    if (device.model.isEmpty())
        return device.serial;
    QString model = device.model;
    return model.replace(u'_', u' ') + QStringLiteral(" (") + device.serial + u')';
}

QString deviceStateAdvice(const AdbDevice &device)
{
    QString todo;
    switch (device.state) {
    case DeviceState::Device:
        return QString();
    case DeviceState::Unauthorized:
        todo = QStringLiteral("Unlock the phone and confirm the \"Allow USB debugging?\" prompt, ticking "
                              "\"Always allow from this computer\".");
        break;
    case DeviceState::Offline:
        todo = QStringLiteral("Unplug and replug the cable, or restart adb with \"adb kill-server\".");
        break;
    case DeviceState::NoPermissions:
        todo = QStringLiteral("This user may not open the phone's USB device: install the udev rules for Android "
                              "phones (Debian: apt install android-sdk-platform-tools-common), make sure you are in "
                              "the plugdev group, then unplug and replug the cable.");
        break;
    case DeviceState::Recovery:
    case DeviceState::Bootloader:
        todo = QStringLiteral("The phone is not running Android: restart it normally.");
        break;
    case DeviceState::Sideload:
        todo = QStringLiteral("The phone waits for an update through \"adb sideload\": restart it normally once "
                              "it is done.");
        break;
    case DeviceState::Other:
        todo = QStringLiteral("Wait a moment; if it stays so, unplug and replug the cable.");
        break;
    }
    return QStringLiteral("adb says: \"") + device.stateText + QStringLiteral("\". ") + todo;
}

DeviceWindowView describeDevices(const QList<AdbDevice> &devices, const QString &chosenSerial,
                                 const QString &pickedSerial)
{
    DeviceWindowView view;
    const DeviceVerdict verdict = judgeDevices(devices, chosenSerial);
    view.showList = devices.size() > 1 || verdict.situation == DeviceSituation::ChosenGone;

    const AdbDevice *focus = view.showList ? find(devices, pickedSerial) : nullptr;
    if (!focus && (verdict.situation == DeviceSituation::Ready || verdict.situation == DeviceSituation::NotUsable))
        focus = find(devices, verdict.device.serial);

    if (!focus) {
        if (devices.isEmpty()) {
            view.headline = QStringLiteral("Device: not found");
        } else {
            view.headline = QStringLiteral("Device: choose one");
            view.advice = QStringLiteral("Several devices are attached: choose the one to work with.");
        }
        if (verdict.situation == DeviceSituation::ChosenGone || (devices.isEmpty() && !chosenSerial.isEmpty()))
            view.advice = QStringLiteral("The device you chose, ") + chosenSerial +
                          QStringLiteral(", is no longer attached. Reconnect it") +
                          (devices.isEmpty() ? QStringLiteral(".") : QStringLiteral(" or choose another one."));
        return view;
    }
    view.focusSerial = focus->serial;
    view.headline = QStringLiteral("Device: ") + focus->serial;
    view.advice = deviceStateAdvice(*focus);
    view.usable = focus->state == DeviceState::Device;
    // With one device adb needs no serial; otherwise the choice must reach every later adb.
    if (view.usable && (devices.size() > 1 || !chosenSerial.isEmpty()))
        view.serialToChoose = focus->serial;
    return view;
}
