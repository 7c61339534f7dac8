#include "apps/appstorage.h"
#include "common/recordingrunner.h"
#include "device/storagestatus.h"

#include <QTest>

class TestStorageStatus : public QObject {
    Q_OBJECT

private slots:
    void buttonsFollowTheStorageMode()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        runner->answers.insert(QStringLiteral("adb get-state"), QStringLiteral("device\n"));
        runner->answers.insert(
            QStringLiteral("adb shell df  \"/data\""),
            QStringLiteral("/data: 167424K total, 112240K used, 55184K available (block size 4096)\r\n"));
        runner->answers.insert(
            QStringLiteral("adb shell df  \"/sdcard\""),
            QStringLiteral("/sdcard: 1048576K total, 0K used, 2097152K available (block size 4096)\r\n"));
        runner->answers.insert(QStringLiteral("adb shell df  \"/sd-ext/\""),
                               QStringLiteral("Filesystem 1K-blocks Used Available Use% Mounted on\n"
                                              "/dev/block/mmcblk0p2 500000 100000 400000 20% /sd-ext\n"));
        AppStorage storage;
        setAppStorageMode(storage, AppStorageType::Asec);
        StorageStatus status = updateStorageStatus(adb, storage);
        QCOMPARE(status.data.caption, QStringLiteral("Data: 53.8 MB"));
        QVERIFY(status.data.available);
        QCOMPARE(status.sd.caption, QStringLiteral("SD: 2.0 GB"));
        QCOMPARE(status.ext.caption, QStringLiteral("Ext: N/A"));
        QVERIFY(!status.ext.available);
        QVERIFY(!runner->texts().contains(QStringLiteral("adb shell df  \"/sd-ext/\"")));

        // In the ext mode the button shows the ext partition, not the data partition.
        setAppStorageMode(storage, AppStorageType::SdExt);
        status = updateStorageStatus(adb, storage);
        QCOMPARE(status.ext.caption, QStringLiteral("Ext: 390.6 MB"));

        // The phone gone: nothing readable, every button N/A.
        runner->answers.clear();
        runner->defaultAnswer = QStringLiteral("error: no devices/emulators found");
        status = updateStorageStatus(adb, storage);
        QCOMPARE(status.data.caption, QStringLiteral("Data: N/A"));
        QCOMPARE(status.sd.caption, QStringLiteral("SD: N/A"));
        QVERIFY(!status.sd.available);
    }

    void sizeWindowValues()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        runner->answers.insert(QStringLiteral("adb get-state"), QStringLiteral("device\n"));
        runner->answers.insert(
            QStringLiteral("adb shell df  \"/data\""),
            QStringLiteral("/data: 167424K total, 112240K used, 55184K available (block size 4096)"));
        const SizeInfo data = readSizeInfo(adb, StorageKind::Data, AppStorage{});
        QCOMPARE(data.title, QStringLiteral("Phone Data"));
        QCOMPARE(data.usedText, QStringLiteral("109.6 MB (67%)"));
        QCOMPARE(data.totalText, QStringLiteral("163.5 MB"));
        QCOMPARE(data.freeText, QStringLiteral("53.8 MB"));
        // No total: no division by zero, the window still has something to show.
        const SizeInfo sd = readSizeInfo(adb, StorageKind::Sd, AppStorage{});
        QCOMPARE(sd.title, QStringLiteral("SDCard"));
        QCOMPARE(sd.usedText, QStringLiteral("0 KB (0%)"));
    }
};

QTEST_GUILESS_MAIN(TestStorageStatus)
#include "tst_storagestatus.moc"
