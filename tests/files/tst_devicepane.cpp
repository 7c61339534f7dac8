#include "bridge/adbutils.h"
#include "common/adbstub.h"
#include "common/scriptedprompter.h"
#include "files/devicepane.h"
#include "lists/filelistmodel.h"
#include "base/appstate.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QComboBox>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <map>

namespace {

const QString kRoot = QStringLiteral("drwxrwxr-x root system 2010-01-12 12:34 data\r\n"
                                     "d---rwxr-x system sdcard_rw 2010-01-12 12:34 sdcard\r\n"
                                     "lrwxrwxrwx root root 2010-01-12 12:34 etc -> /system/etc\r\n");
const QString kSdcard = QStringLiteral("d---rwxr-x system sdcard_rw 2011-03-04 09:05 dcim\r\n"
                                       "d---rwxr-x system sdcard_rw 2010-01-12 12:34 Music\r\n"
                                       "----rwxr-x system sdcard_rw 2048 2010-01-12 12:30 notes.txt\r\n"
                                       "----rwxr-x system sdcard_rw 900000 2012-05-01 08:00 b.bin\r\n"
                                       "----rwxr-x system sdcard_rw 10 2009-01-01 00:00 a.TXT.bak\r\n"
                                       "lrwxrwxrwx root root 2010-01-12 12:34 pics -> /sdcard/dcim\r\n");
const QString kDcim = QStringLiteral("----rwxr-x system sdcard_rw 5 2010-01-12 12:34 IMG_0001.jpg\r\n");

QStringList rowNames(DevicePane &pane)
{
    QStringList names;
    for (const ListItem &row : pane.model()->rows())
        names << row.name;
    return names;
}

} // namespace

class TestDevicePane : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<AdbStub> m_stub;
    std::unique_ptr<AdbClient> m_adb;
    std::unique_ptr<DevicePane> m_pane;
    ScriptedPrompter *m_prompter = nullptr;

    void list(const QString &path, const QString &output) { m_stub->setListing(path, output); }
    QString current() const
    {
        const QModelIndex index = m_pane->list()->currentIndex();
        return index.isValid() ? m_pane->model()->item(index.row()).name : QString();
    }

private slots:
    void init()
    {
        appState() = AppState{};
        appState().shortListing = true;
        m_stub = std::make_unique<AdbStub>();
        list(QStringLiteral("/"), kRoot);
        list(QStringLiteral("/sdcard/"), kSdcard);
        list(QStringLiteral("/sdcard/dcim/"), kDcim);
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
        m_adb = std::make_unique<AdbClient>();
        m_pane = std::make_unique<DevicePane>(DevicePane::Side::Right, *m_adb);
        m_pane->show();
    }
    void cleanup()
    {
        m_pane.reset();
        m_stub.reset();
    }

    // Keys go where a user's go: to the list that has the focus.
    void focusList()
    {
        m_pane->activateWindow();
        m_pane->list()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_pane->list()));
    }
    void press(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    void makeCurrent(const QString &name)
    {
        m_pane->list()->setCurrentIndex(m_pane->model()->index(int(rowNames(*m_pane).indexOf(name))));
    }

    void keysRunTheirCommand_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("command"); // the button or item the key stands for
        QTest::newRow("F5 copies") << int(Qt::Key_F5) << 0 << "LCopy";
        QTest::newRow("F8 deletes") << int(Qt::Key_F8) << 0 << "btnDel";
        QTest::newRow("Delete deletes") << int(Qt::Key_Delete) << 0 << "btnDel";
        QTest::newRow("F6 moves") << int(Qt::Key_F6) << 0 << "moveKey";
        QTest::newRow("F2 renames") << int(Qt::Key_F2) << 0 << "PFRename";
        QTest::newRow("F7 makes a folder") << int(Qt::Key_F7) << 0 << "PFNewDir";
        QTest::newRow("Ctrl+R lists again") << int(Qt::Key_R) << int(Qt::ControlModifier) << "PFRefresh";
        QTest::newRow("Ctrl+D bookmarks") << int(Qt::Key_D) << int(Qt::ControlModifier) << "Add2Bookmarks";
    }
    void keysRunTheirCommand()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(QString, command);
        QVERIFY(m_pane->fillDeviceList(QStringLiteral("/sdcard/")));
        std::map<QString, std::unique_ptr<QSignalSpy>> spies;
        for (const char *name : {"LCopy", "btnDel"})
            spies[QLatin1String(name)] = std::make_unique<QSignalSpy>(
                m_pane->findChild<QPushButton *>(QLatin1String(name)), &QPushButton::clicked);
        for (const char *name : {"moveKey", "PFRename", "PFNewDir", "PFRefresh", "PFDelete", "Add2Bookmarks"})
            spies[QLatin1String(name)] =
                std::make_unique<QSignalSpy>(m_pane->findChild<QAction *>(QLatin1String(name)), &QAction::triggered);
        focusList();
        makeCurrent(QStringLiteral("notes.txt"));
        press(key, Qt::KeyboardModifiers(modifiers));
        for (const auto &[name, spy] : spies)
            QVERIFY2(spy->count() == (name == command ? 1 : 0), qPrintable(name));
        // A button that is off is off for its key too.
        m_pane->commandButton(DevicePane::Command::Copy)->setEnabled(false);
        press(Qt::Key_F5);
        QCOMPARE(spies[QStringLiteral("LCopy")]->count(), command == QStringLiteral("LCopy") ? 1 : 0);
    }

    void keysMoveAround()
    {
        list(QStringLiteral("/sdcard/Music/"), QStringLiteral("----rwxr-x system sdcard_rw 7 2010-01-12 12:34 "
                                                              "player.apk\r\n"));
        QVERIFY(m_pane->fillDeviceList(QStringLiteral("/sdcard/")));
        focusList();
        QSignalSpy opened(m_pane.get(), &DevicePane::apkOpened);

        // Enter and the keypad's Enter open a folder, Backspace goes back up to the row it came from.
        makeCurrent(QStringLiteral("dcim/"));
        press(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(m_pane->folder(), QStringLiteral("/sdcard/dcim/"));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_pane->list()));
        press(Qt::Key_Backspace);
        QCOMPARE(m_pane->folder(), QStringLiteral("/sdcard/"));
        QCOMPARE(current(), QStringLiteral("dcim/"));
        makeCurrent(QStringLiteral("Music/"));
        press(Qt::Key_Return);
        QCOMPARE(m_pane->folder(), QStringLiteral("/sdcard/Music/"));
        // On an APK row Enter opens its information window, as a double-click does.
        makeCurrent(QStringLiteral("player.apk"));
        press(Qt::Key_Return);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.first().first().toString(), QStringLiteral("/sdcard/Music/player.apk"));
        press(Qt::Key_Backspace);

        // Insert marks the row and steps down; a second Insert marks the next one.
        makeCurrent(QStringLiteral("a.TXT.bak"));
        press(Qt::Key_Insert);
        press(Qt::Key_Insert);
        QCOMPARE(m_pane->model()->checkedRows(), (QList<int>{2, 3}));
        QCOMPARE(current(), QStringLiteral("notes.txt"));
        press(Qt::Key_Up);
        press(Qt::Key_Insert);
        QCOMPARE(m_pane->model()->checkedRows(), QList<int>{2});
        // A new listing starts unmarked: no mark stays on a row that may now hold another entry.
        press(Qt::Key_R, Qt::ControlModifier);
        QVERIFY(m_pane->model()->checkedRows().isEmpty());

        // F5 or Ctrl+R in the address box lists the folder again.
        list(QStringLiteral("/sdcard/"), kDcim);
        m_pane->address()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_pane->address()));
        press(Qt::Key_F5);
        QCOMPARE(rowNames(*m_pane), QStringList{"IMG_0001.jpg"});
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_pane->list()));
        // In a list just filled, Insert starts at the first row.
        press(Qt::Key_Insert);
        QCOMPARE(m_pane->model()->checkedRows(), QList<int>{0});
    }

    void doubleClickOpensFoldersAndLinks()
    {
        m_pane->setAddressText(QStringLiteral("/sdcard/"));
        m_pane->fillDeviceList(m_pane->addressText());
        const QModelIndex link = m_pane->model()->index(5);
        emit m_pane->list()->doubleClicked(link);
        QCOMPARE(m_prompter->messages, QStringList{"info: Opening symbolic links needs BusyBox on this phone."});
        QCOMPARE(m_pane->addressText(), QStringLiteral("/sdcard/"));

        // A phone's own readlink (toybox) opens links as busybox does.
        appState().readlinkPresent = true;
        m_stub->setShell(QStringLiteral("readlink  \"/sdcard/pics\""), QStringLiteral("/sdcard/dcim\r\n"));
        emit m_pane->list()->doubleClicked(link);
        QCOMPARE(m_pane->addressText(), QStringLiteral("/sdcard/dcim/"));
        QCOMPARE(rowNames(*m_pane), QStringList{"IMG_0001.jpg"});

        // A relative target is taken beside the link; a dangling one leaves the pane where it was.
        m_pane->fillDeviceList(QStringLiteral("/sdcard/"));
        m_stub->setShell(QStringLiteral("readlink  \"/sdcard/pics\""), QStringLiteral("dcim\n"));
        emit m_pane->list()->doubleClicked(link);
        QCOMPARE(m_pane->folder(), QStringLiteral("/sdcard/dcim/"));
        m_pane->fillDeviceList(QStringLiteral("/sdcard/"));
        m_stub->setShell(QStringLiteral("readlink  \"/sdcard/pics\""), QStringLiteral("/gone\n"));
        m_stub->setListing(QStringLiteral("/gone/"), QStringLiteral("ls: /gone/: No such file or directory\n"));
        emit m_pane->list()->doubleClicked(link);
        QCOMPARE(m_pane->folder(), QStringLiteral("/sdcard/"));
        QCOMPARE(m_pane->note(), QStringLiteral("Cannot open /gone/: No such file or directory"));

        m_pane->setAddressText(QStringLiteral("/sdcard/"));
        m_pane->fillDeviceList(m_pane->addressText());
        list(QStringLiteral("/sdcard/Music/"), QString());
        emit m_pane->list()->doubleClicked(m_pane->model()->index(1));
        QCOMPARE(m_pane->addressText(), QStringLiteral("/sdcard/Music/"));
        QCOMPARE(m_pane->model()->rowCount(), 0);
    }

    // Up during a listing that does not end: the newer navigation wins, the older one's rows never show.
    void newerNavigationWins()
    {
        QVERIFY(m_pane->fillDeviceList(QStringLiteral("/sdcard/")));
        const QString slow = QStringLiteral("ls -l -a \"/sdcard/dcim/\" 2>&1; echo \"[velbrook-end:$?]\"");
        m_stub->setShellHanging(slow);
        bool busySeen = false;
        QTimer::singleShot(100, this, [&] {
            busySeen = m_pane->isListing() && !m_pane->list()->isEnabled() &&
                       !m_pane->findChild<QPushButton *>(QStringLiteral("btnDel"))->isEnabled();
            m_pane->goUp();
        });
        QVERIFY(!m_pane->fillDeviceList(QStringLiteral("/sdcard/dcim/")));
        QVERIFY(busySeen);
        QCOMPARE(m_pane->folder(), QStringLiteral("/"));
        QCOMPARE(m_pane->addressText(), QStringLiteral("/"));
        QCOMPARE(rowNames(*m_pane), (QStringList{"data/", "sdcard/", "etc@"}));
        QVERIFY(m_pane->list()->isEnabled());
        QVERIFY(!m_pane->isListing());
    }
};

QTEST_MAIN(TestDevicePane)
#include "tst_devicepane.moc"
