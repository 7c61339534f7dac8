#include "apps/packagelist.h"

#include "bridge/adbutils.h"
#include "common/recordingrunner.h"

#include <QDateTime>
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

    void statOfManyApks()
    {
        auto runner = std::make_shared<RecordingRunner>();
        const QString command =
            QStringLiteral("stat -c '%s %Y %n' \"/data/app/a b/base.apk\" \"/data/app/\\$x\\\"\\`/base.apk\"");
        runner->answers.insert(QStringLiteral("adb shell ") + command,
                               QStringLiteral("1234 1700000000 /data/app/a b/base.apk\r\n"
                                              "stat: '/data/app/$x\"`/base.apk': No such file or directory\r\n"));
        AdbClient adb(runner);
        const ApkStatListing stats = readApkStats(adb, apkStatCommands({QStringLiteral("/data/app/a b/base.apk"),
                                                                        QStringLiteral("/data/app/$x\"`/base.apk")}));
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

    // Every part of a package is found by one pattern per package where the package has a folder to itself;
    // an APK lying among others' is its own only part.
    void apkParts_data()
    {
        QTest::addColumn<QString>("apk");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<int>("parts");
        QTest::newRow("current") << "/data/app/~~a==/com.x-b==/base.apk"
                                 << "\"/data/app/~~a==/com.x-b==\"/*.apk" << 2;
        QTest::newRow("system folder") << "/system/app/Cam/Cam.apk"
                                       << "\"/system/app/Cam\"/*.apk" << 1;
        QTest::newRow("old system") << "/system/app/Phone.apk"
                                    << "\"/system/app/Phone.apk\"" << 1;
        QTest::newRow("old user") << "/data/app/com.x-1.apk"
                                  << "\"/data/app/com.x-1.apk\"" << 1;
    }
    void apkParts()
    {
        QFETCH(QString, apk);
        QFETCH(QString, pattern);
        QFETCH(int, parts);
        QCOMPARE(apkPartsPattern(apk), pattern);
        const QList<ApkFileStat> files{{1, 1, "/data/app/~~a==/com.x-b==/base.apk"},
                                       {2, 1, "/data/app/~~a==/com.x-b==/split_config.en.apk"},
                                       {3, 1, "/data/app/~~a==/com.x-bb==/base.apk"},
                                       {4, 1, "/system/app/Cam/Cam.apk"},
                                       {5, 1, "/system/app/Phone.apk"},
                                       {6, 1, "/system/app/Other.apk"},
                                       {7, 1, "/data/app/com.x-1.apk"}};
        QCOMPARE(partsOf(apk, files).size(), parts);
        QCOMPARE(partsOf(apk, files).first().path, apk);
    }

    // "dumpsys package packages" of Android 12: the "Packages:" records only; an updated system package's
    // hidden original and the deeper lines of users and permissions say nothing of the package shown.
    void packageDump()
    {
        const QHash<QString, PackageDump> dump =
            parsePackageDump(QStringLiteral("Packages:\n"
                                            "  Package [com.x] (5c2b4b0):\n"
                                            "    userId=10123\n"
                                            "    codePath=/data/app/~~a==/com.x-b==\n"
                                            "    versionCode=443009134 minSdk=29 targetSdk=31\n"
                                            "    versionName=95.0 beta (arm64)\n"
                                            "    splits=[base, config.en]\n"
                                            "    timeStamp=2023-11-10 11:12:13\n"
                                            "    firstInstallTime=2023-01-02 03:04:05\n"
                                            "    lastUpdateTime=2023-11-10 11:12:14\n"
                                            "    User 0: ceDataInode=1 installed=true\n"
                                            "      versionName=nested\n"
                                            "  Package [com.android.chrome] (77aa):\n"
                                            "    versionCode=1 minSdk=29 targetSdk=31\n"
                                            "    firstInstallTime=1970-01-01 00:00:00\n"
                                            "\n"
                                            "Hidden system packages:\n"
                                            "  Package [com.android.chrome] (1234):\n"
                                            "    versionName=old\n"));
        QCOMPARE(dump.size(), 2);
        const PackageDump x = dump.value(QStringLiteral("com.x"));
        QCOMPARE(x.versionCode, QStringLiteral("443009134"));
        QCOMPARE(x.versionName, QStringLiteral("95.0 beta (arm64)"));
        QCOMPARE(x.firstInstallSecs, QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5)).toSecsSinceEpoch());
        QCOMPARE(x.lastUpdateSecs, QDateTime(QDate(2023, 11, 10), QTime(11, 12, 14)).toSecsSinceEpoch());
        const PackageDump chrome = dump.value(QStringLiteral("com.android.chrome"));
        QVERIFY(chrome.versionName.isEmpty());
        QCOMPARE(chrome.firstInstallSecs, 0);
        QVERIFY(parsePackageDump(QStringLiteral("Can't find service: package\n")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPackageList)
#include "tst_packagelist.moc"
