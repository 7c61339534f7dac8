#include "bridge/adbutils.h"
#include "bridge/programrun.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <thread>

// The signal-driven runner against a real child: output before the end, and ends that do not wait for it.
class TestProgramRun : public QObject {
    Q_OBJECT

private:
    static CommandLine child(const QStringList &arguments) { return {QStringLiteral(VB_TEST_CHILD), arguments, {}}; }

private slots:
    void outputArrivesWhileRunningAndStopEndsIt()
    {
        ProgramRun run;
        QSignalSpy output(&run, &ProgramRun::output);
        QSignalSpy finished(&run, &ProgramRun::finished);
        run.start(child({QStringLiteral("sleep"), QStringLiteral("60000")}));
        QTRY_VERIFY(!output.isEmpty());
        QCOMPARE(output.first().first().toString(), QStringLiteral("slept\n"));
        QVERIFY(run.isRunning());
        QVERIFY(finished.isEmpty());

        QElapsedTimer clock;
        clock.start();
        run.stop();
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(finished.first().first().value<RunEnd>(), RunEnd::Stopped);
        QVERIFY(!run.isRunning());

        // The same object runs the next command, which ends by itself.
        output.clear();
        run.start(child({QStringLiteral("args"), QStringLiteral("a b")}));
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished.last().first().value<RunEnd>(), RunEnd::Exited);
        QCOMPARE(finished.last().at(1).toInt(), 0);
        QString all;
        for (const QList<QVariant> &chunk : output)
            all += chunk.first().toString();
        QCOMPARE(all, QStringLiteral("[a b]\n"));
    }

    // A token cancelled beforehand starts nothing; Cancel and the time limit while running are checked
    // through the runner.
    void cancelledTokenStartsNothing()
    {
        ProgramRun run;
        QSignalSpy finished(&run, &ProgramRun::finished);
        RunOptions options;
        options.cancel = std::make_shared<CancelToken>();
        options.cancel->cancel();
        run.start(child({QStringLiteral("silent")}), options);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<RunEnd>(), RunEnd::Stopped);
    }

    void missingProgramDoesNotStart()
    {
        ProgramRun run;
        QSignalSpy output(&run, &ProgramRun::output);
        QSignalSpy finished(&run, &ProgramRun::finished);
        run.start({QStringLiteral("/nonexistent/velbrook-no-such-tool"), {}, {}});
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<RunEnd>(), RunEnd::NotStarted);
        QVERIFY(output.isEmpty());
    }

    // Workers (the status monitor, the installer folder's readers) run adb calls on threads of their own.
    void waitingCallsWorkOnAnyThread()
    {
        QString answers[2];
        std::thread threads[2];
        for (int i = 0; i < 2; ++i) {
            threads[i] = std::thread([&answers, i] {
                AdbClient adb;
                answers[i] = adb.runAdb(child({QStringLiteral("args"), QString::number(i)})).output;
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(answers[0], QStringLiteral("[0]\n"));
        QCOMPARE(answers[1], QStringLiteral("[1]\n"));
    }
};

QTEST_GUILESS_MAIN(TestProgramRun)
#include "tst_programrun.moc"
