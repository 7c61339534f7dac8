#include "bridge/statusmonitor.h"

#include <QElapsedTimer>
#include <QTest>

#include <atomic>

namespace {

// Answers "adb devices" from a flag the test flips; safe to call from the monitor's thread.
class FlagRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool) override
    {
        if (command.text == QStringLiteral("adb devices"))
            ++polls;
        if (two)
            return QStringLiteral("List of devices attached\nHT9CPP800123\tdevice\n127.0.0.1:5555\toffline\n\n");
        return present ? QStringLiteral("List of devices attached\nHT9CPP800123\tdevice\n\n")
                       : QStringLiteral("List of devices attached\n\n");
    }
    std::atomic<bool> present{true};
    std::atomic<bool> two{false};
    std::atomic<int> polls{0};
};

} // namespace

class TestStatusMonitor : public QObject {
    Q_OBJECT

private slots:
    void dialogAppearsWithinASecondAndPollingGoesOn()
    {
        auto runner = std::make_shared<FlagRunner>();
        int dialogs = 0;
        QElapsedTimer sinceGone;
        qint64 delay = -1;
        QList<DeviceSituation> told;
        StatusMonitor monitor(
            this,
            [&](DeviceSituation situation) {
                told << situation;
                if (++dialogs == 1)
                    delay = sinceGone.elapsed();
                runner->present = true; // the user plugs the phone back in and presses OK
                runner->two = false;
            },
            runner);
        QTRY_VERIFY(runner->polls >= 2);
        QCOMPARE(dialogs, 0);
        runner->present = false;
        sinceGone.start();
        QTRY_COMPARE_WITH_TIMEOUT(dialogs, 1, 2000);
        QVERIFY2(delay < 1600, qPrintable(QString::number(delay))); // about a second, with room for a busy machine
        const int polls = runner->polls;
        QTRY_VERIFY(runner->polls > polls + 1);
        QCOMPARE(dialogs, 1);

        // A second phone listed, none chosen: the host hears that there is a choice to make.
        runner->two = true;
        QTRY_COMPARE_WITH_TIMEOUT(dialogs, 2, 2000);
        QCOMPARE(told, (QList<DeviceSituation>{DeviceSituation::NoDevice, DeviceSituation::MustChoose}));
    }

    void pausedMonitorDoesNotPoll()
    {
        auto runner = std::make_shared<FlagRunner>();
        int dialogs = 0;
        StatusMonitor monitor(
            this, [&](DeviceSituation) { ++dialogs; }, runner, 100);
        QTRY_VERIFY(runner->polls >= 1);
        monitor.pause();
        QTRY_VERIFY(monitor.isHolding()); // a poll that was already running has ended
        const int polls = runner->polls;
        runner->present = false;
        QTest::qWait(600); // the quiet time is what is tested: six poll intervals without a poll
        QCOMPARE(int(runner->polls), polls);
        QCOMPARE(dialogs, 0);
        monitor.resume();
        QTRY_VERIFY(dialogs >= 1);
    }

    void stopsWhileBlockedInTheDialogCall()
    {
        auto runner = std::make_shared<FlagRunner>();
        runner->present = false;
        int dialogs = 0;
        QElapsedTimer timer;
        {
            StatusMonitor monitor(
                this, [&](DeviceSituation) { ++dialogs; }, runner, 50);
            // This thread serves no events now, so the monitor blocks in its call onto it; a QTRY wait
            // would serve the call, so this one sleeps.
            QThread::msleep(300);
            timer.start();
            monitor.stop();
            QVERIFY(monitor.isFinished());
        }
        QVERIFY(timer.elapsed() < 1000);
        QCOMPARE(dialogs, 0); // no dialog once shut-down has begun
        const int polls = runner->polls;
        QTest::qWait(200); // the quiet time is what is tested
        QCOMPARE(int(runner->polls), polls);
    }
};

QTEST_GUILESS_MAIN(TestStatusMonitor)
#include "tst_statusmonitor.moc"
