#include "apps/appbackup.h"
#include "apps/applisting.h"
#include "apps/appstorage.h"

#include <QTest>

class TestAppListing : public QObject {
    Q_OBJECT

private slots:
    void folderListings()
    {
        // toolbox -l on an old phone: CR LF, a resource archive of a protected app, a folder named *.apk,
        // a complaint and a text file between the rows.
        const QString output =
            QStringLiteral("-rw-r--r-- system   system    1234567 2010-11-05 12:34 com.example.app-1.apk\r\n"
                           "-rw-r--r-- system   system      20480 2010-11-05 12:35 com.example.bank-1.zip\r\n"
                           "drwxr-xr-x system   system            2010-11-05 12:36 weird.apk\r\n"
                           "opendir failed, Permission denied\r\n"
                           "-rw-r--r-- system system 12 2010-11-05 12:34 notes.txt\r\n"
                           "-rw-r--r-- system   system        987 2011-01-02 03:04 my app-2.apk\r\n");
        const QList<ListItem> rows = parseAppFolderListing(output, true, false);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].toText(), QStringLiteral("1234567;12:34|2010-11-05;com.example.app-1.apk;;"));
        QVERIFY(!rows[0].isProtected);
        // Only the part after the last blank is the name.
        QCOMPARE(rows[1].name, QStringLiteral("app-2.apk"));

        const QList<ListItem> locked = parseAppFolderListing(
            QStringLiteral("-rw-r----- system   app_40    5000 2010-11-05 12:34 com.example.bank-1.apk\n"), true, true);
        QCOMPARE(locked.size(), 1);
        QVERIFY(locked[0].isProtected);
        QCOMPARE(locked[0].toText(), QStringLiteral("*5000;12:34|2010-11-05;com.example.bank-1.apk;;"));

        QVERIFY(parseAppFolderListing(QStringLiteral("opendir failed, Permission denied\r\n"), true, true).isEmpty());
        QVERIFY(parseAppFolderListing(QString(), true, false).isEmpty());
    }

    void longFormAndContainers()
    {
        // busybox -l -e: weekday, month, a day padded with blanks, full time and year.
        const ListItem row = buildAppItem(
            QStringLiteral("-rw-r--r--    1 1000     1000       4321 Fri Nov  5 12:34:56 2010 com.x-1.apk"), false);
        QCOMPARE(row.name, QStringLiteral("com.x-1.apk"));
        QCOMPARE(row.sizeText, QStringLiteral("4321"));
        QCOMPARE(row.stamp, QStringLiteral("12:34:56|05-11-2010"));

        QCOMPARE(parseContainerNames(QStringLiteral("org.example.chess-1\r\n\r\n  com.y-2 \r\n")),
                 (QStringList{"org.example.chess-1", "com.y-2"}));
        const ListItem secure =
            buildSecureAppItem(QStringLiteral("-r-xr-xr-x system   root      77777 2010-11-05 12:34 pkg.apk\r\n"),
                               "org.example.chess-1", true);
        QCOMPARE(secure.toText(), QStringLiteral("77777;12:34|2010-11-05;org.example.chess-1/pkg.apk;;"));
        QCOMPARE(appCatalogueKey(secure), QStringLiteral("org.example.chess-1.apk"));
    }

    void packageNames()
    {
        QCOMPARE(packageOfAppName("com.example.app-1.apk"), QStringLiteral("com.example.app"));
        QCOMPARE(packageOfAppName("com.example.app.apk"), QStringLiteral("com.example.app"));
        QCOMPARE(packageOfAppName("org.example.chess-12/pkg.apk"), QStringLiteral("org.example.chess"));
        // A package whose own name ends in a number after a dash keeps it when no install suffix follows.
        QCOMPARE(packageOfAppName("com.example.app-1-2.apk"), QStringLiteral("com.example.app-1"));
        QVERIFY(isSystemApkPath("/system/priv-app/Settings/Settings.apk"));
        QVERIFY(isSystemApkPath("/product/app/Maps/Maps.apk"));
        QVERIFY(!isSystemApkPath("/data/app/~~a==/com.x-b==/base.apk"));

        // A split package: the size of all its parts, the version and dates the package manager's record gives.
        PackageRecord package{"/data/app/~~a==/com.x-b==/base.apk", "com.x", "42", "10001"};
        const QList<ApkFileStat> parts{{5000, 100, package.apkPath},
                                       {700, 300, "/data/app/~~a==/com.x-b==/split_config.en.apk"}};
        const PackageDump dump{"42", "4.2 beta", 1700000000, 1700086400};
        const ListItem row = packageRow(package, parts, &dump, true);
        QCOMPARE(row.name, QStringLiteral("com.x.apk"));
        QCOMPARE(row.sizeText, QStringLiteral("5700"));
        QCOMPARE(row.stamp, stampFromSecs(1700086400, true));
        QCOMPARE(row.facts, (PackageFacts{"com.x", package.apkPath, "42", "4.2 beta", 2, 1700000000, 1700086400}));
        // Without the record the newest part's time; without stat (an old phone) unknown size and date.
        QCOMPARE(packageRow(package, parts, nullptr, true).stamp, stampFromSecs(300, true));
        QCOMPARE(packageRow(package, {}, nullptr, true).sizeText, QStringLiteral("?"));
        QCOMPARE(packageRow(package, {}, nullptr, true).stamp, QStringLiteral("?"));
    }

    void movesBetweenInternalAndExt()
    {
        // The storage set now says which way; a forward-locked APK keeps its private folder, its compiled code
        // its own partition's cache.
        AppStorage storage;
        setAppStorageMode(storage, AppStorageType::Internal);
        const AppMove out = appMove(storage, QStringLiteral("x-1.apk"), true);
        QCOMPARE(out.from, QStringLiteral("/data/app-private/x-1.apk"));
        QCOMPARE(out.to, QStringLiteral("/sd-ext/app-private/x-1.apk"));
        QVERIFY(out.toExt);
        QCOMPARE(dalvikCachePath(out.from), QStringLiteral("/data/dalvik-cache/data@app-private@x-1.apk@classes.dex"));
        QCOMPARE(dalvikCachePath(out.to),
                 QStringLiteral("/sd-ext/dalvik-cache/sd-ext@app-private@x-1.apk@classes.dex"));
        setAppStorageMode(storage, AppStorageType::SdExt);
        const AppMove back = appMove(storage, QStringLiteral("x-1.apk"), false);
        QCOMPARE(back.from, QStringLiteral("/sd-ext/app/x-1.apk"));
        QCOMPARE(back.to, QStringLiteral("/data/app/x-1.apk"));
        QVERIFY(!back.toExt);
    }

    void backupNames()
    {
        QCOMPARE(backupFileName({"Maps", "com.x", "4.1", {}}), QStringLiteral("Maps_v4.1.apk"));
        // Two labels that differ after a colon stay apart, each with its version.
        QCOMPARE(backupFileName({"Notes: Work", "com.w", "1.0", {}}), QStringLiteral("Notes: Work_v1.0.apk"));
        QCOMPARE(backupFileName({"Notes: Home", "com.h", "2.5", {}}), QStringLiteral("Notes: Home_v2.5.apk"));
        // Refused characters are replaced; a leading dot would hide the file.
        QCOMPARE(backupFileName({"A/B\tC", "com.x", "2", {}}), QStringLiteral("A_B_C_v2.apk"));
        QCOMPARE(backupFileName({"..hidden", "com.x", "1", {}}), QStringLiteral("hidden_v1.apk"));
        QCOMPARE(backupFileName({"/leading slash", "com.x", "1", {}}), QStringLiteral("_leading slash_v1.apk"));
        // Without a version name the version code tells two builds apart.
        QCOMPARE(backupFileName({"", "com.x", "", {}, "12"}), QStringLiteral("com.x_code12.apk"));
        QCOMPARE(backupFileName({}), QStringLiteral("Unknown.apk"));
        // A long label is shortened; the version stays whole.
        const QString longName = backupFileName({QString(120, QChar(0x0416)), "com.x", "3.2.1", {}});
        QVERIFY2(longName.endsWith(QStringLiteral("_v3.2.1.apk")) && longName.toUtf8().size() <= 200,
                 qPrintable(longName));

        QSet<QString> taken;
        QCOMPARE(distinctFileName("Maps_v4.1.apk", taken), QStringLiteral("Maps_v4.1.apk"));
        taken << foldedName("Maps_v4.1.apk") << foldedName("maps_v4.1 (2).apk");
        QCOMPARE(distinctFileName("MAPS_v4.1.apk", taken), QStringLiteral("MAPS_v4.1 (3).apk"));

        QCOMPARE(bundleMemberNames(
                     {"/data/app/x/base.apk", "/data/app/x/split_config.en.apk", "/data/app/y/split_config.en.apk"}),
                 (QStringList{"base.apk", "split_config.en.apk", "split_2.apk"}));
    }
};

QTEST_GUILESS_MAIN(TestAppListing)
#include "tst_applisting.moc"
