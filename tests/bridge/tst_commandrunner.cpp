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
    QString run(const QString &arguments, bool wantOutput = true)
    {
        TADB adb;
        return adb.Run(QStringLiteral("\"") + child() + QStringLiteral("\" ") + arguments, wantOutput);
    }

private slots:
    void splitsLikeWindows_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("blanks") << "a  b\tc" << QStringList{"a", "b", "c"};
        QTest::newRow("quotes group") << "adb push \"C:\\my files\\a.txt\" \"/sdcard/\""
                                      << QStringList{"adb", "push", "C:\\my files\\a.txt", "/sdcard/"};
        QTest::newRow("escaped quote") << "x \"say \\\"hi\\\"\" y" << QStringList{"x", "say \"hi\"", "y"};
        QTest::newRow("backslashes before quote") << "x \"a\\\\\" b" << QStringList{"x", "a\\", "b"};
        QTest::newRow("plain backslashes") << "C:\\dir\\\\x" << QStringList{"C:\\dir\\\\x"};
        QTest::newRow("empty argument") << "a \"\" b" << QStringList{"a", "", "b"};
        QTest::newRow("glued") << "a\"b c\"d" << QStringList{"ab cd"};
    }
    void splitsLikeWindows()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, args);
        QCOMPARE(splitCommandLine(line), args);
    }

    void missingProgramGivesError()
    {
        TADB adb;
        QCOMPARE(adb.Run(QStringLiteral("velbrook-no-such-program --version"), true), QStringLiteral("error"));
        QCOMPARE(adb.Run(QString(), true), QStringLiteral("error"));
        QCOMPARE(adb.Run(QStringLiteral("velbrook-no-such-program"), false), QStringLiteral("error"));
    }

    void silentProgramGivesEmptyText() { QCOMPARE(run(QStringLiteral("silent")), QString()); }

    void mergesBothStreamsInWrittenOrder()
    {
        QStringList expected;
        for (int i = 0; i < 50; ++i)
            expected << (i % 2 == 0 ? QStringLiteral("out%1") : QStringLiteral("err%1")).arg(i);
        QCOMPARE(run(QStringLiteral("mixed")), expected.join(u'\n') + u'\n');
    }

    void longOutputArrivesWhole()
    {
        const QString out = run(QStringLiteral("big 20000"));
        QCOMPARE(out.size(), 20000 * 8);
        for (int i = 0; i < 20000; i += 997)
            QCOMPARE(out.mid(i * 8, 8), QStringLiteral("%1;").arg(i, 7, 10, QLatin1Char('0')));
        QVERIFY(out.endsWith(QStringLiteral("0019999;")));
    }

    void outputIsNotTrimmedAndKeepsText()
    {
        QCOMPARE(run(QStringLiteral("utf8")), QStringLiteral("Zdjęcie żółw\r\n"));
        QCOMPARE(run(QStringLiteral("nul")), QStringLiteral("abcd\nef"));
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
        QCOMPARE(run(QStringLiteral("sleep 400"), false), QString());
        QVERIFY(timer.elapsed() >= 350);
    }

    void specialCharactersReachTheProgramUnchanged()
    {
        const QString out = run(QStringLiteral("args a>>b \"x | y\" \"q\\\"uote\" 'single' %PATH% $HOME `id`"));
        QCOMPARE(out, QStringLiteral("[a>>b]\n[x | y]\n[q\"uote]\n['single']\n[%PATH%]\n[$HOME]\n[`id`]\n"));
    }

    void longCommandLineIsRunWhole()
    {
        // A cut command line would run a different command; the whole one must arrive.
        const QString arg = QString(3000, u'x') + QStringLiteral("END");
        QCOMPARE(run(QStringLiteral("args ") + arg), u'[' + arg + QStringLiteral("]\n"));
    }

    // A child that never ends, with a grandchild holding its output open: stopped whole by Cancel or the
    // time limit; the token then holds for the next command too, until reset.
    void cancelAndTimeLimitStopTheWholeChild()
    {
        const QString endless = QStringLiteral("/bin/sh -c \"echo started; sleep 60 & sleep 60\"");
        TADB adb;
        auto token = std::make_shared<CancelToken>();
        adb.setCancelToken(token);
        QElapsedTimer clock;
        clock.start();
        QTimer::singleShot(300, this, [token] { token->cancel(); });
        QCOMPARE(adb.Run(endless, true).trimmed(), QStringLiteral("started"));
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(adb.isCancelled());
        clock.restart();
        QCOMPARE(adb.Run(QStringLiteral("/bin/echo again"), true), QString());
        token->reset();
        QCOMPARE(adb.Run(QStringLiteral("/bin/echo again"), true).trimmed(), QStringLiteral("again"));

        TADB limited;
        limited.setTimeout(300);
        clock.restart();
        QCOMPARE(limited.Run(endless, true).trimmed(), QStringLiteral("started"));
        QVERIFY(clock.elapsed() < 10000);
        QCOMPARE(limited.Run(QStringLiteral("/bin/echo fast"), true).trimmed(), QStringLiteral("fast"));
    }

    // Only a child that ended by itself has an exit code; one stopped at its time limit or never started has none.
    void exitCodeOfAChildThatEnded()
    {
        const auto shell = [](const QString &script) {
            return CommandLine{QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, script};
        };
        TADB adb;
        adb.setTimeout(300);
        std::optional<int> code;
        QCOMPARE(adb.Run(shell(QStringLiteral("echo half; exit 3")), code).trimmed(), QStringLiteral("half"));
        QCOMPARE(code, std::optional<int>(3));
        adb.Run(shell(QStringLiteral("true")), code);
        QCOMPARE(code, std::optional<int>(0));
        adb.Run(shell(QStringLiteral("sleep 60")), code);
        QVERIFY(!code);
        QCOMPARE(adb.Run(CommandLine{QStringLiteral("/no/such/program"), {}, QStringLiteral("x")}, code),
                 QStringLiteral("error"));
        QVERIFY(!code);
    }

    void eventsAreServedWhileWaiting()
    {
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(20);
        run(QStringLiteral("sleep 300"));
        QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    }
};

QTEST_GUILESS_MAIN(TestCommandRunner)
#include "tst_commandrunner.moc"
