#include "bridge/adbutils.h"
#include "common/recordingrunner.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestAdbCommands : public QObject {
    Q_OBJECT

private:
    std::shared_ptr<RecordingRunner> m_runner;
    std::unique_ptr<AdbClient> m_adb;

    AdbClient &adb() { return *m_adb; }
    QString lastText() const { return m_runner->commands.last().text; }
    void answer(const QString &text, const QString &output) { m_runner->answers.insert(text, output); }

private slots:
    void init()
    {
        m_runner = std::make_shared<RecordingRunner>();
        m_adb = std::make_unique<AdbClient>(m_runner);
    }

    // What the phone's shell makes of each command: stand-ins for its tools print their arguments one a line,
    // so every path and package must reach them as exactly one word, whatever it holds.
    void phoneCommandsAsTheShellReadsThem()
    {
        const QString package = QStringLiteral("com.example.app");
        const QStringList names{QStringLiteral("/sdcard/a\"b $HOME`id`.txt"),
                                QStringLiteral("/sdcard/x; touch pwned"),
                                QStringLiteral("/sdcard/$(touch pwned2)"),
                                QStringLiteral("/sdcard/back\\slash \\\" q"),
                                QStringLiteral("-rf"),
                                QStringLiteral("/sdcard/żółw it's ü"),
                                QStringLiteral(" lead trail ")};
        // Each tool a shell function that prints its name and arguments.
        const QString stubs = QStringLiteral("for t in ls rm mkdir mv cp readlink sh pm; do "
                                             "eval \"$t() { printf '%s\\\\n' $t \\\"\\$@\\\"; }\"; done; ");
        for (const QString &odd : names) {
            const QList<std::pair<std::function<void()>, QStringList>> cases{
                {[&] { adb().listPath(odd, QStringLiteral("-l -a"), false); }, {"ls", "-l", "-a", odd}},
                {[&] {
                     adb().lsColor = true;
                     adb().listPath(odd, QStringLiteral("-l -a -e"), true);
                     adb().lsColor = false;
                 },
                 {"ls", "-l", "-a", "-e", "--color=always", odd}},
                {[&] { adb().removePath(odd, QStringLiteral(" -r ")); }, {"rm", "-r", odd}},
                {[&] { adb().makeDir(odd, QStringLiteral("-p")); }, {"mkdir", "-p", odd}},
                {[&] { adb().moveFile(odd, odd + u'2', QString()); }, {"mv", odd, odd + u'2'}},
                {[&] {
                     adb().hasCp = true;
                     adb().copyFile(odd, odd + u'/', QStringLiteral("-r"));
                 },
                 {"cp", "-r", odd, odd + u'/'}},
                {[&] { adb().readLink(odd, QString()); }, {"readlink", odd}},
                {[&] { adb().runScript(odd); }, {"sh", odd}},
                // adb 29 refuses "uninstall -k" itself; the phone's package manager still keeps the data.
                {[&] { adb().uninstallPackage(package, true); }, {"pm", "uninstall", "-k", package}},
                // A system package leaves the current user only.
                {[&] { adb().uninstallForCurrentUser(package, false); }, {"pm", "uninstall", "--user", "0", package}},
                {[&] { adb().uninstallForCurrentUser(package, true); },
                 {"pm", "uninstall", "-k", "--user", "0", package}},
            };
            for (const auto &[call, expected] : cases) {
                call();
                const QStringList args = m_runner->commands.last().arguments;
                QCOMPARE(args.size(), 2);
                QCOMPARE(args.first(), QStringLiteral("shell"));
                QTemporaryDir dir;
                QProcess sh;
                sh.setWorkingDirectory(dir.path());
                sh.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), stubs + args.at(1)});
                QVERIFY(sh.waitForFinished());
                QCOMPARE(sh.readAllStandardError(), QByteArray());
                QCOMPARE(QString::fromUtf8(sh.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts), expected);
                QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
            }
        }
        // Commands of adb itself take their paths as arguments of their own.
        adb().pushFile(QStringLiteral("/home/u/a b.txt"), QStringLiteral("/sdcard/"));
        QCOMPARE(m_runner->commands.last().arguments, (QStringList{"push", "/home/u/a b.txt", "/sdcard/"}));
        adb().installApk(QStringLiteral("/tmp/app.apk"), QStringLiteral("-r -s"));
        QCOMPARE(m_runner->commands.last().arguments, (QStringList{"install", "-r", "-s", "/tmp/app.apk"}));
        adb().installMultiple({QStringLiteral("/tmp/b/base.apk"), QStringLiteral("/tmp/b/split en.apk")},
                              QStringLiteral("-r"));
        QCOMPARE(m_runner->commands.last().arguments,
                 (QStringList{"install-multiple", "-r", "/tmp/b/base.apk", "/tmp/b/split en.apk"}));
        adb().uninstallPackage(package, false);
        QCOMPARE(m_runner->commands.last().arguments, (QStringList{"uninstall", package}));
    }

    // cp where the phone has one (toybox, BusyBox), else cat into the target, never an append; the probe
    // tells an old toolbox by its shell's complaint.
    void copyDependsOnCp()
    {
        answer(QStringLiteral("adb shell cp"), QStringLiteral("cp: Needs 1 argument (see \"cp --help\")"));
        QVERIFY(adb().detectCp() && adb().hasCp);
        answer(QStringLiteral("adb shell cp"), QStringLiteral("cp: not found"));
        QVERIFY(!adb().detectCp());
        adb().copyFile(QStringLiteral("/sdcard/a"), QStringLiteral("/sdcard/b"), QStringLiteral("-r"));
        // Replaces the target, which it opens only for a source it can read.
        QCOMPARE(lastText(),
                 QStringLiteral("adb shell if [ -r \"/sdcard/a\" ]; then cat \"/sdcard/a\" > \"/sdcard/b\"; "
                                "else cat \"/sdcard/a\"; fi"));
    }

    void stateAndPresence()
    {
        m_runner->defaultAnswer = QStringLiteral("error");
        QVERIFY(!adb().adbAvailable());
        QVERIFY(!adb().devicePresent());
        QCOMPARE(adb().deviceState(), DeviceState::Other);
        m_runner->defaultAnswer.clear();
        answer(QStringLiteral("adb"), QStringLiteral("Android Debug Bridge version 1.0.41\n"));
        QVERIFY(adb().adbAvailable());
        QCOMPARE(lastText(), QStringLiteral("adb"));

        const QStringList states{"device\n", "bootloader\r\n", "offline\n", "unknown", ""};
        const QList<DeviceState> codes{DeviceState::Device, DeviceState::Bootloader, DeviceState::Other,
                                       DeviceState::Other, DeviceState::Other};
        for (int i = 0; i < states.size(); ++i) {
            answer(QStringLiteral("adb get-state"), states.at(i));
            QCOMPARE(adb().deviceState(), codes.at(i));
        }
    }

    void probes()
    {
        const QString bb = QStringLiteral("adb shell busybox");
        for (const QString &absent :
             {QStringLiteral("busybox: not found\r\n"), QStringLiteral("/system/bin/sh: busybox: not found\n"),
              QStringLiteral("/system/bin/sh: busybox: inaccessible or not found\n")}) {
            answer(bb, absent);
            QVERIFY2(!adb().detectBusybox(), qPrintable(absent));
            QVERIFY(!adb().hasBusybox);
        }
        answer(bb, QStringLiteral("BusyBox v1.17.2 (2010-10-08) multi-call binary\r\nUsage: busybox [function]"));
        QVERIFY(adb().detectBusybox());
        QVERIFY(adb().hasBusybox);

        // A phone that stopped answering has none of the tools, whichever adb words it.
        for (const QString &gone : {QStringLiteral("error: device offline\n"), QStringLiteral("adb: device offline\n"),
                                    QStringLiteral("adb: device unauthorized.\nThis adb server's $ADB_VENDOR_KEYS "
                                                   "is not set\n")}) {
            m_runner->answers.clear();
            m_runner->defaultAnswer = gone;
            QVERIFY2(!adb().hasRoot(), qPrintable(gone));
            QVERIFY(!adb().detectBusybox());
            QVERIFY(!adb().detectCp());
            QVERIFY(!adb().detectReadlink());
            QVERIFY(!adb().detectLsOptions());
            QVERIFY(!adb().lsColor);
        }
        m_runner->defaultAnswer.clear();

        const QString color = QStringLiteral("adb shell ls --color=never");
        const QString e = QStringLiteral("adb shell ls -e");
        answer(color, QStringLiteral("acct\r\ncache\r\nsdcard\r\n"));
        answer(e, QStringLiteral("acct\r\ncache\r\nsdcard\r\n"));
        QVERIFY(adb().detectLsOptions());
        QVERIFY(adb().lsColor);
        // GNU-style wording of the refusal.
        answer(e, QStringLiteral("ls: unrecognized option `-e'\nBusyBox v1.x\n"));
        QVERIFY(!adb().detectLsOptions());
        // toybox knows colours but not -e.
        answer(e, QStringLiteral("ls: Unknown option 'e' (see \"ls --help\")\n"));
        QVERIFY(!adb().detectLsOptions());
        QVERIFY(adb().lsColor);
        answer(color, QStringLiteral("--color=never: No such file or directory\r\n"));
        adb().detectLsOptions();
        QVERIFY(!adb().lsColor);
    }

    void appsStorageAndPathExists()
    {
        // Plain names through a pipe: a terminal would print them in columns.
        const QString root = QStringLiteral("adb shell ls -a \"/\" | cat");
        const QString sd = QStringLiteral("adb shell ls -a \"/sd-ext/\" | cat");
        const QString sys = QStringLiteral("adb shell ls -a \"/system/\" | cat");
        const QString sysSd = QStringLiteral("adb shell ls -a \"/system/sd/\" | cat");
        answer(root, QStringLiteral(".\r\n..\r\nmnt\r\n"));
        QCOMPARE(adb().detectAppsStorage(), AppStorageType::Asec);
        answer(sys, QStringLiteral("sd\r\n"));
        QCOMPARE(adb().detectAppsStorage(), AppStorageType::SystemSd);
        answer(sysSd, QStringLiteral("placeholder\r\n"));
        QCOMPARE(adb().detectAppsStorage(), AppStorageType::Asec);
        // Whole names only: not a longer name, not a link's target.
        answer(root, QStringLiteral("ext -> /sd-ext\nsd-ext-old\n"));
        answer(sysSd, QString());
        QCOMPARE(adb().detectAppsStorage(), AppStorageType::SystemSd);
        answer(root, QStringLiteral("sd-ext\n"));
        QCOMPARE(adb().detectAppsStorage(), AppStorageType::SdExt);
        answer(sd, QStringLiteral("placeholder\n"));
        QCOMPARE(adb().detectAppsStorage(), AppStorageType::SystemSd);
        QVERIFY(m_runner->texts().contains(sysSd));
    }

    void pathHelpers()
    {
        QCOMPARE(AdbClient::parentDir(QStringLiteral("/")), QStringLiteral("/"));
        QCOMPARE(AdbClient::parentDir(QString()), QString());
        QCOMPARE(AdbClient::parentDir(QStringLiteral("/a/b/c")), QStringLiteral("/a/b/"));
        QCOMPARE(AdbClient::parentDir(QStringLiteral("/a/b/c/")), QStringLiteral("/a/b/"));
        QCOMPARE(AdbClient::parentDir(QStringLiteral("/a")), QStringLiteral("/"));
        QCOMPARE(AdbClient::baseName(QStringLiteral("/")), QString());
        QCOMPARE(AdbClient::baseName(QStringLiteral("/a/b/c/")), QStringLiteral("c"));
        QCOMPARE(AdbClient::baseName(QStringLiteral("/a/b;c d")), QStringLiteral("b;c d"));
        QVERIFY(AdbClient::isNumber(QString()));
        QVERIFY(AdbClient::isNumber(QStringLiteral("0123")));
        QVERIFY(!AdbClient::isNumber(QStringLiteral("12a")));
        QVERIFY(!AdbClient::isNumber(QStringLiteral("-1")));
    }

    // adb 29's lines for a pull of several files (one missing), in both error forms, and rm's complaint; the
    // longest path that fits owns a line, and lines naming no path (summaries, progress) belong to none.
    void linesNameTheirPath()
    {
        const QStringList sources{"/s/a", "/s/a: b", "/s/it's", "/s/gone", "/s/old"};
        const QList<std::pair<QString, qsizetype>> lines{
            {"/s/a: 1 file pulled, 0 skipped. 0.0 MB/s (5 bytes in 0.001s)", 0},
            {"/s/a: b: 1 file pulled, 0 skipped. 0.0 MB/s (7 bytes in 0.001s)", 1},
            {"/s/it's: 1 file pulled, 0 skipped. 0.0 MB/s (5 bytes in 0.001s)", 2},
            {"adb: error: failed to stat remote object '/s/gone': No such file or directory", 3},
            {"adb: error: remote object '/s/a' does not exist", 0},
            {"rm: /s/old: Permission denied", 4},
            {"rm failed for /s/a: b, No such file or directory", 1},
            {"4 files pulled, 0 skipped.", -1},
            {"[100%] /s/old", -1},
            {"/s/alone: 1 file pulled", -1},
        };
        for (const auto &[line, path] : lines)
            QVERIFY2(namedPath(line, sources) == path, qPrintable(line));
    }

    // adb's own words in the forms of clients 29 to 37, beside lines that only look alike.
    void adbErrors_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("error");
        for (const char *message : {"device offline", "more than one device/emulator", "no devices/emulators found",
                                    "device unauthorized.", "device '127.0.0.1:5601' not found", "closed"}) {
            QTest::addRow("29 %s", message) << QStringLiteral("error: ") + QLatin1String(message) << true;
            QTest::addRow("30+ %s", message) << QStringLiteral("adb: ") + QLatin1String(message) << true;
        }
        QTest::newRow("sync failure") << "adb: error: failed to copy '/pc/a' to '/sdcard/a': remote No space left "
                                         "on device\r"
                                      << true;
        QTest::newRow("install failure") << "adb: failed to install /pc/a.apk: Failure [INSTALL_FAILED_OLDER_SDK]"
                                         << true;
        QTest::newRow("waiting") << "- waiting for device -" << true;
        QTest::newRow("indented") << "  adb: device offline" << true;
        QTest::newRow("warning") << "adb: warning: skipping special file '/sdcard/fifo' (mode = 0o10644)" << false;
        QTest::newRow("count") << "/pc/a: 1 file pushed, 0 skipped. 0.0 MB/s (2 bytes in 0.000s)" << false;
        QTest::newRow("path holding the words") << "/pc/adb: error: x: 1 file pulled" << false;
        QTest::newRow("phone's own error") << "error writing recovery: Invalid argument" << false;
        QTest::newRow("toolbox complaint") << "opendir failed, Permission denied" << false;
        QTest::newRow("runner's word alone") << "error" << false;
    }
    void adbErrors()
    {
        QFETCH(QString, line);
        QFETCH(bool, error);
        QCOMPARE(isAdbError(line), error);
        // In a transfer's output the line fails it wherever it stands, a count line before or after it.
        const QString count = QStringLiteral("/pc/a: 1 file pushed, 0 skipped. 0.0 MB/s (2 bytes in 0.000s)");
        QCOMPARE(transferFailed(count + QStringLiteral("\r\n") + line), error);
        QCOMPARE(transferFailed(line + u'\n' + count), error);
    }

    // A row's marker ends its line, also when a complaint without a line break runs into it.
    void rowMarkers()
    {
        QCOMPARE(rowMarkerCommand(3), QStringLiteral("echo \"[velbrook-row:3:$?]\""));
        const std::optional<RowMarker> plain = readRowMarker(QStringLiteral("[velbrook-row:0:0]"));
        QVERIFY(plain && plain->before.isEmpty() && plain->row == 0 && plain->status == 0);
        const std::optional<RowMarker> joined = readRowMarker(QStringLiteral("two\nlines[velbrook-row:12:1]"));
        QVERIFY(joined && joined->before == QStringLiteral("two\nlines") && joined->row == 12 && joined->status == 1);
        QVERIFY(!readRowMarker(QStringLiteral("[velbrook-row:1:0] and more")));
        QVERIFY(!readRowMarker(QStringLiteral("error: closed")));
    }

    void diskFree_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("state");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("one-line form") << "/data: 167424K total, 112240K used, 55184K available (block size 4096)\r\n"
                                       << "device" << QStringList{" 167424", " 112240", "55184"};
        QTest::newRow("busybox columns") << "Filesystem           1K-blocks      Used Available Use% Mounted on\r\n"
                                            "/dev/block/mtdblock5    167424    112240     55184  67% /data\r\n"
                                         << "device" << QStringList{"167424", "112240", "55184"};
        QTest::newRow("one line, no bracket") << "df: /nope: No such file or directory"
                                              << "device" << QStringList{"0", "0", "0"};
        QTest::newRow("phone gone") << "error: device not found"
                                    << "error: device not found" << QStringList{"0", "0", "0"};
    }
    void diskFree()
    {
        QFETCH(QString, output);
        QFETCH(QString, state);
        QFETCH(QStringList, values);
        answer(QStringLiteral("adb shell df  \"/data\""), output);
        answer(QStringLiteral("adb get-state"), state);
        const DiskFreeInfo info = adb().diskFree(QStringLiteral("/data"), QString());
        QCOMPARE((QStringList{info.total, info.used, info.available}), values);
    }

    // Quiet commands fail on any word they print or on a non-zero exit status, and say why.
    void quietCommandResults()
    {
        answer(QStringLiteral("adb shell mv  \"/a\" \"/b\""), QStringLiteral("\r\n"));
        QVERIFY(adb().moveFile(QStringLiteral("/a"), QStringLiteral("/b"), QString()).ok());
        answer(QStringLiteral("adb shell mkdir  \"/x\""), QStringLiteral("mkdir failed for /x, File exists\r\n"));
        CommandResult result = adb().makeDir(QStringLiteral("/x"), QString());
        QVERIFY(!result.ok());
        QCOMPARE(result.errorText, QStringLiteral("mkdir failed for /x, File exists"));
        m_runner->exitCodes.insert(QStringLiteral("adb shell mv  \"/a\" \"/b\""), 1);
        result = adb().moveFile(QStringLiteral("/a"), QStringLiteral("/b"), QString());
        QCOMPARE(result.exitStatus, std::optional<int>(1));
        QCOMPARE(result.errorText, QStringLiteral("Exit status 1"));
        m_runner->defaultAnswer = QStringLiteral("error");
        QCOMPARE(adb().runScript(QStringLiteral("/s.sh")).errorText, QStringLiteral("error"));
    }
};

QTEST_GUILESS_MAIN(TestAdbCommands)
#include "tst_adbcommands.moc"
