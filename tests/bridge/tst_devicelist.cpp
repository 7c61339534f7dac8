#include "bridge/adbutils.h"
#include "bridge/devicechoice.h"
#include "common/recordingrunner.h"

#include <QFile>
#include <QTest>

namespace {

QString captured(const char *name)
{
    QFile file(QStringLiteral(VB_TEST_DATA "/adb/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

AdbDevice device(const QString &serial, DeviceState state, const QString &stateText = QStringLiteral("device"))
{
    return AdbDevice{serial, state, stateText, QString()};
}

const QString kNoPermissions = QStringLiteral("no permissions (user in plugdev group; are your udev rules wrong?); see "
                                              "[http://developer.android.com/tools/device.html]");

} // namespace

class TestDeviceList : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("ANDROID_SERIAL"); }

    void capturedListings()
    {
        const QList<AdbDevice> two = parseDeviceList(captured("devices-l-two.txt"));
        QCOMPARE(two.size(), 2);
        QCOMPARE(two.at(0).serial, QStringLiteral("127.0.0.1:40811"));
        QCOMPARE(two.at(0).state, DeviceState::Device);
        QCOMPARE(two.at(0).model, QStringLiteral("Pixel_6"));
        QCOMPARE(two.at(1).serial, QStringLiteral("emulator-5554"));
        QCOMPARE(two.at(1).state, DeviceState::Unauthorized);
        QCOMPARE(two.at(1).stateText, QStringLiteral("unauthorized"));
        QCOMPARE(two.at(1).model, QString());

        // The server's start-up lines come before the header and are no devices.
        QVERIFY(!captured("devices-l-daemon-start.txt").isEmpty());
        QVERIFY(parseDeviceList(captured("devices-l-daemon-start.txt")).isEmpty());

        for (const char *name : {"devices-offline.txt", "devices-l-offline.txt"}) {
            const QList<AdbDevice> offline = parseDeviceList(captured(name));
            QCOMPARE(offline.size(), 1);
            QCOMPARE(offline.at(0).serial, QStringLiteral("127.0.0.1:15988"));
            QCOMPARE(offline.at(0).state, DeviceState::Offline);
        }
    }

    void lineEndsBlanksAndOddLines()
    {
        for (const QString &eol : {QStringLiteral("\n"), QStringLiteral("\r\n"), QStringLiteral("\r")}) {
            const QString text = QStringLiteral("* daemon started successfully") + eol +
                                 QStringLiteral("List of devices attached") + eol +
                                 QStringLiteral("HT9CPP800123\tdevice") + eol + eol +
                                 QStringLiteral("0123456789ABCDEF\t") + kNoPermissions + eol + eol;
            const QList<AdbDevice> devices = parseDeviceList(text);
            QCOMPARE(devices.size(), 2);
            QCOMPARE(devices.at(0).serial, QStringLiteral("HT9CPP800123"));
            QCOMPARE(devices.at(0).state, DeviceState::Device);
            QCOMPARE(devices.at(1).state, DeviceState::NoPermissions);
            QCOMPARE(devices.at(1).stateText, kNoPermissions);
        }
        // The -l form of a device adb may not open: its state holds blanks, the USB path follows it.
        const QList<AdbDevice> usb = parseDeviceList(QStringLiteral("List of devices attached\n"
                                                                    "(no serial number)     ") +
                                                     kNoPermissions + QStringLiteral(" usb:1-1.2 transport_id:3\n\n"));
        QCOMPARE(usb.size(), 1);
        QCOMPARE(usb.at(0).serial, QStringLiteral("(no serial number)"));
        QCOMPARE(usb.at(0).stateText, kNoPermissions);

        const QList<AdbDevice> states = parseDeviceList(QStringLiteral(
            "List of devices attached\nA\trecovery\nB\tbootloader\nC\tsideload\nD\tauthorizing\nE\thost\n"));
        const QList<DeviceState> expected{DeviceState::Recovery, DeviceState::Bootloader, DeviceState::Sideload,
                                          DeviceState::Other, DeviceState::Other};
        QCOMPARE(states.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(states.at(i).state, expected.at(i));
        QCOMPARE(states.at(3).stateText, QStringLiteral("authorizing"));

        // A failed start of adb is no list.
        QVERIFY(parseDeviceList(QStringLiteral("error")).isEmpty());
        QVERIFY(parseDeviceList(QString()).isEmpty());
    }

    void whichDeviceTheProgramUses()
    {
        const AdbDevice phone = device(QStringLiteral("HT9CPP800123"), DeviceState::Device);
        const AdbDevice emulator = device(QStringLiteral("emulator-5554"), DeviceState::Device);
        const AdbDevice locked =
            device(QStringLiteral("R58M"), DeviceState::Unauthorized, QStringLiteral("unauthorized"));
        const AdbDevice udev = device(QStringLiteral("0123"), DeviceState::NoPermissions, kNoPermissions);

        QCOMPARE(judgeDevices({}, QString()).situation, DeviceSituation::NoDevice);
        QCOMPARE(judgeDevices({phone}, QString()).situation, DeviceSituation::Ready);
        QCOMPARE(judgeDevices({phone}, QString()).device.serial, phone.serial);
        QCOMPARE(judgeDevices({locked}, QString()).situation, DeviceSituation::NotUsable);
        QCOMPARE(judgeDevices({locked}, QString()).device.serial, locked.serial);
        // adb counts a device in any state when it looks for the only one, except those it may not open.
        QCOMPARE(judgeDevices({phone, locked}, QString()).situation, DeviceSituation::MustChoose);
        QCOMPARE(judgeDevices({phone, udev}, QString()).situation, DeviceSituation::Ready);
        QCOMPARE(judgeDevices({udev}, QString()).situation, DeviceSituation::NotUsable);

        QCOMPARE(judgeDevices({phone, emulator}, emulator.serial).situation, DeviceSituation::Ready);
        QCOMPARE(judgeDevices({phone, emulator}, emulator.serial).device.serial, emulator.serial);
        QCOMPARE(judgeDevices({phone, locked}, locked.serial).situation, DeviceSituation::NotUsable);
        QCOMPARE(judgeDevices({phone}, emulator.serial).situation, DeviceSituation::ChosenGone);
        QCOMPARE(judgeDevices({}, emulator.serial).situation, DeviceSituation::NoDevice);
    }

    void presenceThroughTadb()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        runner->answers.insert(QStringLiteral("adb devices"), captured("devices-offline.txt"));
        QVERIFY(!adb.devicePresent());
        QCOMPARE(adb.deviceSerial(), QString());

        const QString two =
            QStringLiteral("List of devices attached\n127.0.0.1:40811\tdevice\nemulator-5554\tdevice\n\n");
        runner->answers.insert(QStringLiteral("adb devices"), two);
        QVERIFY(!adb.devicePresent()); // adb would answer "more than one device/emulator"
        setChosenDeviceSerial(QStringLiteral("emulator-5554"));
        QVERIFY(adb.devicePresent());
        QCOMPARE(adb.deviceSerial(), QStringLiteral("emulator-5554"));
        QCOMPARE(runner->commands.last().arguments, QStringList{QStringLiteral("devices")});

        // An inherited choice that names no listed device is dropped; a listed one stays.
        adb.dropUnlistedChoice();
        QCOMPARE(chosenDeviceSerial(), QStringLiteral("emulator-5554"));
        setChosenDeviceSerial(QStringLiteral("gone-1"));
        adb.dropUnlistedChoice();
        QCOMPARE(qgetenv("ANDROID_SERIAL"), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestDeviceList)
#include "tst_devicelist.moc"
