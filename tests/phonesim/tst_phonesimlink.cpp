// The link between the adb server and a simulated phone, seen through Debian's real adb: a phone that goes
// offline or waits for the user to accept the PC's key. Two phones on one server are exercised by the console's
// end-to-end tests.

#include "common/phonesimfixture.h"

#include <QTest>

namespace {

// adb's own message without the prefix its client put before it: "error: " up to adb 29, "adb: " from 30 on.
QString adbMessage(const QString &text)
{
    for (const QLatin1StringView prefix : {QLatin1StringView("error: "), QLatin1StringView("adb: ")}) {
        if (text.startsWith(prefix))
            return text.mid(prefix.size());
    }
    return QStringLiteral("(not adb's own error) ") + text;
}

} // namespace

class TestPhoneSimLink : public QObject {
    Q_OBJECT

private slots:
    void linkStates();
};

void TestPhoneSimLink::linkStates()
{
    PhoneSim sim(QStringLiteral("modern"));
    PHONESIM_START(sim);
    const QStringList shell = {QStringLiteral("-s"), sim.serial(), QStringLiteral("shell"), QStringLiteral("echo up")};

    QVERIFY(sim.setLinkState(QStringLiteral("offline")));
    auto offline = sim.adb(shell);
    QCOMPARE(offline.exitCode, 1);
    QCOMPARE(adbMessage(offline.errText()), QStringLiteral("device offline"));
    auto pull = sim.adb(
        {QStringLiteral("-s"), sim.serial(), QStringLiteral("pull"), QStringLiteral("/init.rc"), sim.workDir()});
    QCOMPARE(pull.exitCode, 1);
    QVERIFY2(pull.all().contains(QStringLiteral("device offline")), qPrintable(pull.all()));

    // The adb server reconnected on its own; the handshake it is waiting on completes.
    QVERIFY(sim.setLinkState(QStringLiteral("device")));
    QCOMPARE(sim.adb(shell).trimmed(), QStringLiteral("up"));

    // The phone asks for a key the user never confirms: adb signs, offers its key, and gives up.
    QVERIFY(sim.setLinkState(QStringLiteral("unauthorized")));
    auto unauthorized = sim.adb(shell);
    QCOMPARE(unauthorized.exitCode, 1);
    const QString advice = unauthorized.errText();
    QVERIFY2(adbMessage(advice).startsWith(QStringLiteral("device unauthorized.\n")), qPrintable(advice));
    QVERIFY(advice.endsWith(QStringLiteral("Otherwise check for a confirmation dialog on your device.")));
    // Still unauthorized once adb has had time to try every key it has: the wait is what is tested.
    QTest::qWait(1500);
    QCOMPARE(sim.listedState(), QStringLiteral("unauthorized"));

    QVERIFY(sim.setLinkState(QStringLiteral("device")));
    QCOMPARE(sim.adb(shell).trimmed(), QStringLiteral("up"));
    // From unauthorized straight to offline and back, without "adb connect" in between.
    QVERIFY(sim.setLinkState(QStringLiteral("unauthorized")));
    QVERIFY(sim.setLinkState(QStringLiteral("offline")));
    QVERIFY(sim.setLinkState(QStringLiteral("device")));
    QCOMPARE(sim.adb(shell).trimmed(), QStringLiteral("up"));
    QVERIFY(!sim.setLinkState(QStringLiteral("asleep")));
}

QTEST_GUILESS_MAIN(TestPhoneSimLink)
#include "tst_phonesimlink.moc"
