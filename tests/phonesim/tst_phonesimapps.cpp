// What an applications manager asks a current phone through the real adb: package lists with paths,
// versions and uids, split APKs and uninstalling for a user. The program's own tests read APKs and install
// split ones through it.

#include "common/phonesimfixture.h"

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

    // pm path of an unknown package: nothing, and exit 1.
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
