#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "device/console.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Plays a command's life from the test: its output chunks, its end, a stop.
class FakeStream final : public ProgramRun {
public:
    void start(const CommandLine &command, const RunOptions &) override
    {
        commands << command;
        running = true;
    }
    void stop() override
    {
        ++stops;
        if (running)
            end(RunEnd::Stopped);
    }
    bool isRunning() const override { return running; }

    void say(const QString &text) { emit output(text); }
    void end(RunEnd how = RunEnd::Exited)
    {
        running = false;
        emit finished(how, 0);
    }

    QList<CommandLine> commands;
    bool running = false;
    int stops = 0;
};

struct Fixture {
    Fixture()
    {
        auto stream = std::make_unique<FakeStream>();
        fake = stream.get();
        console = std::make_unique<ShellConsole>(std::move(stream));
    }
    FakeStream *fake;
    std::unique_ptr<ShellConsole> console;
};

QString readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The script the console pushes: 52 bytes on the PC.
QString script(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("setup.sh"));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(QByteArray(52, 'x')) == 52 ? path : QString();
}

} // namespace

class TestConsole : public QObject {
    Q_OBJECT

private slots:
    void transcriptOfOneCommand_data()
    {
        QTest::addColumn<QStringList>("chunks");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("nextPrompt");
        const QString shell = QStringLiteral("[velbrook-shell:uid=2000(shell) gid=2000(shell) groups=1003(graphics)|");
        QTest::newRow("LF") << QStringList{QStringLiteral("a.txt\nb.txt\n")} << QStringLiteral("a.txt\nb.txt")
                            << QStringLiteral("$ ");
        QTest::newRow("CR LF cut between chunks")
            << QStringList{QStringLiteral("a.txt\r"), QStringLiteral("\nb.txt\r\n\r\n")}
            << QStringLiteral("a.txt\nb.txt") << QStringLiteral("$ ");
        QTest::newRow("lone CR at a chunk's end") << QStringList{QStringLiteral("a.txt\r"), QStringLiteral("b.txt\n")}
                                                  << QStringLiteral("a.txt\nb.txt") << QStringLiteral("$ ");
        QTest::newRow("leading and trailing blank lines trimmed, inner kept")
            << QStringList{QStringLiteral("\r\n  \n"), QStringLiteral("one\n\n"), QStringLiteral("\n  two  \n\n")}
            << QStringLiteral("one\n\n\n  two") << QStringLiteral("$ ");
        QTest::newRow("no output") << QStringList{} << QString() << QStringLiteral("$ ");
        QTest::newRow("blank output") << QStringList{QStringLiteral("\r\n"), QStringLiteral(" \n")} << QString()
                                      << QStringLiteral("$ ");
        QTest::newRow("shell state cut between chunks, never shown")
            << QStringList{QStringLiteral("a.txt\r\n[velbrook-sh"), shell.mid(12) + QStringLiteral("/mnt/sdcard]\r\n")}
            << QStringLiteral("a.txt") << QStringLiteral("/mnt/sdcard $ ");
        QTest::newRow("root, output without a line end")
            << QStringList{QStringLiteral("a.txt[velbrook-shell:uid=0(root) gid=0(root)|/]\n")}
            << QStringLiteral("a.txt") << QStringLiteral("/ # ");
        QTest::newRow("a start of the marker that is output")
            << QStringList{QStringLiteral("a[velbrook"), QStringLiteral("-x]\n")} << QStringLiteral("a[velbrook-x]")
            << QStringLiteral("$ ");
        // Output and errors come on two streams: an error may follow the state line.
        QTest::newRow("error after the shell state")
            << QStringList{QStringLiteral("hi\n") + shell + QStringLiteral("/]\n"),
                           QStringLiteral("sh: -x: not found\n")}
            << QStringLiteral("hi\nsh: -x: not found") << QStringLiteral("/ $ ");
    }
    void transcriptOfOneCommand()
    {
        QFETCH(QStringList, chunks);
        QFETCH(QString, shown);
        QFETCH(QString, nextPrompt);
        Fixture f;
        QVERIFY(f.console->send(QStringLiteral("ls /sdcard")));
        QCOMPARE(f.fake->commands.size(), 1);
        // One argument after "shell": pipes and quotes reach the phone's shell as typed.
        QCOMPARE(
            f.fake->commands.first().arguments,
            (QStringList{QStringLiteral("shell"), QStringLiteral("ls /sdcard\necho \"[velbrook-shell:$(id)|$PWD]\"")}));
        for (const QString &chunk : chunks)
            f.fake->say(chunk);
        f.fake->end();
        QCOMPARE(f.console->transcript(), QStringLiteral("$ ls /sdcard \n \n") + shown);
        QVERIFY(!f.console->isRunning());
        QCOMPARE(f.console->prompt(), nextPrompt);
    }

    void folderCarriedToTheNextCommand()
    {
        Fixture f;
        QVERIFY(f.console->send(QStringLiteral("cd /sdcard/My Files")));
        f.fake->say(QStringLiteral("[velbrook-shell:uid=2000(shell)|/storage/emulated/0/My Files]\n"));
        f.fake->end();
        QVERIFY(f.console->send(QStringLiteral("ls || echo none")));
        // The user's && and || stay together behind the cd; a folder that is gone runs nothing.
        QCOMPARE(f.fake->commands.last().arguments.last(),
                 QStringLiteral("cd \"/storage/emulated/0/My Files\" && {\nls || echo none\n}\n"
                                "echo \"[velbrook-shell:$(id)|$PWD]\""));
        f.fake->say(QStringLiteral("a.txt\n"));
        f.console->stop();
        // A stopped command says nothing about the shell: the folder stays.
        QCOMPARE(f.console->folder(), QStringLiteral("/storage/emulated/0/My Files"));
        QVERIFY2(f.console->transcript().endsWith(
                     QStringLiteral("\n \n/storage/emulated/0/My Files $ ls || echo none \n \na.txt\n^C (stopped)")),
                 qPrintable(f.console->transcript()));
        QVERIFY(!parseShellState(QStringLiteral("[velbrook-shell:no id|/x]")));
        QVERIFY(!parseShellState(QStringLiteral("[velbrook-shell:uid=0(root)|relative]")));
    }

    void oneCommandAtATime()
    {
        Fixture f;
        QSignalSpy running(f.console.get(), &ShellConsole::runningChanged);
        QVERIFY(!f.console->send(QStringLiteral("   ")));
        QVERIFY(!f.console->send(QString()));
        QVERIFY(f.fake->commands.isEmpty());

        // Blanks around a command are sent and kept; only the emptiness test trims.
        QVERIFY(f.console->send(QStringLiteral(" sleep 1000 ")));
        QVERIFY(f.fake->commands.first().arguments.last().startsWith(QStringLiteral(" sleep 1000 \n")));
        QVERIFY(!f.console->send(QStringLiteral("ls")));
        QCOMPARE(f.fake->commands.size(), 1);

        f.fake->say(QStringLiteral("tick\n"));
        f.console->stop();
        QCOMPARE(f.fake->stops, 1);
        QVERIFY(f.console->transcript().endsWith(QStringLiteral("$  sleep 1000  \n \ntick\n^C (stopped)")));
        QCOMPARE(running.size(), 2);
        QCOMPARE(running.last().first().toBool(), false);

        // Output of a stopped command that arrives late is not added.
        f.fake->say(QStringLiteral("late"));
        QVERIFY(!f.console->transcript().contains(QStringLiteral("late")));

        QVERIFY(f.console->send(QStringLiteral("ls")));
        f.fake->end();
        QCOMPARE(f.console->history().entries(), (QStringList{QStringLiteral(" sleep 1000 "), QStringLiteral("ls")}));
        // A stop with nothing running reaches no command.
        f.console->stop();
        QCOMPARE(f.fake->stops, 1);
    }

    void historyKeptInItsFile()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("console_history.txt"));
        {
            CommandHistory history;
            history.load(file);
            history.add(QStringLiteral(" ls -l "));
            history.add(QStringLiteral("echo \"a\nb\""));
            history.add(QStringLiteral("cat /proc/version"));
        }
        // A command with a line break lives in its run only; blanks are kept.
        QCOMPARE(readFile(file), QStringLiteral(" ls -l \ncat /proc/version\n"));

        CommandHistory empty;
        QCOMPARE(empty.up(QStringLiteral("x")), QStringLiteral("x"));
        QCOMPARE(empty.down(QStringLiteral("x")), QStringLiteral("x"));
    }

    // What adb printed for a script's push, with what one "ls -l" then shows of /sdcard/setup.sh (52 bytes). adb's
    // own wordings are the bridge's to read; here each way a push can end.
    void pushedScripts_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("listing");
        QTest::addColumn<bool>("arrived");
        const QString toybox = QStringLiteral("-rw-rw---- 1 u0_a57 media_rw 52 2026-12-07 04:25 /sdcard/setup.sh\n");
        const QString toolbox = QStringLiteral("----rwxr-x system   sdcard_rw       52 2011-03-02 10:11 setup.sh\r\n");
        const QString count = QStringLiteral("/tmp/setup.sh: 1 file pushed, 0 skipped. 0.1 MB/s (52 bytes in 0.001s)");
        QTest::newRow("modern ok") << count << toybox << true;
        QTest::newRow("old ok") << QStringLiteral("12 KB/s (52 bytes in 0.004s)") << toolbox << true;
        QTest::newRow("error in the name is fine")
            << QStringLiteral("/tmp/error: x.sh: 1 file pushed, 0 skipped.") << toybox << true;
        // Refused, while an older script of the same size is on the card.
        const QString denied = QStringLiteral("adb: error: failed to copy '/tmp/setup.sh' to '/sdcard/setup.sh': "
                                              "remote couldn't create file: Permission denied");
        QTest::newRow("29 denied") << denied + QStringLiteral("\n/tmp/setup.sh: 0 files pushed, 0 skipped.") << toybox
                                   << false;
        QTest::newRow("30+ denied, count first") << count + u'\n' + denied << toybox << false;
        QTest::newRow("no device") << QStringLiteral("adb: no devices/emulators found") << toybox << false;
        // Counted, yet not on the card whole.
        QTest::newRow("cut short") << count << QStringLiteral("-rw-rw---- 1 u0_a57 media_rw 20 2026-12-07 04:25 x\n")
                                   << false;
        QTest::newRow("not there") << count << QStringLiteral("ls: /sdcard/setup.sh: No such file or directory\n")
                                   << false;
        // Current adb clients on pushes the phone refused, captured by others: the count line says "pushed",
        // before or after the error, with CR LF from Windows.
        const QDir captures(QStringLiteral(VELBROOK_REAL_OUTPUTS));
        for (const QString &name :
             captures.entryList({QStringLiteral("adb-current-push-refused-*.txt")}, QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << readFile(captures.filePath(name)) << toybox << false;
    }
    void pushedScripts()
    {
        QFETCH(QString, output);
        QFETCH(QString, listing);
        QFETCH(bool, arrived);
        QTemporaryDir dir;
        const QString local = script(dir);
        auto runner = std::make_shared<RecordingRunner>();
        runner->answers.insert(QStringLiteral("adb shell ls -l \"/sdcard/setup.sh\""), listing);
        AdbClient adb(runner);
        const QString problem = pushedScriptProblem(adb, output, local, QStringLiteral("/sdcard/setup.sh"), true);
        QVERIFY2(problem.isEmpty() == arrived, qPrintable(problem));
        // adb's own words come first in the log.
        if (!arrived && !output.isEmpty())
            QVERIFY(problem.startsWith(output.trimmed()));
    }

    void networkConnect()
    {
        auto runner = std::make_shared<RecordingRunner>();
        runner->defaultAnswer = QStringLiteral("connected to 10.0.0.5:5555\n");
        AdbClient adb(runner);
        QCOMPARE(adb.connectHost(QStringLiteral("10.0.0.5"), 5555), QStringLiteral("connected to 10.0.0.5:5555"));
        adb.connectHost(QStringLiteral("fe80::1"), 5037);
        QCOMPARE(runner->texts(), (QStringList{QStringLiteral("adb connect 10.0.0.5:5555"),
                                               QStringLiteral("adb connect [fe80::1]:5037")}));

        for (const char *good : {"10.0.0.5", "phone.local", "my-phone", "[fe80::1]", "::1"})
            QVERIFY2(isNetworkHost(QLatin1String(good)), good);
        // Nothing adb could read as an option or a second argument.
        for (const char *bad : {"", "-L", "a b", "host;reboot", "host:5555", "[::1"})
            QVERIFY2(!isNetworkHost(QLatin1String(bad)), bad);
    }
};

QTEST_GUILESS_MAIN(TestConsole)
#include "tst_console.moc"
