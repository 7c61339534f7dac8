// The console page against the simulated phone through the real adb: commands, a stop, scripts, the
// history kept between two windows, and a second phone connected over the network.
#include "bridge/devicechoice.h"
#include "deviceui/consolepane.h"
#include "files/browserharness.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSpinBox>

class TestConsoleE2e : public BrowserHarness {
    Q_OBJECT

    ConsolePane &pane() { return *m_form->consolePane(); }
    QString transcript() { return pane().transcript()->toPlainText(); }
    QPushButton *button(const char *name) { return pane().findChild<QPushButton *>(QLatin1String(name)); }

    void openConsole()
    {
        m_form->show();
        m_form->findChild<QTabWidget *>(QStringLiteral("pageTabs"))->setCurrentWidget(&pane());
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        pane().commandBox()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(pane().commandBox()));
    }
    // Typed and sent with Enter, where the user's keys land.
    void type(const QString &command)
    {
        QTest::keyClicks(QApplication::focusWidget(), command);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    // Scripts the console pushed and has not removed, wherever it puts them.
    QStringList scriptsLeft()
    {
        QStringList left;
        for (const char *folder : {"/data/local/tmp/", "/sdcard/"}) {
            const QDir dir(phone(QLatin1String(folder)));
            for (const QString &name : dir.entryList({QStringLiteral("velbrook-*.sh")}, QDir::Files | QDir::Hidden))
                left << QLatin1String(folder) + name;
        }
        return left;
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }

private slots:
    void init() { m_form.reset(); }
    void cleanup()
    {
        setChosenDeviceSerial(QString());
        stopAll();
    }

    void commandsStopsScriptsAndHistory()
    {
        START_PHONE(QStringLiteral("rooted"));
        openConsole();
        QCOMPARE(transcript(), QString());

        // adb's shell runs as root here: "#", then the folder the shell is in.
        type(QStringLiteral("echo hello | tr a-z A-Z; echo world"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QCOMPARE(transcript(), QStringLiteral("# echo hello | tr a-z A-Z; echo world \n \nHELLO\nworld"));
        QCOMPARE(pane().commandBox()->currentText(), QString());

        // A command that never ends: its first output shows while it runs, Ctrl+C stops it.
        type(QStringLiteral("echo waiting; sleep 1000"));
        QTRY_VERIFY(transcript().endsWith(QStringLiteral("\nwaiting")));
        QVERIFY(button("btnStop")->isEnabled());
        QVERIFY(!button("btnSend")->isEnabled());
        key(Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(!button("btnStop")->isEnabled());
        QVERIFY(transcript().endsWith(QStringLiteral("\nwaiting\n^C (stopped)")));

        // A script runs from a name of its own and is gone afterwards; the user's file of the same name on the
        // card is never touched.
        putOnPhone(QStringLiteral("/sdcard/setup.sh"), "echo the user's own\n");
        const QString script = m_pc + QStringLiteral("setup.sh");
        writeAll(script, "echo from script\necho made > /sdcard/ran.txt\n");
        m_prompter->openFiles << QStringList{script};
        button("btnRunSh")->click();
        QVERIFY(log().contains(QStringLiteral("*** Operation complete! ***")));
        closeLog();
        static const QRegularExpression ranFromTmp(
            QStringLiteral("# sh \"/data/local/tmp/velbrook-[0-9a-f]{16}\\.sh\" \n \nfrom script$"));
        QTRY_VERIFY2(ranFromTmp.match(transcript()).hasMatch(), qPrintable(transcript()));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/ran.txt"))), QByteArray("made\n"));
        QTRY_COMPARE(scriptsLeft(), QStringList());
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/setup.sh"))), QByteArray("echo the user's own\n"));

        // One that adb counts as pushed but that arrived cut short: the phone's listing tells, the piece goes
        // and the card takes the script instead.
        const QByteArray longer = "echo from a longer script\necho made again > /sdcard/ran.txt\n";
        writeAll(script, longer);
        QVERIFY(m_sim->truncateNextPush(10));
        m_prompter->openFiles << QStringList{script};
        button("btnRunSh")->click();
        QStringList lines = log();
        static const QRegularExpression cutShort(
            QStringLiteral("^/data/local/tmp/velbrook-[0-9a-f]{16}\\.sh has 10 bytes of %1$").arg(longer.size()));
        QVERIFY2(lines.indexOf(cutShort) > 0, qPrintable(lines.join(u'\n')));
        QVERIFY(lines.contains(QStringLiteral("Starting operation...")));
        closeLog();
        QTRY_VERIFY2(transcript().endsWith(QStringLiteral(".sh\" \n \nfrom a longer script")),
                     qPrintable(transcript()));
        QVERIFY(transcript().contains(QStringLiteral("# sh \"/sdcard/velbrook-")));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QTRY_COMPARE(scriptsLeft(), QStringList());

        // A script stopped half way goes too.
        writeAll(script, "echo started\nsleep 1000\n");
        m_prompter->openFiles << QStringList{script};
        button("btnRunSh")->click();
        closeLog();
        QTRY_VERIFY(transcript().endsWith(QStringLiteral("\nstarted")));
        QCOMPARE(scriptsLeft().size(), 1);
        button("btnStop")->click();
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QCOMPARE(scriptsLeft(), QStringList());
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/setup.sh"))), QByteArray("echo the user's own\n"));

        // The history outlives the window: a new one reads it from the data folder.
        m_form.reset();
        m_form = std::make_unique<MainWindow>();
        m_form->startUp();
        openConsole();
        key(Qt::Key_Up);
        QCOMPARE(pane().commandBox()->currentText(), QStringLiteral("echo waiting; sleep 1000"));
    }

    // Whatever the first character, the command is the shell's: neither adb nor "sh -c" reads it as an option.
    void commandsStartingWithADash()
    {
        START_PHONE(QStringLiteral("modern"));
        // Without the blank the phone's sh reads the text as its options, as mksh does.
        QCOMPARE(m_sim->adb({QStringLiteral("shell"), QStringLiteral("--"), QStringLiteral("-t echo hi")}).all(),
                 QStringLiteral("/system/bin/sh: -t: unknown option"));
        openConsole();
        type(QStringLiteral("-t echo hi"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QCOMPARE(transcript(), QStringLiteral("$ -t echo hi \n \n/system/bin/sh: -t: inaccessible or not found"));
        // adb 29 took "-x" for its own option and opened an interactive shell that never ended.
        type(QStringLiteral("-x; echo hi"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        // Error and output come on two streams: either may show first.
        const QString afterX = transcript().section(QStringLiteral("/ $ -x; echo hi \n \n"), 1);
        QVERIFY2(afterX == QStringLiteral("/system/bin/sh: -x: inaccessible or not found\nhi") ||
                     afterX == QStringLiteral("hi\n/system/bin/sh: -x: inaccessible or not found"),
                 qPrintable(transcript()));

        // The folder carries from one command to the next, as in a terminal; no root: "$".
        type(QStringLiteral("cd /sdcard && mkdir -p here && cd here"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        type(QStringLiteral("pwd; touch made"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QVERIFY2(transcript().endsWith(QStringLiteral("\n \n/sdcard/here $ pwd; touch made \n \n/sdcard/here")),
                 qPrintable(transcript()));
        QVERIFY(QFileInfo::exists(phone(QStringLiteral("/sdcard/here/made"))));
    }

    void phoneOverTheNetwork()
    {
        START_PHONE(QStringLiteral("modern"));
        PhoneSim second(QStringLiteral("legacy"));
        if (!second.startBeside(*m_sim))
            QFAIL(qPrintable(second.errorString()));
        m_sim->adb({QStringLiteral("disconnect"), second.serial()});
        QTRY_COMPARE(second.listedState(), QString());

        auto *connectNetwork = m_form->findChild<QAction *>(QStringLiteral("connectNetworkAction"));
        QVERIFY(connectNetwork);
        const auto answer = [](const QString &host, int port) {
            return [host, port](QDialog &dialog) {
                dialog.findChild<QLineEdit *>(QStringLiteral("edtHost"))->setText(host);
                dialog.findChild<QSpinBox *>(QStringLiteral("edtPort"))->setValue(port);
                return int(QDialog::Accepted);
            };
        };
        m_prompter->dialogAnswers << answer(QStringLiteral("-L"), second.port());
        connectNetwork->trigger();
        QVERIFY(m_prompter->messages.last().startsWith(QStringLiteral("info: Not a host name")));
        QCOMPARE(second.listedState(), QString());

        m_prompter->dialogAnswers << answer(QStringLiteral("127.0.0.1"), second.port());
        connectNetwork->trigger();
        QCOMPARE(m_prompter->dialogs.last(), QStringLiteral("NetworkPhoneDialog"));
        QCOMPARE(m_prompter->messages.last(), QStringLiteral("info: connected to ") + second.serial());
        QTRY_COMPARE(second.listedState(), QStringLiteral("device"));
        // The phone in use stays the one commands go to, and the title names it.
        QCOMPARE(chosenDeviceSerial(), m_sim->serial());
        QVERIFY2(m_form->windowTitle().endsWith(QStringLiteral(" - Pixel 5 (") + m_sim->serial() + u')'),
                 qPrintable(m_form->windowTitle()));
        QVERIFY(!m_prompter->dialogs.contains(QStringLiteral("DeviceForm")));

        // Both phones answer; the console still talks to the chosen one.
        openConsole();
        type(QStringLiteral("echo still here"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QVERIFY(transcript().endsWith(QStringLiteral("$ echo still here \n \nstill here")));

        // "Use phone" switches to the other one, and the title follows.
        auto *menu = m_form->findChild<QMenu *>(QStringLiteral("usePhoneMenu"));
        emit menu->aboutToShow();
        QCOMPARE(menu->actions().size(), 2);
        for (QAction *action : menu->actions()) {
            if (action->text() == QStringLiteral("Nexus One (") + second.serial() + u')')
                action->trigger();
        }
        QCOMPARE(chosenDeviceSerial(), second.serial());
        QVERIFY2(m_form->windowTitle().endsWith(QStringLiteral(" - Nexus One (") + second.serial() + u')'),
                 qPrintable(m_form->windowTitle()));
    }
};

QTEST_MAIN(TestConsoleE2e)
#include "tst_console_e2e.moc"
