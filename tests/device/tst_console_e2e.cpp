// The console page against the simulated phone through the real adb: commands, a stop, scripts, the
// history kept between two windows, and a second phone connected over the network.
#include "bridge/devicechoice.h"
#include "device/consolepane.h"
#include "files/browserharness.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QSpinBox>

class TestConsoleE2e : public BrowserHarness {
    Q_OBJECT

    ConsolePane &pane() { return *m_form->consolePane(); }
    QString transcript() { return pane().transcript()->toPlainText(); }
    QPushButton *button(const char *name) { return pane().findChild<QPushButton *>(QLatin1String(name)); }

    void openConsole()
    {
        m_form->show();
        m_form->findChild<QTabWidget *>(QStringLiteral("Tabs3"))->setCurrentWidget(&pane());
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
        if (!startPhone(QStringLiteral("rooted")))
            QFAIL(qPrintable(m_sim->errorString()));
        openConsole();
        QCOMPARE(transcript(), QStringLiteral("#"));

        type(QStringLiteral("echo hello | tr a-z A-Z; echo world"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QCOMPARE(transcript(), QStringLiteral("#\n \n# echo hello | tr a-z A-Z; echo world \n \nHELLO\nworld"));
        QCOMPARE(pane().commandBox()->currentText(), QString());

        // A command that never ends: its first output shows while it runs, Ctrl+C stops it.
        type(QStringLiteral("echo waiting; sleep 1000"));
        QTRY_VERIFY(transcript().endsWith(QStringLiteral("\nwaiting")));
        QVERIFY(button("btnStop")->isEnabled());
        QVERIFY(!button("btnSend")->isEnabled());
        key(Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(!button("btnStop")->isEnabled());
        QVERIFY(transcript().endsWith(QStringLiteral("\nwaiting\n^C (stopped)")));

        // And the Stop button, for one that prints nothing.
        type(QStringLiteral("sleep 1000"));
        QTRY_VERIFY(button("btnStop")->isEnabled());
        QTest::qWait(300);
        button("btnStop")->click();
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QVERIFY(transcript().endsWith(QStringLiteral("# sleep 1000 \n \n\n^C (stopped)")));

        // A script is pushed to the card and run in the console.
        const QString script = m_pc + QStringLiteral("setup.sh");
        writeAll(script, "echo from script\necho made > /sdcard/ran.txt\n");
        m_prompter->openFiles << QStringList{script};
        button("btnRunSh")->click();
        QStringList lines = log();
        QCOMPARE(lines.mid(0, 4), (QStringList{QStringLiteral("Pushing script: ") + script, QStringLiteral(" "),
                                               QStringLiteral("Starting operation..."), QStringLiteral(" ")}));
        QVERIFY(lines.contains(QStringLiteral("*** Operation complete! ***")));
        closeLog();
        QTRY_VERIFY(transcript().endsWith(QStringLiteral("# sh \"/sdcard/setup.sh\" \n \nfrom script")));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QVERIFY(QFileInfo::exists(phone(QStringLiteral("/sdcard/setup.sh"))));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/ran.txt"))), QByteArray("made\n"));

        // A push that fails runs nothing: not an older script of the same name.
        const QString missing = m_pc + QStringLiteral("gone.sh");
        putOnPhone(QStringLiteral("/sdcard/gone.sh"), "echo stale\n");
        m_prompter->openFiles << QStringList{missing};
        const QString before = transcript();
        button("btnRunSh")->click();
        lines = log();
        QVERIFY(lines.contains(QStringLiteral("Failed")));
        QVERIFY(!lines.contains(QStringLiteral("Starting operation...")));
        closeLog();
        QCOMPARE(transcript(), before);

        // Nor one that adb counts as pushed but that reached the card cut short: the phone's listing tells.
        const QByteArray longer = "echo from a longer script\necho made again > /sdcard/ran.txt\n";
        writeAll(script, longer);
        QVERIFY(m_sim->truncateNextPush(10));
        m_prompter->openFiles << QStringList{script};
        button("btnRunSh")->click();
        lines = log();
        QVERIFY2(lines.contains(QStringLiteral("/sdcard/setup.sh has 10 bytes of %1").arg(longer.size())),
                 qPrintable(lines.join(u'\n')));
        QVERIFY(lines.contains(QStringLiteral("Failed")));
        QVERIFY(!lines.contains(QStringLiteral("Starting operation...")));
        closeLog();
        QCOMPARE(transcript(), before);

        // The history outlives the window: a new one reads it from the data folder.
        QCOMPARE(pane().commandBox()->count(), 3);
        m_form.reset();
        m_form = std::make_unique<TMainForm>();
        m_form->FormCreate();
        openConsole();
        QCOMPARE(pane().commandBox()->count(), 3);
        key(Qt::Key_Up);
        QCOMPARE(pane().commandBox()->currentText(), QStringLiteral("sleep 1000"));
        key(Qt::Key_Up);
        QCOMPARE(pane().commandBox()->currentText(), QStringLiteral("echo waiting; sleep 1000"));
        key(Qt::Key_Down);
        key(Qt::Key_Down);
        QCOMPARE(pane().commandBox()->currentText(), QString());
        key(Qt::Key_Up);
        key(Qt::Key_Return);
        QTRY_VERIFY(button("btnStop")->isEnabled());
        key(Qt::Key_C, Qt::ControlModifier);
        QTRY_VERIFY(transcript().endsWith(QStringLiteral("^C (stopped)")));
        // Sent again, not stored twice in a row.
        QCOMPARE(pane().commandBox()->count(), 3);
    }

    void phoneOverTheNetwork()
    {
        if (!startPhone(QStringLiteral("modern")))
            QFAIL(qPrintable(m_sim->errorString()));
        // The phone in use stays chosen, as after the device dialog: two listed phones would raise it.
        setChosenDeviceSerial(m_sim->serial());
        PhoneSim second(QStringLiteral("legacy"));
        if (!second.startBeside(*m_sim))
            QFAIL(qPrintable(second.errorString()));
        m_sim->adb({QStringLiteral("disconnect"), second.serial()});
        QTRY_COMPARE(second.listedState(), QString());

        auto *connectNetwork = m_form->findChild<QAction *>(QStringLiteral("ConnectNetwork1"));
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

        // Both phones answer; the console still talks to the chosen one.
        openConsole();
        type(QStringLiteral("echo still here"));
        QTRY_VERIFY(button("btnSend")->isEnabled());
        QVERIFY(transcript().endsWith(QStringLiteral("# echo still here \n \nstill here")));
    }
};

QTEST_MAIN(TestConsoleE2e)
#include "tst_console_e2e.moc"
