// The link between the adb server and the simulated phones, seen through Debian's real adb: a phone that goes
// offline or waits for the user to accept the PC's key, and two phones on one server.

#include "common/phonesimfixture.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size();
}

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
    void twoPhones();
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

void TestPhoneSimLink::twoPhones()
{
    PhoneSim first(QStringLiteral("legacy"));
    PHONESIM_START(first);
    auto second = std::make_unique<PhoneSim>(QStringLiteral("modern"));
    QVERIFY2(second->startBeside(first), qPrintable(second->errorString()));
    QCOMPARE(second->adbPort(), first.adbPort());
    QVERIFY(second->serial() != first.serial());
    QCOMPARE(first.listedState(), QStringLiteral("device"));
    QCOMPARE(second->listedState(), QStringLiteral("device"));

    // Each serial reaches its own phone's files.
    QVERIFY(writeFile(first.hostPath(QStringLiteral("/mnt/sdcard/who.txt")), "first\n"));
    QVERIFY(writeFile(second->hostPath(QStringLiteral("/storage/emulated/0/who.txt")), "second\n"));
    const QStringList cat = {QStringLiteral("shell"), QStringLiteral("cat /sdcard/who.txt")};
    QCOMPARE(first.adb(QStringList{QStringLiteral("-s"), first.serial()} + cat).trimmed(), QStringLiteral("first"));
    QCOMPARE(first.adb(QStringList{QStringLiteral("-s"), second->serial()} + cat).trimmed(), QStringLiteral("second"));
    auto ambiguous = first.adb(cat);
    QCOMPARE(ambiguous.exitCode, 1);
    QCOMPARE(adbMessage(ambiguous.errText()), QStringLiteral("more than one device/emulator"));

    // The long list with one phone waiting for its key: a new connection to it has no banner to show.
    QVERIFY(second->setLinkState(QStringLiteral("unauthorized")));
    first.adb({QStringLiteral("disconnect"), second->serial()});
    auto reconnect = first.adb({QStringLiteral("connect"), second->serial()});
    QCOMPARE(reconnect.trimmed(), QStringLiteral("failed to authenticate to %1").arg(second->serial()));
    QTRY_COMPARE(second->listedState(), QStringLiteral("unauthorized"));
    auto longList = first.adb({QStringLiteral("devices"), QStringLiteral("-l")}).text();
    const QRegularExpression device(
        QStringLiteral(R"(^%1 +device product:passion model:Nexus_One device:passion transport_id:\d+$)")
            .arg(QRegularExpression::escape(first.serial())));
    const QRegularExpression waiting(
        QStringLiteral(R"(^%1 +unauthorized transport_id:\d+$)").arg(QRegularExpression::escape(second->serial())));
    QStringList rows = longList.split(QLatin1Char('\n'));
    QCOMPARE(rows.takeFirst(), QStringLiteral("List of devices attached"));
    QVERIFY2(rows.size() == 4 && rows.filter(device).size() == 1 && rows.filter(waiting).size() == 1,
             qPrintable(longList));
    if (qEnvironmentVariableIntValue("VELBROOK_CAPTURE") == 1)
        QVERIFY(writeFile(QStringLiteral(PHONESIM_DATA_DIR "/devices-l.txt"), longList.toUtf8()));

    // The second phone leaves the server running for the first.
    second.reset();
    QCOMPARE(first.adb(QStringList{QStringLiteral("-s"), first.serial()} + cat).trimmed(), QStringLiteral("first"));
}

QTEST_GUILESS_MAIN(TestPhoneSimLink)
#include "tst_phonesimlink.moc"
