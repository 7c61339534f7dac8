// Every AdbClient operation against each kind of simulated phone, through the real adb. With
// VELBROOK_CAPTURE=1 it also saves what each phone printed for the listing commands into
// tests/data/phonesim/<profile>/, where the parser tests read them.

#include "bridge/adbutils.h"
#include "common/phonesimfixture.h"
#include "common/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

void addProfiles()
{
    QTest::addColumn<QString>("profile");
    for (const char *p : {"legacy", "rooted", "modern"})
        QTest::newRow(p) << QString::fromLatin1(p);
}

} // namespace

class TestPhoneSimTadb : public QObject {
    Q_OBJECT

private slots:
    void probes_data() { addProfiles(); }
    void probes();
};

void TestPhoneSimTadb::probes()
{
    QFETCH(QString, profile);
    PhoneSim sim(profile, true);
    PHONESIM_START(sim);
    AdbClient adb;
    QVERIFY(adb.adbAvailable());
    adb.startServer();
    QVERIFY(adb.devicePresent());
    QCOMPARE(adb.deviceSerial(), sim.serial());
    QCOMPARE(adb.deviceState(), DeviceState::Device);

    const bool legacy = profile == QStringLiteral("legacy");
    const bool rooted = profile == QStringLiteral("rooted");
    QCOMPARE(adb.hasRoot(), rooted);
    QCOMPARE(adb.detectBusybox(), rooted);
    QCOMPARE(adb.hasBusybox, rooted);
    // Old toolbox knows neither "-e" nor "--color"; old busybox both; toybox only the colour option.
    QCOMPARE(adb.detectLsOptions(), rooted);
    QCOMPARE(adb.lsColor, !legacy);
    QCOMPARE(adb.detectAppsStorage(), rooted ? AppStorageType::SdExt : AppStorageType::Asec);
    // Android 2.2's toolbox has no readlink: only busybox (rooted) and toybox (modern) read links.
    QCOMPARE(adb.detectReadlink(), !legacy);
    QCOMPARE(adb.readLink(QStringLiteral("/sdcard"), QString()), legacy   ? QStringLiteral("readlink: not found")
                                                                 : rooted ? QStringLiteral("/mnt/sdcard")
                                                                          : QStringLiteral("/storage/emulated/0"));
    QVERIFY(adb.pathExists(QStringLiteral("/sdcard/DCIM")));
    QVERIFY(!adb.pathExists(QStringLiteral("/sdcard/NoSuchFolder")));
    QVERIFY(
        adb.listPath(QStringLiteral("/sdcard/"), QStringLiteral("-l -a"), false).contains(QStringLiteral("Odd names")));

    if (qEnvironmentVariableIntValue("VELBROOK_CAPTURE") != 1)
        return;
    // What the program's own command lines get back from this kind of phone, byte for byte.
    const QString dir = QStringLiteral(PHONESIM_DATA_DIR) + QLatin1Char('/') + profile;
    QDir().mkpath(dir);
    AdbClient plain; // without the colour option, as every AdbClient but the main window's lists
    // Each folder with its option sets: "-l -a" into ls-l-a-<name>.txt, no options into ls-<name>.txt.
    struct Listing {
        const char *name;
        const char *path;
        QStringList options;
    };
    const Listing listings[] = {
        {"sdcard", "/sdcard/", {"-l -a", "-l -a -e", "-l", "-l -e", "-1", ""}},
        {"root", "/", {"-l -a", "-l -a -e"}},
        {"oddnames", "/sdcard/Odd names/", {"-l -a", "-l -a -e"}},
        {"dcim-camera", "/sdcard/DCIM/Camera/", {"-l -a", "-l -a -e"}},
        {"dev-graphics", "/dev/graphics/", {"-l -a"}},
        {"data-app", "/data/app/", {"-l -a", "-l -a -e"}},
        {"data-app-private", "/data/app-private/", {"-l -a"}},
        {"sd-ext-app", "/sd-ext/app/", {"-l -a", "-l -a -e"}},
        {"mnt-asec", "/mnt/asec/", {"", "-1"}},
        {"data", "/data", {""}},
        {"missing", "/sdcard/NoSuchFolder", {"-l -a"}},
    };
    for (const Listing &l : listings) {
        for (const QString &options : l.options) {
            const QString out = plain.listPath(QString::fromUtf8(l.path), options, false);
            const QString file =
                QStringLiteral("/ls%1-%2.txt").arg(QString(options).remove(u' '), QString::fromUtf8(l.name));
            QVERIFY(writeAll(dir + file, out.toUtf8()));
        }
    }
    if (adb.lsColor) {
        QString out = adb.listPath(QStringLiteral("/sdcard/"), QStringLiteral("-l -a"), true);
        QVERIFY(writeAll(dir + QStringLiteral("/ls-l-a-color-always-sdcard.txt"), out.toUtf8()));
    }
    struct Raw {
        const char *file;
        const char *commandLine;
    };
    const Raw raws[] = {
        {"busybox.txt", "adb shell busybox"},
        {"ls-color-never.txt", "adb shell \"ls --color=never\""},
        {"ls-e.txt", "adb shell \"ls -e\""},
        {"df-data.txt", "adb shell \"df  \\\"/data\\\"\""},
        {"df-sdcard.txt", "adb shell \"df  \\\"/sdcard/\\\"\""},
        {"df.txt", "adb shell df"},
        {"readlink-sdcard.txt", "adb shell \"readlink  \\\"/sdcard\\\"\""},
        // One entry alone, as a transfer's size probe lists it: toybox prints no "total" line then.
        {"ls-l-file.txt", "adb shell \"ls -l \\\"/sdcard/DCIM/Camera/IMG_20100612_142233.jpg\\\"\""},
        {"ls-l-e-file.txt", "adb shell \"ls -l -e \\\"/sdcard/DCIM/Camera/IMG_20100612_142233.jpg\\\"\""},
        {"ls-l-device.txt", "adb shell \"ls -l \\\"/dev/null\\\"\""},
        {"ls-l-e-device.txt", "adb shell \"ls -l -e \\\"/dev/null\\\"\""},
    };
    for (const Raw &r : raws)
        QVERIFY(writeAll(dir + QLatin1Char('/') + QString::fromUtf8(r.file),
                         adb.runAdb(typedCommandLine(QString::fromUtf8(r.commandLine))).output.toUtf8()));
    QVERIFY(writeAll(dir + QStringLiteral("/devices.txt"),
                     adb.runAdb(typedCommandLine(QStringLiteral("adb devices"))).output.toUtf8()));
    QVERIFY(writeAll(dir + QStringLiteral("/get-state.txt"),
                     adb.runAdb(typedCommandLine(QStringLiteral("adb get-state"))).output.toUtf8()));
}

QTEST_GUILESS_MAIN(TestPhoneSimTadb)
#include "tst_phonesimtadb.moc"
