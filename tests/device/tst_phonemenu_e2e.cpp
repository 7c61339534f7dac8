#include "files/browserharness.h"

#include <QAction>

// The "Phone" menu's reboot and flash commands against the simulated phone, checked in its journal.
class TestPhoneMenu : public BrowserHarness {
    Q_OBJECT

    void trigger(const char *name, bool answer = true)
    {
        m_prompter->questionAnswers = {answer};
        auto *action = m_form->findChild<QAction *>(QLatin1String(name));
        QVERIFY2(action, name);
        action->trigger();
    }
    bool journalHas(const QString &line) const { return m_sim->journal().contains(line); }
    bool journalMentions(const QString &text) const { return m_sim->journal().join(u'\n').contains(text); }
    // Back to a booted phone after a reboot the test caused.
    void backToDevice()
    {
        QVERIFY(m_sim->waitForState(QStringLiteral("recovery"), 15000) ||
                m_sim->waitForState(QStringLiteral("device"), 1000));
        m_sim->adb({QStringLiteral("reboot")});
        QVERIFY(m_sim->waitForState(QStringLiteral("device"), 15000));
        m_sim->clearJournal();
    }
    QString writeImage(const QString &name, const QByteArray &content)
    {
        const QString path = m_pc + name;
        writeAll(path, content);
        return path;
    }

private slots:
    void cleanup() { stopAll(); }

    void rebootCommandsOnARootedPhone()
    {
        START_PHONE(QStringLiteral("rooted"));
        QVERIFY(m_form->findChild<QAction *>(QStringLiteral("powerOffAction"))->isVisible());
        m_sim->clearJournal();
        trigger("Reboot1", false);
        // The phone handles commands in turn: nothing before the next reboot means No ran nothing.
        trigger("RebootRecovery1");
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("reboot: recovery")), 10000);
        QCOMPARE(m_sim->journal().filter(QStringLiteral("reboot")).size(), 2);
        QVERIFY(m_sim->waitForState(QStringLiteral("recovery"), 15000));
        trigger("Reboot1");
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("reboot")), 10000);
        QVERIFY(m_sim->waitForState(QStringLiteral("device"), 15000));
        trigger("powerOffAction");
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("poweroff")), 10000);
        QVERIFY(journalHas(QStringLiteral("shell: reboot -p #poweroff device")));
    }

    void rebootToBootloaderWithoutBusybox()
    {
        START_PHONE(QStringLiteral("legacy"));
        QVERIFY(!m_form->findChild<QAction *>(QStringLiteral("powerOffAction"))->isVisible());
        QVERIFY(!m_form->findChild<QAction *>(QStringLiteral("flashAction"))->isVisible());
        m_sim->clearJournal();
        trigger("RebootBootloader1");
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("reboot: bootloader")), 10000);
    }

    void flashingImages()
    {
        START_PHONE(QStringLiteral("rooted"));
        const QByteArray good = QByteArray("ANDROID!") + QByteArray(4088, '\x5a');
        const QString image = writeImage(QStringLiteral("recovery.img"), good);
        const QString tempOnPhone = phone(QStringLiteral("/sdcard/tempimage.img"));

        for (const char *item : {"FlashRecovery", "FlashBoot"}) {
            m_sim->clearJournal();
            m_prompter->openFiles = {{image}};
            trigger(item);
            const QString partition =
                qstrcmp(item, "FlashRecovery") == 0 ? QStringLiteral("recovery") : QStringLiteral("boot");
            QVERIFY2(journalHas(QStringLiteral("flash_image: ") + partition + QStringLiteral(" /sdcard/tempimage.img")),
                     qPrintable(m_sim->journal().join(u'\n')));
            QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("reboot: recovery")), 10000);
            QVERIFY(!QFile::exists(tempOnPhone));
            QVERIFY2(!log().contains(QStringLiteral("Failed")), qPrintable(log().join(u'\n')));
            closeLog();
            backToDevice();
        }

        // An image flash_image refuses: "Failed", and the phone is not rebooted.
        m_sim->clearJournal();
        m_prompter->openFiles = {{writeImage(QStringLiteral("broken.img"), QByteArray(4096, '\0'))}};
        trigger("FlashRecovery");
        QVERIFY(journalHas(QStringLiteral("flash_image: recovery /sdcard/tempimage.img")));
        // A command of the test after the operation: any reboot it ran comes before it in the journal.
        m_sim->adb({QStringLiteral("shell"), QStringLiteral("echo after")});
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("shell: echo after")), 10000);
        QVERIFY2(!journalMentions(QStringLiteral("reboot")), qPrintable(m_sim->journal().join(u'\n')));
        QVERIFY(log().join(u'\n').contains(QStringLiteral("error writing recovery")));
        QVERIFY(log().contains(QStringLiteral("Failed")));
        QVERIFY(!QFile::exists(tempOnPhone));
        closeLog();
    }

    void flashingAnUpdate()
    {
        START_PHONE(QStringLiteral("rooted"));
        const QString zip = writeImage(QStringLiteral("update.zip"), QByteArray(3000, 'u'));
        const QString command = m_sim->hostPath(QStringLiteral("/cache/recovery/command"));

        QVERIFY(m_sim->truncateNextPush(10));
        m_prompter->openFiles = {{zip}};
        trigger("FlashUpdate");
        QVERIFY(log().contains(QStringLiteral("Failed")));
        QVERIFY(!QFile::exists(command));
        QVERIFY(!journalMentions(QStringLiteral("reboot")));
        closeLog();

        m_sim->clearJournal();
        m_prompter->openFiles = {{zip}};
        trigger("FlashUpdate");
        QTRY_VERIFY_WITH_TIMEOUT(journalHas(QStringLiteral("reboot: recovery")), 10000);
        QCOMPARE(readAll(command), QByteArray("boot-recovery\n--update_package=SDCARD:tempupdate.zip\n"));
        // Recovery reads the package from the card: it stays.
        QCOMPARE(QFileInfo(phone(QStringLiteral("/sdcard/tempupdate.zip"))).size(), 3000);
        QVERIFY2(!log().contains(QStringLiteral("Failed")), qPrintable(log().join(u'\n')));
        closeLog();
    }
};

QTEST_MAIN(TestPhoneMenu)
#include "tst_phonemenu_e2e.moc"
