#pragma once

#include <QList>
#include <QString>

// A device's state as "adb devices" names it.
enum class DeviceState { Device, Offline, Unauthorized, Recovery, Bootloader, Sideload, NoPermissions, Other };

// One device line of "adb devices" or "adb devices -l".
struct AdbDevice {
    QString serial;
    DeviceState state = DeviceState::Other;
    QString stateText; // as adb printed it, e.g. "no permissions (user in plugdev group; ...)"
    QString model;     // from "model:", empty in the plain form
};

DeviceState parseDeviceState(const QString &text);

// The devices listed in the output of "adb devices" or "adb devices -l", with any line ends.
QList<AdbDevice> parseDeviceList(const QString &output);
