#include "bridge/streamingcommand.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

// The streamed runner against a real child: output before the end, and a stop that does not wait for it.
class TestStreamingCommand : public QObject {
    Q_OBJECT

private slots:
    void outputArrivesWhileRunningAndStopEndsIt()
    {
        ProcessStreamingCommand command;
        QSignalSpy output(&command, &StreamingCommand::output);
        QSignalSpy finished(&command, &StreamingCommand::finished);
        command.start({QStringLiteral(VB_TEST_CHILD), {QStringLiteral("sleep"), QStringLiteral("60000")}, {}});
        QTRY_VERIFY(!output.isEmpty());
        QCOMPARE(output.first().first().toString(), QStringLiteral("slept\n"));
        QVERIFY(command.isRunning());
        QVERIFY(finished.isEmpty());

        QElapsedTimer clock;
        clock.start();
        command.stop();
        QTRY_COMPARE(finished.size(), 1);
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(finished.first().first().value<StreamEnd>(), StreamEnd::Stopped);
        QVERIFY(!command.isRunning());

        // The same object runs the next command, which ends by itself.
        output.clear();
        command.start({QStringLiteral(VB_TEST_CHILD), {QStringLiteral("args"), QStringLiteral("a b")}, {}});
        QTRY_COMPARE(finished.size(), 2);
        QCOMPARE(finished.last().first().value<StreamEnd>(), StreamEnd::Ended);
        QString all;
        for (const QList<QVariant> &chunk : output)
            all += chunk.first().toString();
        QCOMPARE(all, QStringLiteral("[a b]\n"));
    }

    void missingProgramSaysError()
    {
        ProcessStreamingCommand command;
        QSignalSpy output(&command, &StreamingCommand::output);
        QSignalSpy finished(&command, &StreamingCommand::finished);
        command.start({QStringLiteral("/nonexistent/velbrook-no-such-tool"), {}, {}});
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<StreamEnd>(), StreamEnd::NotStarted);
        QCOMPARE(output.size(), 1);
        QCOMPARE(output.first().first().toString(), QStringLiteral("error"));
    }
};

QTEST_GUILESS_MAIN(TestStreamingCommand)
#include "tst_streamingcommand.moc"
