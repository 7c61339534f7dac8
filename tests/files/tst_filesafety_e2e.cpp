// The file browser never acts on a file the user did not choose: what the panes show, which file each
// command reaches, and what happens when the phone misbehaves, through the main window and the real adb.
#include "app/deviceform.h"
#include "files/browserharness.h"
#include "files/pcpane.h"
#include "app/loadingdlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTabBar>
#include <QTimer>

namespace {

const QStringList kProfiles{QStringLiteral("legacy"), QStringLiteral("rooted"), QStringLiteral("modern")};

void addProfiles()
{
    QTest::addColumn<QString>("profile");
    for (const QString &profile : kProfiles)
        QTest::newRow(qPrintable(profile)) << profile;
}

// Types into the address box as a user does: the box itself has the focus.
void typeAddress(DevicePane &pane, const QString &text, Qt::Key key)
{
    pane.window()->activateWindow();
    pane.address()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(pane.address()));
    pane.address()->lineEdit()->selectAll();
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
}

} // namespace

class TestFileSafetyE2e : public BrowserHarness {
    Q_OBJECT

    // A tree pushed from the PC, so that everything on the phone belongs to the phone's own user.
    void pushTree(const QString &phoneFolder, const QMap<QString, QByteArray> &files)
    {
        const QString local = m_home->filePath(QStringLiteral("tree"));
        QDir(local).removeRecursively();
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            writeAll(local + u'/' + it.key(), it.value());
        m_sim->adb({QStringLiteral("push"), local + u'/', phoneFolder});
    }
    bool onPhone(const QString &path) const
    {
        return QFileInfo(phone(path)).exists() || QFileInfo(phone(path)).isSymLink();
    }

private slots:
    void init() { m_form.reset(); }
    void cleanup()
    {
        stopAll();
        qunsetenv("ANDROID_SERIAL");
    }

    // A typed folder is listed on Return or the keypad's Enter; every folder that cannot be listed leaves the
    // pane on the folder it showed, and a delete that follows reaches that folder's row only.
    void unlistableFoldersKeepThePane_data() { addProfiles(); }
    void unlistableFoldersKeepThePane()
    {
        QFETCH(QString, profile);
        START_PHONE(profile);
        QMap<QString, QByteArray> tree{{QStringLiteral("Music/keep"), "keep"},
                                       {QStringLiteral("missing-not/Music/keep"), "decoy"},
                                       {QStringLiteral("file.txt"), "text"}};
        for (int i = 0; i < 5; ++i)
            tree.insert(QStringLiteral("victim%1").arg(i), "v");
        pushTree(QStringLiteral("/sdcard/trap/"), tree);
        phoneShell(QStringLiteral("ln -s /sdcard/trap/none /sdcard/trap/dangling; "
                                  "echo n > \"/sdcard/trap/$(printf 'line\\nbreak')\""));
        m_form->show();
        typeAddress(right(), QStringLiteral("/sdcard/trap/Music"), Qt::Key_Enter);
        QCOMPARE(right().folder(), QStringLiteral("/sdcard/trap/Music/"));
        QCOMPARE(right().addressText(), QStringLiteral("/sdcard/trap/Music/"));
        QCOMPARE(rowNames(right()), QStringList{"keep"});
        typeAddress(right(), QStringLiteral("/sdcard/trap/"), Qt::Key_Return);
        QStringList shown = rowNames(right());
        QVERIFY2(shown.contains(QStringLiteral("line\nbreak")), qPrintable(shown.join(u'|')));
        QVERIFY(shown.contains(QStringLiteral("dangling@")));

        QList<std::pair<QString, QString>> cases{{"/sdcard/trap/missing/", "No such file or directory"},
                                                 {"/sdcard/trap/file.txt/", "Not a directory"},
                                                 {"/sdcard/trap/dangling/", "No such file or directory"}};
        if (profile != QStringLiteral("rooted"))
            cases.append({QStringLiteral("/data/"), QStringLiteral("Permission denied")});
        for (int i = 0; i < cases.size(); ++i) {
            const auto &[target, reason] = cases.at(i);
            if (i % 2 == 0)
                typeAddress(right(), target, Qt::Key_Return);
            else
                QVERIFY(!right().fillDeviceList(target));
            QCOMPARE(right().note(), QStringLiteral("Cannot open ") + target + QStringLiteral(": ") + reason);
            QCOMPARE(right().folder(), QStringLiteral("/sdcard/trap/"));
            QCOMPARE(right().addressText(), QStringLiteral("/sdcard/trap/"));
            QCOMPARE(rowNames(right()), shown);
            const QString victim = QStringLiteral("victim%1").arg(i);
            check(right(), victim);
            m_prompter->questionAnswers << true;
            right().commandButton(DevicePane::Command::Delete)->click();
            closeLog();
            QVERIFY(!onPhone(QStringLiteral("/sdcard/trap/") + victim));
            shown.removeAll(victim);
            QCOMPARE(rowNames(right()), shown);
            QVERIFY(onPhone(QStringLiteral("/sdcard/trap/victim4")));
        }
        check(right(), QStringLiteral("Music/"));
        m_prompter->questionAnswers << true;
        right().commandButton(DevicePane::Command::Delete)->click();
        closeLog();
        QVERIFY(!onPhone(QStringLiteral("/sdcard/trap/Music")));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/trap/missing-not/Music/keep"))), QByteArray("decoy"));
        QVERIFY(onPhone(QStringLiteral("/sdcard/trap/line\nbreak")));
    }

    // "a\rb" beside "a\nb": an old phone's terminal shows the LF as CR LF and the CR alone, a current phone
    // prints both as they are. Two rows, and a delete of the CR one reaches only it.
    void namesWithACarriageReturn_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::newRow("legacy") << QStringLiteral("legacy");
        QTest::newRow("modern") << QStringLiteral("modern");
    }
    void namesWithACarriageReturn()
    {
        QFETCH(QString, profile);
        START_PHONE(profile);
        phoneShell(QStringLiteral("mkdir /sdcard/cr && cd /sdcard/cr && echo cr > \"$(printf 'a\\rb')\" && "
                                  "echo lf > \"$(printf 'a\\nb')\""));
        QVERIFY(onPhone(QStringLiteral("/sdcard/cr/a\rb")) && onPhone(QStringLiteral("/sdcard/cr/a\nb")));
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/cr/")));
        QStringList shown = rowNames(right());
        shown.sort();
        QCOMPARE(shown, (QStringList{"a\nb", "a\rb"}));
        QCOMPARE(right().note(), QString());
        QCOMPARE(displayName(right().model()->item(rowOf(right(), QStringLiteral("a\rb")))), QStringLiteral("a\\rb"));

        check(right(), QStringLiteral("a\rb"));
        m_prompter->questionAnswers << true;
        right().commandButton(DevicePane::Command::Delete)->click();
        closeLog();
        QVERIFY(!onPhone(QStringLiteral("/sdcard/cr/a\rb")));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/cr/a\nb"))), QByteArray("lf\n"));
        QCOMPARE(rowNames(right()), QStringList{"a\nb"});
    }

    // Names that look like another kind of entry reach only themselves through every command.
    void namesThatLookLikeKinds_data() { addProfiles(); }
    void namesThatLookLikeKinds()
    {
        QFETCH(QString, profile);
        START_PHONE(profile);
        pushTree(QStringLiteral("/sdcard/names/"), {{QStringLiteral("mail"), "plain"},
                                                    {QStringLiteral("mail@"), "at"},
                                                    {QStringLiteral("endslash\\"), "slash"},
                                                    {QStringLiteral("endslash/inside"), "in"},
                                                    {QStringLiteral("日本語 ü.txt"), "jp"}});
        phoneShell(QStringLiteral("cd /sdcard/names && ln -s /sdcard/names/mail 'a -> b' && "
                                  "echo nl > \"$(printf 'two\\nlines')\" && mkdir /sdcard/copies"));
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/names/")));
        QCOMPARE(rowNames(right()),
                 (QStringList{"endslash/", "a -> b@", "endslash\\", "mail", "mail@", "two\nlines", "日本語 ü.txt"}));
        QCOMPARE(right().model()->item(rowOf(right(), QStringLiteral("mail@"))).kind, ItemKind::File);
        QCOMPARE(right().model()->item(rowOf(right(), QStringLiteral("a -> b@"))).kind, ItemKind::Link);

        // Pull.
        for (const char *name : {"mail@", "endslash\\", "two\nlines", "日本語 ü.txt"})
            check(right(), QString::fromUtf8(name));
        m_prompter->directories << m_pc;
        right().commandButton(DevicePane::Command::Pull)->click();
        closeLog();
        QCOMPARE(readAll(m_pc + QStringLiteral("mail@")), QByteArray("at"));
        QCOMPARE(readAll(m_pc + QStringLiteral("endslash\\")), QByteArray("slash"));
        QCOMPARE(readAll(m_pc + QStringLiteral("two\nlines")), QByteArray("nl\n"));
        QCOMPARE(readAll(m_pc + QStringLiteral("日本語 ü.txt")), QByteArray("jp"));
        QVERIFY(!QFileInfo::exists(m_pc + QStringLiteral("mail")) &&
                !QFileInfo::exists(m_pc + QStringLiteral("endslash")));

        // Copy on the phone (cp with busybox, cat without).
        showLeftPhonePane();
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/copies/")));
        m_prompter->dialogAnswers << accept();
        right().commandButton(DevicePane::Command::Copy)->click();
        closeLog();
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/copies/mail@"))), QByteArray("at"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/copies/endslash\\"))), QByteArray("slash"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/copies/two\nlines"))), QByteArray("nl\n"));
        QVERIFY(!onPhone(QStringLiteral("/sdcard/copies/mail")) && !onPhone(QStringLiteral("/sdcard/copies/endslash")));
        QCOMPARE(rowNames(left()), (QStringList{"endslash\\", "mail@", "two\nlines", "日本語 ü.txt"}));

        // Rename.
        makeCurrent(right().list(), rowOf(right(), QStringLiteral("mail@")));
        m_prompter->dialogAnswers << renameTo(QStringLiteral("renamed@"));
        right().listMenu()->findChild<QAction *>(QStringLiteral("PFRename"))->trigger();
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/names/renamed@"))), QByteArray("at"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/names/mail"))), QByteArray("plain"));
        QCOMPARE(right().model()->item(right().list()->currentIndex().row()).name, QStringLiteral("renamed@"));

        // Delete: the link itself, the file with the backslash; their look-alikes stay.
        right().model()->setChecks(QList<bool>(right().model()->rowCount(), false));
        check(right(), QStringLiteral("a -> b@"));
        check(right(), QStringLiteral("endslash\\"));
        check(right(), QStringLiteral("two\nlines"));
        m_prompter->questionAnswers << true;
        right().commandButton(DevicePane::Command::Delete)->click();
        closeLog();
        QVERIFY(!onPhone(QStringLiteral("/sdcard/names/a -> b")));
        QVERIFY(!onPhone(QStringLiteral("/sdcard/names/endslash\\")));
        QVERIFY(!onPhone(QStringLiteral("/sdcard/names/two\nlines")));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/names/mail"))), QByteArray("plain"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/names/endslash/inside"))), QByteArray("in"));
        QCOMPARE(rowNames(right()), (QStringList{"endslash/", "mail", "renamed@", "日本語 ü.txt"}));

        // Push from the PC, and the PC pane's copy: the file "endslash\" beside a folder "endslash".
        QDir().mkpath(m_pc + QStringLiteral("endslash"));
        m_prompter->openFiles << QStringList{m_pc + QStringLiteral("mail@")};
        m_prompter->dialogAnswers << pushTo(QStringLiteral("/sdcard/pushed/"));
        right().commandButton(DevicePane::Command::Push)->click();
        closeLog();
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/pushed/mail@"))), QByteArray("at"));
        m_form->pcPane()->listPcFolder(m_pc);
        FileListModel &pcRows = *m_form->pcPane()->model();
        for (int i = 0; i < pcRows.rowCount(); ++i)
            pcRows.setData(pcRows.index(i),
                           pcRows.item(i).name == QStringLiteral("endslash\\") ? Qt::Checked : Qt::Unchecked,
                           Qt::CheckStateRole);
        QCOMPARE(pcRows.checkedRows().size(), 1);
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            dialog.findChild<QCheckBox *>(QStringLiteral("Custom"))->setChecked(true);
            dialog.findChild<QLineEdit *>(QStringLiteral("edtDestination"))->setText(QStringLiteral("/sdcard/pushed/"));
            return int(QDialog::Accepted);
        };
        ops().copyPcToPhone(*m_form->pcPane(), m_pc);
        closeLog();
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/pushed/endslash\\"))), QByteArray("slash"));
        QVERIFY(!onPhone(QStringLiteral("/sdcard/pushed/endslash")));
    }

    void renameKeepsTheNameAsTyped()
    {
        START_PHONE(QStringLiteral("rooted"));
        pushTree(QStringLiteral("/sdcard/ren/"), {{QStringLiteral(" leading"), "lead"},
                                                  {QStringLiteral("leading"), "other"},
                                                  {QStringLiteral("d a b/x"), "x"}});
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/ren/")));
        QAction *rename = right().listMenu()->findChild<QAction *>(QStringLiteral("PFRename"));
        auto renameRow = [&](const QString &row, const QString &to) {
            makeCurrent(right().list(), rowOf(right(), row));
            m_prompter->dialogAnswers << renameTo(to);
            rename->trigger();
        };
        m_sim->clearJournal();
        renameRow(QStringLiteral(" leading"), QStringLiteral(" leading"));
        renameRow(QStringLiteral("d a b/"), QStringLiteral("d a b"));
        QVERIFY(m_prompter->messages.isEmpty());
        for (const QString &line : m_sim->journal())
            QVERIFY2(!line.contains(QStringLiteral("mv ")), qPrintable(line));

        // An existing name is asked about; Skip changes nothing, and folders are never overwritten.
        renameRow(QStringLiteral(" leading"), QStringLiteral("leading"));
        QCOMPARE(m_prompter->messages, QStringList{"replace: /sdcard/ren/leading"});
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/ren/leading"))), QByteArray("other"));
        renameRow(QStringLiteral("leading"), QStringLiteral("d a b"));
        QVERIFY(m_prompter->messages.last().contains(QStringLiteral("already exists")));
        renameRow(QStringLiteral("leading"), QString());
        QVERIFY(m_prompter->messages.last().contains(QStringLiteral("must not be empty")));

        renameRow(QStringLiteral(" leading"), QStringLiteral("ren-trailing "));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/ren/ren-trailing "))), QByteArray("lead"));
        QVERIFY(!onPhone(QStringLiteral("/sdcard/ren/ren-trailing")));
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        renameRow(QStringLiteral("ren-trailing "), QStringLiteral("leading"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/ren/leading"))), QByteArray("lead"));
        QCOMPARE(rowNames(right()), (QStringList{"d a b/", "leading"}));
        // A folder takes its new name with what is in it, and stays the current row.
        renameRow(QStringLiteral("d a b/"), QStringLiteral("folder"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/ren/folder/x"))), QByteArray("x"));
        const int renamed = rowOf(right(), QStringLiteral("folder/"));
        QVERIFY(renamed >= 0 && right().list()->currentIndex().row() == renamed);
    }

    // Pull into a PC folder where the files exist: each answer, and "all" asked once per batch.
    void everyReplaceAnswer()
    {
        START_PHONE(QStringLiteral("rooted"));
        const QStringList names{"a", "b", "c", "d"};
        QMap<QString, QByteArray> tree;
        for (const QString &name : names)
            tree.insert(name, "new");
        pushTree(QStringLiteral("/sdcard/rep/"), tree);
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/rep/")));
        auto pullAll = [&](const QList<ReplaceAnswer> &answers) {
            for (const QString &name : names)
                writeAll(m_pc + name, "old");
            m_prompter->messages.clear();
            m_prompter->replaceAnswers = answers;
            right().model()->setChecks(QList<bool>(4, true));
            m_prompter->directories << m_pc;
            right().commandButton(DevicePane::Command::Pull)->click();
            closeLog();
            QStringList contents;
            for (const QString &name : names)
                contents << QString::fromUtf8(readAll(m_pc + name));
            return contents;
        };
        QCOMPARE(pullAll({ReplaceAnswer::Replace, ReplaceAnswer::Skip, ReplaceAnswer::ReplaceAll}),
                 (QStringList{"new", "old", "new", "new"}));
        QCOMPARE(m_prompter->messages.size(), 3);
        QVERIFY(log().contains(QStringLiteral("Skipped: ") + m_pc + QStringLiteral("b exists")));
        QCOMPARE(pullAll({ReplaceAnswer::Skip, ReplaceAnswer::SkipAll}), (QStringList{"old", "old", "old", "old"}));
        QCOMPARE(m_prompter->messages.size(), 2);
        QCOMPARE(pullAll({ReplaceAnswer::Replace, ReplaceAnswer::Cancel}), (QStringList{"new", "old", "old", "old"}));
        // The rows from the one cancelled on did not run, and say so.
        const QStringList lines = log();
        for (int k = 2; k <= 4; ++k) {
            const qsizetype row = lines.indexOf(QStringLiteral("[%1/4] Pulling file: ").arg(k) + names.at(k - 1));
            QVERIFY2(row >= 0 && lines.value(row + 1) == QStringLiteral("Cancelled"), qPrintable(names.at(k - 1)));
        }
    }

    // An offline phone is explained, and the window goes on once it answers.
    void offlinePhoneIsExplained()
    {
        QString shown;
        bool okWithoutRefresh = false;
        const bool started = startPhone(QStringLiteral("modern"), false, [&] {
            QVERIFY(m_sim->setLinkState(QStringLiteral("offline")));
            m_prompter->dialogAnswers << [&](QDialog &dialog) {
                shown = dialog.findChild<QLabel *>(QStringLiteral("Advice"))->text();
                // The phone answers again: the window notices without Refresh.
                m_sim->setLinkState(QStringLiteral("device"));
                auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("btnOK"));
                okWithoutRefresh = QTest::qWaitFor([ok] { return ok->isEnabled(); }, 15000);
                return int(okWithoutRefresh ? QDialog::Accepted : QDialog::Rejected);
            };
        });
        VERIFY_STARTED(started);
        QVERIFY2(shown.contains(QStringLiteral("Unplug and replug")), qPrintable(shown));
        QVERIFY(okWithoutRefresh);
        QCOMPARE(right().folder(), QStringLiteral("/sdcard/"));
    }

    // Cancel ends a command that never ends, in the operation log and in the start-up window.
    void cancelNeverEndingCommands()
    {
        START_PHONE(QStringLiteral("rooted"));
        phoneShell(QStringLiteral(
            "mkdir /sdcard/dst /sdcard/src && mkfifo /sdcard/src/a-pipe && echo z > /sdcard/src/z-after"));
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/src/")));
        showLeftPhonePane();
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/dst/")));
        right().model()->setChecks(QList<bool>(right().model()->rowCount(), true));
        QTimer cancel;
        connect(&cancel, &QTimer::timeout, this, [&] {
            if (m_form->logForm()->text().contains(QStringLiteral("[1/2] Copying file: a-pipe"))) {
                m_form->logForm()->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
                cancel.stop();
            }
        });
        cancel.start(200);
        m_prompter->dialogAnswers << accept();
        right().commandButton(DevicePane::Command::Copy)->click();
        const QStringList lines = log();
        const qsizetype row = lines.indexOf(QStringLiteral("[1/2] Copying file: a-pipe"));
        QVERIFY(row >= 0);
        QCOMPARE(lines.at(row + 1), QStringLiteral("Cancelled"));
        QCOMPARE(lines.value(lines.indexOf(QStringLiteral("[2/2] Copying file: z-after")) + 1),
                 QStringLiteral("Cancelled"));
        QCOMPARE(lines.last(), QStringLiteral("*** 2 of 2 cancelled ***"));
        QVERIFY(!onPhone(QStringLiteral("/sdcard/dst/z-after")));
        closeLog();
        // Commands run again after the cancelled operation.
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/")));
        stopAll();

        bool clicked = false;
        QTimer loading;
        connect(&loading, &QTimer::timeout, this, [&] {
            // Cancel once the start command runs on the phone.
            const QStringList journal = m_sim ? m_sim->journal() : QStringList();
            if (!journal.contains(QStringLiteral("shell: sleep 1000")))
                return;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (auto *form = qobject_cast<LoadingDialog *>(top); form && form->isVisible() && !clicked) {
                    form->findChild<QPushButton *>(QStringLiteral("btnCancel"))->click();
                    clicked = true;
                }
            }
        });
        loading.start(100);
        QElapsedTimer clock;
        clock.start();
        const bool started = startPhone(QStringLiteral("rooted"), false, [&] {
            writeAll(m_home->filePath(QStringLiteral("settings.ini")),
                     "[Settings]\nCommandOnStart=1\nStartCommand=adb shell sleep 1000\n"
                     "[LastDirectories]\nLeftPhonePanelDir=/sdcard/\nRightPhonePanelDir=/sdcard/\n");
        });
        VERIFY_STARTED(started);
        QVERIFY(clicked);
        QVERIFY(clock.elapsed() < 60000);
        QCOMPARE(right().folder(), QStringLiteral("/sdcard/"));
    }
};

QTEST_MAIN(TestFileSafetyE2e)
#include "tst_filesafety_e2e.moc"
