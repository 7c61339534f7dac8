// What an applications manager asks a current phone through the real adb: package lists with paths,
// versions and uids, split APKs, uninstalling for a user, unzip on the phone, install-multiple and stat.

#include "common/phonesimfixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

QStringList lines(const QString &text)
{
    return text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString sh(const PhoneSim &sim, const QString &command)
{
    return sim.adb({QStringLiteral("shell"), command}).text();
}

} // namespace

class TestPhoneSimApps : public QObject {
    Q_OBJECT

private slots:
    void listsPathsAndUninstall();
    void unzipStatAndInstallMultiple();
    void legacyList();
};

void TestPhoneSimApps::listsPathsAndUninstall()
{
    PhoneSim sim(QStringLiteral("modern"), true);
    sim.setExtraApps(12);
    PHONESIM_START(sim);
    // Fields in Android 12's order; paths hold "=", so a reader splits at the last ".apk=".
    const QRegularExpression userLine(QStringLiteral(
        R"(^package:/data/app/~~[\w-]{22}==/([\w.]+)-[\w-]{22}==/base\.apk=([\w.]+) versionCode:(\d+) uid:(1\d{4})$)"));
    auto all = lines(sh(sim, QStringLiteral("pm list packages -f --show-versioncode -U")));
    auto user = lines(sh(sim, QStringLiteral("cmd package list packages -3 -f -U --show-versioncode")));
    auto system = lines(sh(sim, QStringLiteral("pm list packages -s -f -U")));
    QCOMPARE(user.size(), 6 + 2 + 12);
    QCOMPARE(all.size(), user.size() + system.size());
    for (const QString &l : user) {
        auto m = userLine.match(l);
        QVERIFY2(m.hasMatch() && m.captured(1) == m.captured(2), qPrintable(l));
    }
    QCOMPARE(user.filter(QRegularExpression(QStringLiteral("=org\\.example\\.app012 versionCode:112 uid:"))).size(), 1);
    QVERIFY(system.contains(
        QStringLiteral("package:/system/priv-app/Settings/Settings.apk=com.android.settings uid:1000")));
    QVERIFY(
        system.contains(QStringLiteral("package:/system/app/Bluetooth/Bluetooth.apk=com.android.bluetooth uid:1002")));
    QCOMPARE(sh(sim, QStringLiteral("pm list packages notes")), QStringLiteral("package:com.example.notes\n"));
    auto unknown = sim.adb({QStringLiteral("shell"), QStringLiteral("pm list packages -z")});
    QCOMPARE(unknown.text(), QStringLiteral("Error: Unknown option: -z\n"));
    QCOMPARE(unknown.exitCode, 255);

    // pm path: base first, then each split; nothing and exit 1 for an unknown package.
    auto parts = lines(sh(sim, QStringLiteral("pm path com.example.maps")));
    QCOMPARE(parts.size(), 3);
    QVERIFY(parts[0].endsWith(QStringLiteral("/base.apk")) &&
            parts[1].endsWith(QStringLiteral("/split_config.arm64_v8a.apk")) &&
            parts[2].endsWith(QStringLiteral("/split_config.en.apk")));
    auto none = sim.adb({QStringLiteral("shell"), QStringLiteral("pm path no.such.package")});
    QVERIFY(none.out.isEmpty());
    QCOMPARE(none.exitCode, 1);

    // Uninstalling: system packages only for a user; their APK stays in /system.
    auto refused = sim.adb({QStringLiteral("shell"), QStringLiteral("pm uninstall com.android.settings")});
    QCOMPARE(refused.text(), QStringLiteral("Failure [DELETE_FAILED_INTERNAL_ERROR]\n"));
    QCOMPARE(refused.exitCode, 1);
    QCOMPARE(sh(sim, QStringLiteral("pm uninstall --user 0 com.android.settings")), QStringLiteral("Success\n"));
    QVERIFY(!sh(sim, QStringLiteral("pm list packages")).contains(QStringLiteral("package:com.android.settings\n")));
    QVERIFY(QFile::exists(sim.hostPath(QStringLiteral("/system/priv-app/Settings/Settings.apk"))));
    QCOMPARE(sh(sim, QStringLiteral("pm uninstall --user 0 com.android.settings")),
             QStringLiteral("Failure [not installed for 0]\n"));
    QCOMPARE(sh(sim, QStringLiteral("pm uninstall --user 0 no.such.package")),
             QStringLiteral("Failure [not installed for 0]\n"));
    QCOMPARE(sh(sim, QStringLiteral("pm uninstall -k com.example.notes")), QStringLiteral("Success\n"));
    QVERIFY(QFileInfo(sim.hostPath(QStringLiteral("/data/data/com.example.notes"))).isDir());
    QCOMPARE(sh(sim, QStringLiteral("pm uninstall org.example.app003")), QStringLiteral("Success\n"));
    QVERIFY(!QFileInfo::exists(sim.hostPath(QStringLiteral("/data/data/org.example.app003"))));
    QCOMPARE(lines(sh(sim, QStringLiteral("pm list packages -3"))).size(), user.size() - 2);
}

void TestPhoneSimApps::unzipStatAndInstallMultiple()
{
    PhoneSim sim(QStringLiteral("modern"), true);
    PHONESIM_START(sim);
    QString base = sh(sim, QStringLiteral("pm path com.example.notes")).trimmed().mid(8);
    // The shell user reads the APK but cannot list /data/app.
    QVERIFY(sim.adb({QStringLiteral("shell"), QStringLiteral("ls /data/app")}).exitCode != 0);
    auto manifest =
        sim.adb({QStringLiteral("exec-out"), QStringLiteral("unzip -p '%1' AndroidManifest.xml").arg(base)});
    QCOMPARE(manifest.exitCode, 0);
    QProcess host;
    host.start(QStringLiteral("unzip"),
               {QStringLiteral("-p"), sim.hostPath(base), QStringLiteral("AndroidManifest.xml")});
    QVERIFY(host.waitForFinished());
    QCOMPARE(manifest.out, host.readAllStandardOutput());
    auto listing = lines(sh(sim, QStringLiteral("unzip -l '%1'").arg(base)));
    QCOMPARE(listing[0], QStringLiteral("Archive:  ") + base);
    QCOMPARE(listing[1], QStringLiteral("  Length      Date    Time    Name"));
    QVERIFY(listing.last().endsWith(QStringLiteral("4 files")));
    // The large application: one stored asset of 21 MiB.
    QString big = sh(sim, QStringLiteral("pm path com.example.videoeditor")).trimmed().mid(8);
    QVERIFY(QFileInfo(sim.hostPath(big)).size() > 20 * 1024 * 1024);
    QVERIFY(
        sh(sim, QStringLiteral("unzip -lv '%1'").arg(big)).contains(QStringLiteral("22020096  Stored 22020096   0%")));

    // Size and date of every APK in one command.
    QStringList paths;
    for (const QString &l : lines(sh(sim, QStringLiteral("pm list packages -f"))))
        paths << QLatin1Char('\'') + l.mid(8, l.lastIndexOf(QStringLiteral(".apk=")) - 8 + 4) + QLatin1Char('\'');
    auto stat = lines(sh(sim, QStringLiteral("stat -c '%s %Y %n' ") + paths.join(QLatin1Char(' '))));
    QCOMPARE(stat.size(), paths.size());
    QVERIFY(stat.first().startsWith(QString::number(QFileInfo(sim.hostPath(paths.first().mid(1).chopped(1))).size())));

    // install-multiple: pull the split application's parts, remove it, put it back through a session.
    QStringList local;
    for (const QString &l : lines(sh(sim, QStringLiteral("pm path com.example.maps")))) {
        QString dest = sim.workDir() + QLatin1Char('/') + l.section(QLatin1Char('/'), -1);
        QCOMPARE(sim.adb({QStringLiteral("pull"), l.mid(8), dest}).exitCode, 0);
        local << dest;
    }
    QCOMPARE(sh(sim, QStringLiteral("pm uninstall com.example.maps")), QStringLiteral("Success\n"));
    sim.clearJournal();
    auto multi = sim.adb(QStringList{QStringLiteral("install-multiple")} + local);
    QVERIFY2(multi.exitCode == 0 && multi.text().contains(QStringLiteral("Success")), qPrintable(multi.all()));
    QStringList journal = sim.journal();
    QVERIFY2(journal.filter(QStringLiteral("cmd: package install-create")).size() == 1, qPrintable(journal.join('\n')));
    QCOMPARE(journal.filter(QStringLiteral("cmd: package install-write -S ")).size(), 3);
    QCOMPARE(journal.filter(QStringLiteral("cmd: package install-commit")).size(), 1);
    auto placed = lines(sh(sim, QStringLiteral("pm path com.example.maps")));
    QCOMPARE(placed.size(), 3);
    QVERIFY(placed[2].endsWith(QStringLiteral("/split_config.en.apk")));
}

void TestPhoneSimApps::legacyList()
{
    PhoneSim sim(QStringLiteral("legacy"), true);
    PHONESIM_START(sim);
    auto list = sh(sim, QStringLiteral("pm list packages -f"));
    QVERIFY2(list.contains(QStringLiteral("package:/data/app/com.example.notes-1.apk=com.example.notes\r\n")),
             qPrintable(list));
    QVERIFY(sh(sim, QStringLiteral("pm list packages -s")).isEmpty());
    QVERIFY(sh(sim, QStringLiteral("pm list packages -U")).startsWith(QStringLiteral("Error: Unknown option: -U\r\n")));
}

QTEST_GUILESS_MAIN(TestPhoneSimApps)
#include "tst_phonesimapps.moc"
