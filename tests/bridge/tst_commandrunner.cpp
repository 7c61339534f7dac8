#include "bridge/adbutils.h"
#include "bridge/commandrunner.h"
#include "common/testfiles.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestCommandRunner : public QObject {
    Q_OBJECT

private:
    QString child() const { return QStringLiteral(VB_TEST_CHILD); }
    QString run(const QStringList &arguments, bool wantOutput = true)
    {
        AdbClient adb;
        return adb.runAdb(CommandLine{child(), arguments, arguments.join(u' ')}, wantOutput).output;
    }
    static CommandLine shell(const QString &script)
    {
        return CommandLine{QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, script};
    }

private slots:
    void missingProgramGivesError()
    {
        AdbClient adb;
        const CommandLine missing{QStringLiteral("velbrook-no-such-program"), {QStringLiteral("--version")}, {}};
        const CommandResult result = adb.runAdb(missing);
        QCOMPARE(result.output, QStringLiteral("error"));
        QCOMPARE(result.errorText, QStringLiteral("Could not start velbrook-no-such-program"));
        QVERIFY(!result.exitStatus);
        QCOMPARE(adb.runAdb(CommandLine{}).output, QStringLiteral("error"));
        QCOMPARE(adb.runAdb(missing, false).output, QStringLiteral("error"));
    }

    // Output comes back whole and as written, both streams in their order; arguments reach the child as
    // given, none cut or read by a shell.
    void childOutput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("silent") << QStringList{"silent"} << QString();
        QTest::newRow("utf-8, not trimmed") << QStringList{"utf8"} << QStringLiteral("Zdjęcie żółw\r\n");
        QTest::newRow("nul") << QStringList{"nul"} << QStringLiteral("abcd\nef");
        QStringList mixed;
        for (int i = 0; i < 50; ++i)
            mixed << (i % 2 == 0 ? QStringLiteral("out%1") : QStringLiteral("err%1")).arg(i);
        QTest::newRow("both streams") << QStringList{"mixed"} << QString(mixed.join(u'\n') + u'\n');
        QTest::newRow("special characters")
            << QStringList{"args", "a>>b", "x | y", "q\"uote", "'single'", "%PATH%", "$HOME", "`id`"}
            << QStringLiteral("[a>>b]\n[x | y]\n[q\"uote]\n['single']\n[%PATH%]\n[$HOME]\n[`id`]\n");
        const QString longArgument = QString(3000, u'x') + QStringLiteral("END");
        QTest::newRow("long command line")
            << QStringList{"args", longArgument} << QString(u'[' + longArgument + u"]\n");
    }
    void childOutput()
    {
        QFETCH(QStringList, arguments);
        QTEST(run(arguments), "expected");
    }

    void longOutputArrivesWhole()
    {
        const QString out = run({QStringLiteral("big"), QStringLiteral("20000")});
        QCOMPARE(out.size(), 20000 * 8);
        for (int i = 0; i < 20000; i += 997)
            QCOMPARE(out.mid(i * 8, 8), QStringLiteral("%1;").arg(i, 7, 10, QLatin1Char('0')));
        QVERIFY(out.endsWith(QStringLiteral("0019999;")));
    }

    // exec-out streams binary members: the file gets every byte (NULs, CR LF), the text only the errors.
    void standardOutputToAFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("out.bin"));
        RunOptions options;
        options.stdoutFile = file;
        const auto runner = defaultCommandRunner();

        QVERIFY(writeAll(file, QByteArray(100, 'x')));
        QCOMPARE(runner->runWith(CommandLine{child(), {QStringLiteral("nul")}, QString()}, true, options), QString());
        QCOMPARE(readAll(file), QByteArray("ab\0cd\nef", 8));

        QStringList out, err;
        for (int i = 0; i < 50; ++i)
            (i % 2 == 0 ? out : err) << (i % 2 == 0 ? QStringLiteral("out%1") : QStringLiteral("err%1")).arg(i);
        const QString errors =
            runner->runWith(CommandLine{child(), {QStringLiteral("mixed")}, QString()}, true, options);
        QCOMPARE(errors, err.join(u'\n') + u'\n');
        QCOMPARE(QString::fromUtf8(readAll(file)), out.join(u'\n') + u'\n');

        // A file that cannot be created is a command that could not run.
        options.stdoutFile = dir.filePath(QStringLiteral("missing/out.bin"));
        QCOMPARE(runner->runWith(CommandLine{child(), {QStringLiteral("nul")}, QString()}, true, options),
                 QStringLiteral("error"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    }

    void noOutputWantedStillWaitsForTheEnd()
    {
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(run({QStringLiteral("sleep"), QStringLiteral("400")}, false), QString());
        QVERIFY(timer.elapsed() >= 350);
    }

    // The start-up command is typed in the settings: quotes group, and no shell ever reads it.
    void typedCommandLineReachesTheProgramAsTyped()
    {
        const CommandLine typed = typedCommandLine(u'"' + child() + QStringLiteral("\" args \"a b\" $HOME;id"));
        QCOMPARE(typed.program, child());
        AdbClient adb;
        QCOMPARE(adb.runAdb(typed).output, QStringLiteral("[a b]\n[$HOME;id]\n"));
    }

    // A child that never ends, with a grandchild holding its output open: stopped whole by Cancel or the
    // time limit; the token then holds for the next command too, until reset.
    void cancelAndTimeLimitStopTheWholeChild()
    {
        const CommandLine endless = shell(QStringLiteral("echo started; sleep 60 & sleep 60"));
        const CommandLine again{QStringLiteral("/bin/echo"), {QStringLiteral("again")}, {}};
        AdbClient adb;
        auto token = std::make_shared<CancelToken>();
        adb.setCancelToken(token);
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(300, this, [token] { token->cancel(); });
        CommandResult result = adb.runAdb(endless);
        QCOMPARE(result.output.trimmed(), QStringLiteral("started"));
        QCOMPARE(result.errorText, QStringLiteral("Stopped"));
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(adb.isCancelled());
        clock.restart();
        QCOMPARE(adb.runAdb(again).output, QString());
        token->reset();
        QCOMPARE(adb.runAdb(again).output.trimmed(), QStringLiteral("again"));

        AdbClient limited;
        limited.setTimeout(300);
        clock.restart();
        result = limited.runAdb(endless);
        QCOMPARE(result.output.trimmed(), QStringLiteral("started"));
        QCOMPARE(result.errorText, QStringLiteral("Timed out"));
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(limited.runAdb(again).ok());
    }

    // Only a child that ended by itself has an exit code; one stopped at its time limit or never started has none.
    void exitCodeOfAChildThatEnded()
    {
        AdbClient adb;
        adb.setTimeout(300);
        CommandResult result = adb.runAdb(shell(QStringLiteral("echo half; exit 3")));
        QCOMPARE(result.output.trimmed(), QStringLiteral("half"));
        QCOMPARE(result.exitStatus, std::optional<int>(3));
        QVERIFY(!result.ok());
        result = adb.runAdb(shell(QStringLiteral("true")));
        QCOMPARE(result.exitStatus, std::optional<int>(0));
        QVERIFY(result.ok());
        QVERIFY(!adb.runAdb(shell(QStringLiteral("sleep 60"))).exitStatus);
        QVERIFY(!adb.runAdb(CommandLine{QStringLiteral("/no/such/program"), {}, QStringLiteral("x")}).exitStatus);
    }

    void eventsAreServedWhileWaiting()
    {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(20);
        run({QStringLiteral("sleep"), QStringLiteral("300")});
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
