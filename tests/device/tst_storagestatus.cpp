#include "apps/appstorage.h"
#include "common/recordingrunner.h"
#include "device/storagestatus.h"

#include <QTest>

class TestStorageStatus : public QObject {
    Q_OBJECT

private slots:
    void sizeWindowValues()
    {
        auto runner = std::make_shared<RecordingRunner>();
        AdbClient adb(runner);
        runner->answers.insert(QStringLiteral("adb get-state"), QStringLiteral("device\n"));
        runner->answers.insert(
            QStringLiteral("adb shell df  \"/data\""),
            QStringLiteral("/data: 167424K total, 112240K used, 55184K available (block size 4096)"));
        const SizeInfo data = readSizeInfo(adb, StorageKind::Data, AppStorage{});
        QCOMPARE(data.usedText, QStringLiteral("109.6 MB (67%)"));
        QCOMPARE(data.freeText, QStringLiteral("53.8 MB"));
        // No total: no division by zero, the window still has something to show.
        const SizeInfo sd = readSizeInfo(adb, StorageKind::Sd, AppStorage{});
        QCOMPARE(sd.usedText, QStringLiteral("0 KB (0%)"));
    }
};

QTEST_GUILESS_MAIN(TestStorageStatus)
#include "tst_storagestatus.moc"
