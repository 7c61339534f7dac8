#include "apps/packagelist.h"

#include "bridge/adbutils.h"
#include "common/recordingrunner.h"

#include <QTest>

#include <memory>

class TestPackageList : public QObject {
    Q_OBJECT

private slots:
    void currentPhones()
    {
        // Android 11 paths hold "=" twice per folder; fields after the package come in any order.
        const PackageListing l = parsePackageList(QStringLiteral(
            "package:/data/app/~~aGVsbG8td29ybGQ=/com.x-Y2FmZS5hcGs==/base.apk=com.x versionCode:42 uid:10123\r\n"
            "package:/system/app/Camera2/Camera2.apk=com.android.camera2 uid:10045 versionCode:30\n"
            "WARNING: linker: something odd\r"
            "package:/data/app/com.y-1/base.apk=com.y\n"
            "\n"
            "package:/data/app/z.apk=\n"
            "package:/data/app/base.apk\n"));
        QCOMPARE(l.packages.size(), 3);
        QCOMPARE(l.packages[0].apkPath, QStringLiteral("/data/app/~~aGVsbG8td29ybGQ=/com.x-Y2FmZS5hcGs==/base.apk"));
        QCOMPARE(l.packages[0].package, QStringLiteral("com.x"));
        QCOMPARE(l.packages[0].versionCode, QStringLiteral("42"));
        QCOMPARE(l.packages[0].uid, QStringLiteral("10123"));
        QCOMPARE(l.packages[1].versionCode, QStringLiteral("30"));
        QCOMPARE(l.packages[1].uid, QStringLiteral("10045"));
        QCOMPARE(l.packages[2].package, QStringLiteral("com.y"));
        QVERIFY(l.packages[2].versionCode.isEmpty());
        QCOMPARE(l.notes, (QStringList{"WARNING: linker: something odd",
                                       "package:/data/app/z.apk=", "package:/data/app/base.apk"}));
    }

    void oldPhonesAndPaths()
    {
        const PackageListing old = parsePackageList(QStringLiteral(
            "package:/data/app/com.x-1.apk=com.x\r\npackage:/system/app/Phone.apk=com.android.phone\r\n"));
        QCOMPARE(old.packages.size(), 2);
        QCOMPARE(old.packages[0].apkPath, QStringLiteral("/data/app/com.x-1.apk"));
        QCOMPARE(old.packages[1].package, QStringLiteral("com.android.phone"));
        QVERIFY(old.notes.isEmpty());

        const PackageListing paths =
            parsePackagePaths(QStringLiteral("package:/data/app/~~a==/com.x-b==/base.apk\r\n"
                                             "package:/data/app/~~a==/com.x-b==/split_config.arm64_v8a.apk\r\n"
                                             "Error: something\r\n"));
        QCOMPARE(paths.packages.size(), 2);
        QCOMPARE(paths.packages[1].apkPath, QStringLiteral("/data/app/~~a==/com.x-b==/split_config.arm64_v8a.apk"));
        QCOMPARE(paths.notes, QStringList{"Error: something"});
        QVERIFY(parsePackagePaths(QString()).packages.isEmpty());
    }

    void statOfManyApks()
    {
        auto runner = std::make_shared<RecordingRunner>();
        const QString command =
            QStringLiteral("stat -c '%s %Y %n' \"/data/app/a b/base.apk\" \"/data/app/\\$x\\\"\\`/base.apk\"");
        runner->answers.insert(QStringLiteral("adb shell ") + command,
                               QStringLiteral("1234 1700000000 /data/app/a b/base.apk\r\n"
                                              "stat: '/data/app/$x\"`/base.apk': No such file or directory\r\n"));
        AdbClient adb(runner);
        const ApkStatListing stats =
            readApkStats(adb, {QStringLiteral("/data/app/a b/base.apk"), QStringLiteral("/data/app/$x\"`/base.apk")});
        QCOMPARE(runner->texts(), QStringList{QStringLiteral("adb shell ") + command});
        QCOMPARE(stats.files.size(), 1);
        QCOMPARE(stats.files[0].size, 1234);
        QCOMPARE(stats.files[0].modifiedSecs, 1700000000);
        QCOMPARE(stats.files[0].path, QStringLiteral("/data/app/a b/base.apk"));
        QCOMPARE(stats.notes.size(), 1);

        // Long sets are spread over several commands, none longer than asked, none lost.
        QStringList many;
        for (int i = 0; i < 200; ++i)
            many << QStringLiteral("/data/app/com.example.package%1-1/base.apk").arg(i);
        const QStringList commands = apkStatCommands(many, 1000);
        QVERIFY(commands.size() > 1);
        qsizetype quoted = 0;
        for (const QString &c : commands) {
            QVERIFY(c.size() <= 1000);
            QVERIFY(c.startsWith(QStringLiteral("stat -c '%s %Y %n' \"")));
            quoted += c.count(QStringLiteral("/base.apk\""));
        }
        QCOMPARE(quoted, 200);
        QVERIFY(apkStatCommands({}).isEmpty());
        QVERIFY(parseApkStats(QStringLiteral("x 1 /a.apk\n12 /a.apk\n")).files.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPackageList)
#include "tst_packagelist.moc"
