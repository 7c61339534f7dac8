#pragma once

#include "bridge/devicelist.h"

// The device chosen for this run is ANDROID_SERIAL of this process: every child adb inherits it,
// so no command line changes.
QString chosenDeviceSerial();
// Sets ANDROID_SERIAL, or removes it for an empty serial.
void setChosenDeviceSerial(const QString &serial);

// What the listed devices allow the program to do.
enum class DeviceSituation {
    Ready,      // one device to work with, in state "device"
    NoDevice,   // nothing listed
    NotUsable,  // the device to work with is listed in another state
    MustChoose, // several listed and none chosen: adb would refuse every command
    ChosenGone, // the chosen device is no longer listed, others are
};

struct DeviceVerdict {
    DeviceSituation situation = DeviceSituation::NoDevice;
    AdbDevice device; // the device concerned for Ready and NotUsable
};

DeviceVerdict judgeDevices(const QList<AdbDevice> &devices, const QString &chosenSerial);

// How the program names a phone: "Pixel 5 (serial)", the model as "adb devices -l" lists it with blanks for
// its underscores; the serial alone where adb names no model.
QString phoneName(const AdbDevice &device);

// What adb says about the device's state and what the user can do; empty for a usable device.
QString deviceStateAdvice(const AdbDevice &device);

// What the device window shows, from the listed devices, the chosen one and the row the user picked.
struct DeviceWindowView {
    QString headline;       // "Device: not found", "Device: " + serial, or a request to choose
    QString advice;         // what adb says and what to do
    bool usable = false;    // OK may be pressed
    bool showList = false;  // several devices to choose from
    QString focusSerial;    // the row to select
    QString serialToChoose; // becomes ANDROID_SERIAL on OK; empty leaves it as it is
};

DeviceWindowView describeDevices(const QList<AdbDevice> &devices, const QString &chosenSerial,
                                 const QString &pickedSerial);
