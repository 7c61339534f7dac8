// The file browser driven through the main window against the simulated phone: what the
// operation log says line by line, and what ends up on the phone and on the PC.
#include "files/browserharness.h"
#include "files/filedialogs.h"
#include "files/pcpane.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>

namespace {

void rootedAndLegacy()
{
    QTest::addColumn<QString>("profile");
    QTest::newRow("rooted") << "rooted";
    QTest::newRow("legacy") << "legacy";
}

void everyProfile()
{
    rootedAndLegacy();
    QTest::newRow("modern") << "modern";
}

} // namespace

class TestFileBrowserE2e : public BrowserHarness {
    Q_OBJECT

private slots:
    void cleanup() { stopAll(); }

    void pushToSystemNeedsRoot_data() { rootedAndLegacy(); }
    void pushToSystemNeedsRoot()
    {
        QFETCH(QString, profile);
        START_PHONE(profile);
        writeAll(m_pc + QStringLiteral("a.apk"), "first");
        writeAll(m_pc + QStringLiteral("b.apk"), "second");
        m_prompter->openFiles << QStringList{m_pc + QStringLiteral("a.apk"), m_pc + QStringLiteral("b.apk")};
        m_prompter->dialogAnswers << pushTo(QStringLiteral("/system/app/"));
        right().commandButton(DevicePane::Command::Push)->click();
        if (profile == QStringLiteral("legacy")) {
            QCOMPARE(m_prompter->messages, QStringList{"stop: Access denied!: This operation needs root access."});
            QVERIFY(!m_form->logForm()->isVisible());
            return;
        }
        QVERIFY(log().contains(QStringLiteral("Remounting...")));
        QCOMPARE(log().last(), QStringLiteral("*** 2 of 2 done ***"));
        QCOMPARE(readAll(m_sim->hostPath(QStringLiteral("/system/app/b.apk"))), QByteArray("second"));
        QVERIFY(m_sim->journal().contains(QStringLiteral("remount")));
        closeLog();
    }

    // The question names what goes; with no row checked, the highlighted one goes.
    void deleteQuestionNamesWhatGoes()
    {
        START_PHONE(QStringLiteral("modern"));
        phoneShell(
            QStringLiteral("mkdir /sdcard/many && cd /sdcard/many && for i in 1 2 3 4 5 6 7; do echo x > f$i; done"));
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/many/")));
        QListView *view = right().list();
        view->setFocus();
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        m_prompter->questionAnswers << false;
        right().commandButton(DevicePane::Command::Delete)->click();
        QCOMPARE(m_prompter->messages.last(),
                 QStringLiteral("question: Delete these 7 items from the phone?\n\nf1\nf2\nf3\nf4\nf5\nand 2 more"));
        QCOMPARE(QDir(phone(QStringLiteral("/sdcard/many"))).entryList(QDir::Files).size(), 7);

        right().model()->setChecks(QList<bool>(7, false));
        view->setCurrentIndex(right().model()->index(rowOf(right(), QStringLiteral("f2"))));
        m_prompter->questionAnswers << true;
        right().commandButton(DevicePane::Command::Delete)->click();
        QCOMPARE(m_prompter->messages.last(), QStringLiteral("question: Delete \"f2\" from the phone?"));
        QVERIFY(!QFileInfo::exists(phone(QStringLiteral("/sdcard/many/f2"))));
        QCOMPARE(log().last(), QStringLiteral("*** 1 of 1 done ***"));
        closeLog();
    }

    // A copy on the phone keeps the file's date where the phone has cp, and replaces a file only when the user
    // says so, and then never appends to it.
    void copyOnThePhone_data() { everyProfile(); }
    void copyOnThePhone()
    {
        QFETCH(QString, profile);
        START_PHONE(profile);
        const QDateTime phoneDate(QDate(2020, 5, 17), QTime(10, 20, 30), Qt::UTC);
        const auto dateOf = [](const QString &path) {
            return QFileInfo(path).fileTime(QFileDevice::FileModificationTime).toUTC();
        };
        phoneShell(QStringLiteral("mkdir -p /sdcard/dates/in /sdcard/copies"));
        putOnPhone(QStringLiteral("/sdcard/dates/one.txt"), "one.txt");
        putOnPhone(QStringLiteral("/sdcard/dates/in/three.txt"), "three");
        QFile one(phone(QStringLiteral("/sdcard/dates/one.txt")));
        QVERIFY(one.open(QIODevice::ReadWrite) && one.setFileTime(phoneDate, QFileDevice::FileModificationTime));
        one.close();
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/dates/")));
        check(right(), QStringLiteral("one.txt"));
        check(right(), QStringLiteral("in/"));
        putOnPhone(QStringLiteral("/sdcard/copies/one.txt"), "an older and longer content");
        showLeftPhonePane();
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/copies/")));
        m_prompter->dialogAnswers << accept();
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        right().commandButton(DevicePane::Command::Copy)->click();
        QCOMPARE(log().mid(0, 3),
                 (QStringList{"Items count: 2", "Items source: /sdcard/dates/", "Items destination: /sdcard/copies/"}));
        QVERIFY(m_prompter->messages.contains(QStringLiteral("replace: /sdcard/copies/one.txt (batch)")));
        // BusyBox's cp on the rooted phone, toybox's on the current one; the old toolbox has none, so cat copies
        // the file, the phone dates the copy, and a folder fails.
        const bool legacy = profile == QStringLiteral("legacy");
        const QList<QStringList> rows = loggedRows();
        QCOMPARE(rows.at(0).at(0), QStringLiteral("[1/2] Copying directory: in"));
        QVERIFY2(rows.at(0).at(1).endsWith(legacy ? QStringLiteral("Failed") : QStringLiteral("Copy complete")),
                 qPrintable(rows.at(0).at(1)));
        QCOMPARE(rows.at(1), (QStringList{"[2/2] Copying file: one.txt", "Copy complete", " "}));
        QCOMPARE(QFileInfo::exists(phone(QStringLiteral("/sdcard/copies/in"))), !legacy);
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/copies/in/three.txt"))),
                 legacy ? QByteArray() : QByteArray("three"));
        QCOMPARE(rowOf(left(), QStringLiteral("in/")) >= 0, !legacy); // the target pane was relisted
        closeLog();
        const QString copy = phone(QStringLiteral("/sdcard/copies/one.txt"));
        QCOMPARE(readAll(copy), QByteArray("one.txt"));
        if (legacy)
            QVERIFY(dateOf(copy) != phoneDate);
        else
            QCOMPARE(dateOf(copy), phoneDate);
    }

    void openDatabaseRows()
    {
        START_PHONE(QStringLiteral("rooted"));
        putOnPhone(QStringLiteral("/sdcard/data.db"), "SQLite format 3");
        right().refresh();
        QAction *open = right().listMenu()->findChild<QAction *>(QStringLiteral("PFPullAndOpen"));
        programSettings().SQLiteDatabaseBrowser = QStringLiteral("/bin/true");
        makeCurrent(right().list(), rowOf(right(), QStringLiteral("data.db")));
        m_prompter->directories << m_pc;
        open->trigger();
        QCOMPARE(readAll(m_pc + QStringLiteral("data.db")), QByteArray("SQLite format 3"));

        // A browser that fails is reported by its exit code and last words; one that cannot start, too.
        const QString browser = m_pc + QStringLiteral("browser");
        QVERIFY(writeAll(browser, "#!/bin/sh\necho \"cannot open $1\" >&2\nexit 3\n"));
        QFile::setPermissions(browser, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        programSettings().SQLiteDatabaseBrowser = browser;
        m_prompter->directories << m_pc;
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        m_prompter->messages.clear();
        open->trigger();
        QTRY_COMPARE(m_prompter->messages.size(), 2);
        QCOMPARE(m_prompter->messages.last(), QStringLiteral("info: ") + browser +
                                                  QStringLiteral(" ended with exit code 3.\ncannot open ") + m_pc +
                                                  QStringLiteral("data.db"));
        programSettings().SQLiteDatabaseBrowser = m_pc + QStringLiteral("no-such-browser");
        m_prompter->directories << m_pc;
        m_prompter->replaceAnswers << ReplaceAnswer::Replace;
        m_prompter->messages.clear();
        open->trigger();
        QTRY_COMPARE(m_prompter->messages.size(), 2);
        QCOMPARE(m_prompter->messages.last(),
                 QStringLiteral("info: Could not start ") + m_pc + QStringLiteral("no-such-browser"));
    }

    void droppedAndDraggedFiles()
    {
        START_PHONE(QStringLiteral("rooted"));
        writeAll(m_pc + QStringLiteral("README"), "read me");
        m_prompter->dialogAnswers << accept(); // SD Card
        ops().pushDroppedFiles({m_pc + QStringLiteral("README")});
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/README"))), QByteArray("read me"));
        closeLog();

        // PC to the right pane.
        QDir().mkpath(m_pc + QStringLiteral("Photos"));
        writeAll(m_pc + QStringLiteral("Photos/p.jpg"), "jpeg");
        m_form->pcPane()->listPcFolder(m_pc);
        QListView *pcList = m_form->pcPane()->list();
        auto *pcModel = qobject_cast<FileListModel *>(pcList->model());
        int photos = -1;
        for (int i = 0; i < pcModel->rowCount(); ++i)
            if (pcModel->item(i).name == QStringLiteral("Photos/"))
                photos = i;
        makeCurrent(pcList, photos);
        m_prompter->dialogAnswers << accept();
        ops().dropRow(right().list(), pcList);
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/Photos/p.jpg"))), QByteArray("jpeg"));
        closeLog();

        // Right pane to the PC, then between the phone panes.
        makeCurrent(right().list(), rowOf(right(), QStringLiteral("README")));
        m_prompter->dialogAnswers << accept();
        QDir().remove(m_pc + QStringLiteral("README"));
        ops().dropRow(pcList, right().list());
        QCOMPARE(readAll(m_pc + QStringLiteral("README")), QByteArray("read me"));
        closeLog();

        showLeftPhonePane();
        phoneShell(QStringLiteral("mkdir /sdcard/Download"));
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/Download/")));
        makeCurrent(right().list(), rowOf(right(), QStringLiteral("Photos/")));
        m_prompter->dialogAnswers << accept();
        ops().dropRow(left().list(), right().list());
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/Download/Photos/p.jpg"))), QByteArray("jpeg"));
        closeLog();

        // Never onto itself, never onto the applications.
        QVERIFY(!ops().acceptDrop(right().list(), right().list()));
        QVERIFY(!ops().acceptDrop(m_form->findChild<QListView *>(QStringLiteral("appsList")), pcList));
    }

    // The keys of a two-pane manager, sent to the widget that has the focus in the shown window.
    void keysBetweenPanes()
    {
        START_PHONE(QStringLiteral("rooted"));
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        auto press = [](int key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        };
        // Where a user clicks before typing; the window is active again once an operation's log has closed.
        auto focus = [this](QWidget *widget) {
            m_form->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
            widget->setFocus();
            QTRY_COMPARE(QApplication::focusWidget(), widget);
        };
        putOnPhone(QStringLiteral("/sdcard/Download/a.txt"), "aaa");
        putOnPhone(QStringLiteral("/sdcard/Download/b.txt"), "bbb");
        putOnPhone(QStringLiteral("/sdcard/Documents/b.txt"), "old");
        showLeftPhonePane();
        QVERIFY(right().fillDeviceList(QStringLiteral("/sdcard/Download/")));
        QVERIFY(left().fillDeviceList(QStringLiteral("/sdcard/Documents/")));

        // Tab goes to the other side's list, and the frame shows which pane the keys go to.
        focus(right().list());
        QVERIFY(right().isActive() && !left().isActive());
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(left().list()));
        QVERIFY(left().isActive() && !right().isActive());
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(right().list()));

        // F6 moves: one question, then only what arrived leaves its source; a row skipped stays.
        check(right(), QStringLiteral("a.txt"));
        check(right(), QStringLiteral("b.txt"));
        m_prompter->dialogAnswers << accept();
        m_prompter->replaceAnswers << ReplaceAnswer::Skip;
        press(Qt::Key_F6);
        QCOMPARE(m_prompter->dialogs, QStringList{"CopyForm"});
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/Documents/a.txt"))), QByteArray("aaa"));
        QVERIFY(!QFileInfo::exists(phone(QStringLiteral("/sdcard/Download/a.txt"))));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/Download/b.txt"))), QByteArray("bbb"));
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/Documents/b.txt"))), QByteArray("old"));
        QCOMPARE(rowNames(right()), QStringList{"b.txt"});
        QVERIFY(rowOf(left(), QStringLiteral("a.txt")) >= 0);
        closeLog();

        // To the PC pane: pulled, then deleted on the phone.
        m_form->findChild<QTabWidget *>(QStringLiteral("leftTabs"))->setCurrentIndex(0);
        focus(right().list());
        makeCurrent(right().list(), rowOf(right(), QStringLiteral("b.txt")));
        m_prompter->dialogAnswers << accept();
        press(Qt::Key_F6);
        QCOMPARE(readAll(m_pc + QStringLiteral("b.txt")), QByteArray("bbb"));
        QVERIFY(!QFileInfo::exists(phone(QStringLiteral("/sdcard/Download/b.txt"))));
        closeLog();
        // And back from the PC pane: the file leaves the PC once the phone holds all of it.
        focus(right().list());
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_form->pcPane()->list()));
        QVERIFY(m_form->pcPane()->isActive());
        const QList<ListItem> &pcRows = m_form->pcPane()->model()->rows();
        for (int i = 0; i < pcRows.size(); ++i) {
            if (pcRows.at(i).name == QStringLiteral("b.txt"))
                makeCurrent(m_form->pcPane()->list(), i);
        }
        m_prompter->dialogAnswers << accept();
        press(Qt::Key_F6);
        QCOMPARE(readAll(phone(QStringLiteral("/sdcard/Download/b.txt"))), QByteArray("bbb"));
        QVERIFY(!QFileInfo::exists(m_pc + QStringLiteral("b.txt")));
        closeLog();
    }
};

QTEST_MAIN(TestFileBrowserE2e)
#include "tst_filebrowser_e2e.moc"
