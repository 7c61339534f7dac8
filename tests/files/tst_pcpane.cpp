#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "common/scriptedprompter.h"
#include "widgets/fileicons.h"
#include "lists/filelistmodel.h"
#include "widgets/filerowdelegate.h"
#include "files/pcpane.h"
#include "base/appstate.h"
#include "base/settings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace {

void makeFile(const QString &path, qint64 bytes = 1)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
}

QString badging(const QString &package, const QString &label)
{
    return QStringLiteral("package: name='%1' versionCode='1' versionName='1.2'\napplication-label:'%2'\n"
                          "application: label='%2' icon='res/drawable/icon.png'\n")
        .arg(package, label);
}

QImage plain(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class TestPcPane : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root; // ends in "/"
    std::shared_ptr<RecordingRunner> m_runner;
    std::unique_ptr<AdbClient> m_adb;
    std::unique_ptr<PcPane> m_pane;
    ScriptedPrompter *m_prompter = nullptr;

    template <typename T> T *child(const char *name) { return m_pane->findChild<T *>(QLatin1String(name)); }
    QString caption(const char *name) { return child<QPushButton>(name)->text(); }
    QStringList rowNames() const
    {
        QStringList names;
        for (const ListItem &row : m_pane->model()->rows())
            names << row.name;
        return names;
    }
    QString current() const
    {
        const QModelIndex index = m_pane->list()->currentIndex();
        return index.isValid() ? m_pane->model()->item(index.row()).name : QString();
    }
    void setCurrent(const QString &name)
    {
        m_pane->list()->setCurrentIndex(m_pane->model()->index(int(rowNames().indexOf(name))));
    }
    void typeAddress(const QString &text)
    {
        m_pane->address()->setFocus();
        QTRY_VERIFY(m_pane->address()->hasFocus());
        m_pane->address()->clearEditText();
        QTest::keyClicks(m_pane->address(), text);
        QTest::keyClick(m_pane->address(), Qt::Key_Return);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_root = m_dir->path() + u'/';
        appState() = AppState{};
        appState().iconsDir = m_root + QStringLiteral("icons");
        programSettings() = ProgramSettings{};
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
        m_runner = std::make_shared<RecordingRunner>();
        m_adb = std::make_unique<AdbClient>(m_runner);
        m_pane = std::make_unique<PcPane>(*m_adb);
        m_pane->resize(400, 500);
        m_pane->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pane.get()));
        m_pane->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_pane.get()));
    }
    void cleanup()
    {
        m_pane.reset();
        m_dir.reset();
    }

    void enterInTheAddressBox()
    {
        QDir().mkpath(m_root + QStringLiteral("docs/old"));
        makeFile(m_root + QStringLiteral("docs/a.txt"));
        m_pane->listPcFolder(m_root);

        typeAddress(m_root + QStringLiteral("docs"));
        QCOMPARE(m_pane->address()->currentText(), m_root + QStringLiteral("docs/"));
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("docs/"));
        QCOMPARE(rowNames(), (QStringList{"old/", "a.txt"}));
        QVERIFY(m_pane->list()->hasFocus());

        // A missing folder, even one in the drop-down list, leaves the listing alone.
        m_pane->address()->addItem(m_root + QStringLiteral("gone/"));
        m_pane->address()->setEditText(m_pane->folder());
        typeAddress(m_root + QStringLiteral("gone/"));
        QCOMPARE(m_prompter->messages, QStringList{"info: The directory does not exist."});
        QCOMPARE(m_pane->address()->currentText(), m_root + QStringLiteral("docs/"));
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("docs/"));
        QCOMPARE(rowNames(), (QStringList{"old/", "a.txt"}));

        // A relative name is taken inside the listed folder.
        typeAddress(QStringLiteral("old"));
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("docs/old/"));
        QCOMPARE(child<QTabBar>("CPDirsList")->tabText(child<QTabBar>("CPDirsList")->count() - 1),
                 QStringLiteral("old"));
    }

    // A folder that went away (removed while shown, remembered from the last run, or picked from the
    // drop-down) never stays the pane's address: the listing moves to the nearest folder that is there.
    void aFolderThatWentAway()
    {
        QDir().mkpath(m_root + QStringLiteral("a/b/c"));
        makeFile(m_root + QStringLiteral("a/kept.txt"));
        m_pane->listPcFolder(m_root + QStringLiteral("a/b/c/"));
        QDir(m_root + QStringLiteral("a/b")).removeRecursively();
        child<QAction>("Refresh4")->trigger();
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("a/"));
        QCOMPARE(m_pane->address()->currentText(), m_root + QStringLiteral("a/"));
        QCOMPARE(rowNames(), QStringList{"kept.txt"});

        m_pane->listPcFolder(m_root + QStringLiteral("never/was/here/"));
        QCOMPARE(m_pane->folder(), m_root);

        m_pane->address()->addItem(m_root + QStringLiteral("a/b/c/"));
        m_pane->address()->setCurrentIndex(m_pane->address()->count() - 1);
        emit m_pane->address()->activated(m_pane->address()->count() - 1);
        QCOMPARE(m_prompter->messages, QStringList{"info: The directory does not exist."});
        QCOMPARE(m_pane->folder(), m_root);
        QCOMPARE(m_pane->address()->currentText(), m_root);
    }

    void goBackAndTabsSelectTheChild()
    {
        for (int i = 0; i < 40; ++i)
            QDir().mkpath(m_root + QStringLiteral("many/d%1").arg(i, 2, 10, QLatin1Char('0')));
        m_pane->listPcFolder(m_root + QStringLiteral("many/d20/"));
        QTest::mouseClick(child<QPushButton>("upButton"), Qt::LeftButton);
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("many/"));
        QCOMPARE(current(), QStringLiteral("d20/"));
        QCOMPARE(m_pane->list()->indexAt(QPoint(5, 5)).row(), 15);

        // Choosing the tab of the parent's parent returns there with "many/" current.
        auto *tabs = child<QTabBar>("CPDirsList");
        const int parentTab = tabs->count() - 2;
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(parentTab).center());
        QCOMPARE(m_pane->folder(), m_root);
        QCOMPARE(current(), QStringLiteral("many/"));

        // The root of the file system has no parent.
        m_pane->listPcFolder(QStringLiteral("/"));
        QTest::mouseClick(child<QPushButton>("upButton"), Qt::LeftButton);
        QCOMPARE(m_pane->folder(), QStringLiteral("/"));
        QCOMPARE(tabs->count(), 1);
    }

    void newDirectory()
    {
        m_pane->listPcFolder(m_root);
        auto answer = [](const QString &name) {
            return [name](QDialog &dialog) {
                dialog.findChild<QLineEdit *>(QStringLiteral("NewName"))->setText(name);
                return int(QDialog::Accepted);
            };
        };
        m_prompter->dialogAnswers << answer(QStringLiteral("  Fresh  "));
        QTest::mouseClick(child<QPushButton>("btnNewDirectoryCP"), Qt::LeftButton);
        QVERIFY(QFileInfo(m_root + QStringLiteral("Fresh")).isDir());
        QCOMPARE(current(), QStringLiteral("Fresh/"));
        QCOMPARE(m_prompter->dialogs, QStringList{"RenameDlg"});

        // Cancelled, or a name that would reach outside the folder: nothing is made.
        child<QAction>("Newdirectory1")->trigger();
        m_prompter->dialogAnswers << answer(QStringLiteral("../escape"));
        child<QAction>("Newdirectory1")->trigger();
        QVERIFY(!QFileInfo::exists(m_dir->path() + QStringLiteral("/../escape")));
        QCOMPARE(rowNames(), QStringList{"Fresh/"});
        QCOMPARE(m_prompter->messages, QStringList());
    }

    void deleteOnlyFiles()
    {
        QDir().mkpath(m_root + QStringLiteral("keep"));
        makeFile(m_root + QStringLiteral("victim.txt"));
        m_pane->listPcFolder(m_root);
        auto *deleteItem = child<QAction>("CPDelete");
        auto *separator = child<QAction>("pcListMenuSeparator");

        setCurrent(QStringLiteral("keep/"));
        emit m_pane->list()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(!deleteItem->isVisible() && !separator->isVisible());
        m_pane->listMenu()->close();
        deleteItem->trigger(); // even when reached another way, folders are not deleted
        QVERIFY(m_prompter->messages.isEmpty());

        setCurrent(QStringLiteral("victim.txt"));
        emit m_pane->list()->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(deleteItem->isVisible() && separator->isVisible());
        m_pane->listMenu()->close();
        m_prompter->questionAnswers << false << true;
        deleteItem->trigger();
        QVERIFY(QFile::exists(m_root + QStringLiteral("victim.txt")));
        QCOMPARE(rowNames(), (QStringList{"keep/", "victim.txt"}));
        deleteItem->trigger();
        QVERIFY(!QFile::exists(m_root + QStringLiteral("victim.txt")));
        QCOMPARE(rowNames(), QStringList{"keep/"});
        QCOMPARE(m_prompter->messages,
                 (QStringList{"question: Delete \"victim.txt\"?", "question: Delete \"victim.txt\"?"}));

        // With no current row there is nothing to delete or open.
        m_pane->list()->setCurrentIndex(QModelIndex());
        deleteItem->trigger();
        child<QAction>("Open1")->trigger();
        QCOMPARE(m_prompter->messages.size(), 2);
        QVERIFY(m_prompter->opened.isEmpty());
    }

    // The keys, sent to the list the user has focused.
    void keysInTheList()
    {
        QDir().mkpath(m_root + QStringLiteral("docs/old"));
        makeFile(m_root + QStringLiteral("docs/a.txt"));
        makeFile(m_root + QStringLiteral("docs/b.apk"));
        m_pane->listPcFolder(m_root);
        m_pane->list()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(m_pane->list()));
        auto press = [](int key, Qt::KeyboardModifiers modifiers = {}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
        };
        QSignalSpy copy(m_pane.get(), &PcPane::copyToDeviceRequested);
        QSignalSpy apk(m_pane.get(), &PcPane::apkOpened);

        setCurrent(QStringLiteral("docs/"));
        press(Qt::Key_Return);
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("docs/"));
        setCurrent(QStringLiteral("b.apk"));
        press(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(apk.count(), 1);
        QCOMPARE(apk.first().first().toString(), m_root + QStringLiteral("docs/b.apk"));
        QSignalSpy move(m_pane.get(), &PcPane::moveToDeviceRequested);
        press(Qt::Key_F5);
        QCOMPARE(copy.count(), 1);
        press(Qt::Key_F6);
        QCOMPARE(move.count(), 1);
        QCOMPARE(copy.count(), 1);

        // Delete and F8 take files, never folders, and ask first.
        m_prompter->questionAnswers << true;
        setCurrent(QStringLiteral("old/"));
        press(Qt::Key_Delete);
        setCurrent(QStringLiteral("a.txt"));
        press(Qt::Key_F8);
        QCOMPARE(m_prompter->messages, QStringList{"question: Delete \"a.txt\"?"});
        QCOMPARE(rowNames(), (QStringList{"old/", "b.apk"}));

        m_prompter->dialogAnswers << [](QDialog &dialog) {
            dialog.findChild<QLineEdit *>(QStringLiteral("NewName"))->setText(QStringLiteral("new"));
            return int(QDialog::Accepted);
        };
        press(Qt::Key_F7);
        QVERIFY(QFileInfo(m_root + QStringLiteral("docs/new")).isDir());
        makeFile(m_root + QStringLiteral("docs/c.txt"));
        press(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(rowNames(), (QStringList{"new/", "old/", "b.apk", "c.txt"}));

        press(Qt::Key_Backspace);
        QCOMPARE(m_pane->folder(), m_root);
        QCOMPARE(current(), QStringLiteral("docs/"));
    }

    void apkDetailsToggle()
    {
        QDir().mkpath(m_root + QStringLiteral("apps/sub"));
        makeFile(m_root + QStringLiteral("apps/app.apk"), 4096);
        makeFile(m_root + QStringLiteral("apps/other.apk"));
        makeFile(m_root + QStringLiteral("apps/PLAIN.APK"));
        QDir().mkpath(appState().iconsDir);
        QImage cached(48, 48, QImage::Format_RGB32);
        cached.fill(QColor(0, 0, 255));
        QVERIFY(cached.save(appState().iconsDir + QStringLiteral("/com.example.app.apk.png")));
        const QString dumpApp = QStringLiteral("\"aapt\" dump badging \"") + m_root + QStringLiteral("apps/app.apk\"");
        const QString dumpOther =
            QStringLiteral("\"aapt\" dump badging \"") + m_root + QStringLiteral("apps/other.apk\"");
        m_runner->answers.insert(dumpApp, badging(QStringLiteral("com.example.app"), QStringLiteral("Example")));
        m_runner->answers.insert(dumpOther, badging(QStringLiteral("com.other"), QStringLiteral("Other")));

        m_pane->listPcFolder(m_root + QStringLiteral("apps/"));
        QVERIFY(m_runner->commands.isEmpty());
        QTest::mouseClick(child<QPushButton>("ApkInfoIcon"), Qt::LeftButton);
        QVERIFY(m_pane->showApkDetails());
        // Read on several threads: in any order.
        QStringList dumps = m_runner->texts();
        dumps.sort();
        QCOMPARE(dumps, (QStringList{dumpApp, dumpOther}));
        const QList<ListItem> &rows = m_pane->model()->rows();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows.at(1).toText(), QStringLiteral("4096;com.example.app;app.apk;Example v1.2;"));
        QCOMPARE(rows.at(2).toText(), QStringLiteral("1;com.other;other.apk;Other v1.2;"));
        QCOMPARE(rows.at(3).toText(), QStringLiteral("1;pkgName;PLAIN.APK;PLAIN.APK;"));

        // One image per row: the cached icon where there is one, the generic APK image elsewhere.
        auto *delegate = qobject_cast<FileRowDelegate *>(m_pane->list()->itemDelegate());
        const QList<QPixmap> &icons = delegate->apkIcons();
        QCOMPARE(icons.size(), 4);
        QCOMPARE(icons.at(1).size(), QSize(24, 24));
        QCOMPARE(icons.at(1).toImage().pixelColor(12, 12), QColor(0, 0, 255));
        for (int i : {0, 2, 3})
            QCOMPARE(plain(icons.at(i)), plain(fileIcons().at(IconApk)));
        QVERIFY(!m_pane->list()->viewport()->grab().isNull());

        // Opening: APKs go to the information window, other files to the desktop.
        QString apk;
        connect(m_pane.get(), &PcPane::apkOpened, this, [&](const QString &path) { apk = path; });
        emit m_pane->list()->doubleClicked(m_pane->model()->index(1));
        QCOMPARE(apk, m_root + QStringLiteral("apps/app.apk"));
        emit m_pane->list()->doubleClicked(m_pane->model()->index(3));
        QCOMPARE(m_prompter->opened, QList<QUrl>{QUrl::fromLocalFile(m_root + QStringLiteral("apps/PLAIN.APK"))});

        QTest::mouseClick(child<QPushButton>("ApkInfoIcon"), Qt::LeftButton);
        QVERIFY(!m_pane->showApkDetails());
        QCOMPARE(m_runner->commands.size(), 2);
        QCOMPARE(m_pane->model()->rows().at(1).toText(), QStringLiteral("4096;pkgName;app.apk;app.apk;"));
    }

    void marksSortAndHiddenFiles()
    {
        QDir().mkpath(m_root + QStringLiteral("dir"));
        makeFile(m_root + QStringLiteral("small"), 3000);
        makeFile(m_root + QStringLiteral("big"), 20000);
        makeFile(m_root + QStringLiteral(".hidden"));
        m_pane->listPcFolder(m_root);
        QCOMPARE(rowNames(), (QStringList{"dir/", "big", "small"}));
        child<QAction>("Selecktall1")->trigger();
        QCOMPARE(caption("cpSelCount"), QStringLiteral("Selected: 3"));
        child<QAction>("Unselectall3")->trigger();
        QCOMPARE(caption("cpSelCount"), QStringLiteral("Selected: 0"));

        // Every listing clears the marks; hidden entries follow the setting.
        child<QAction>("Selecktall1")->trigger();
        programSettings().showHiddenPcFiles = true;
        QTest::mouseClick(child<QPushButton>("CRefresh"), Qt::LeftButton);
        QCOMPARE(caption("cpSelCount"), QStringLiteral("Selected: 0"));
        QCOMPARE(caption("cpItemsCount"), QStringLiteral("Count: 4"));
        QVERIFY(m_pane->model()->checkedRows().isEmpty());

        child<QAction>("byNameCP")->trigger();
        QCOMPARE(rowNames(), (QStringList{"dir/", ".hidden", "big", "small"}));
        child<QAction>("MenuItem8")->trigger();
        QCOMPARE(child<QToolButton>("btnSortCP")->text(), QStringLiteral("Sort by: Size"));
        QCOMPARE(rowNames(), (QStringList{"dir/", "big", "small", ".hidden"}));
    }

    void driveBox()
    {
        QDir().mkpath(m_root + QStringLiteral("vol"));
        QComboBox *drives = m_pane->drivesBox();
        m_pane->list()->setFocus();
        QVERIFY(drives->findData(QStringLiteral("/")) >= 0);
        m_pane->listPcFolder(m_root);
        const int own = drives->currentIndex();
        QVERIFY(m_root.startsWith(drives->itemData(own).toString()));

        // The user's choice lists the volume's root; the program's own choices never do, and
        // never swallow the user's next choice.
        drives->addItem(QStringLiteral("vol"), QString(m_root + QStringLiteral("vol/")));
        drives->setCurrentIndex(drives->count() - 1);
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("vol/"));
        m_pane->listPcFolder(m_root);
        QCOMPARE(drives->currentIndex(), own);
        QCOMPARE(m_pane->folder(), m_root);
        drives->setCurrentIndex(drives->count() - 1);
        QCOMPARE(m_pane->folder(), m_root + QStringLiteral("vol/"));

        // Entering the box reads the volumes anew with their file systems; nothing is listed.
        m_pane->listPcFolder(m_root);
        drives->setFocus();
        QTRY_VERIFY(drives->hasFocus());
        QVERIFY(drives->itemText(drives->findData(QStringLiteral("/"))).startsWith(QStringLiteral("/ (")));
        QCOMPARE(drives->currentIndex(), own);
        m_pane->list()->setFocus();
        QTRY_COMPARE(drives->itemText(drives->findData(QStringLiteral("/"))), QStringLiteral("/"));
        QCOMPARE(m_pane->folder(), m_root);
    }

    void signalsOfTheCommandButtons()
    {
        QSignalSpy copy(m_pane.get(), &PcPane::copyToDeviceRequested);
        QSignalSpy installer(m_pane.get(), &PcPane::installRequested);
        makeFile(m_root + QStringLiteral("a.apk"));
        makeFile(m_root + QStringLiteral("b.apks"));
        makeFile(m_root + QStringLiteral("c.txt"));
        m_pane->listPcFolder(m_root);
        QTest::mouseClick(child<QPushButton>("CpCopy"), Qt::LeftButton);
        QCOMPARE(copy.count(), 1);
        // Nothing checked: the folder; then the checked packages, without the other files.
        QTest::mouseClick(child<QPushButton>("btnShowApps"), Qt::LeftButton);
        for (const char *name : {"a.apk", "b.apks", "c.txt"})
            m_pane->model()->setData(m_pane->model()->index(int(rowNames().indexOf(QLatin1String(name)))), Qt::Checked,
                                     Qt::CheckStateRole);
        QTest::mouseClick(child<QPushButton>("btnShowApps"), Qt::LeftButton);
        QCOMPARE(installer.count(), 2);
        QCOMPARE(installer.at(0).at(0).toStringList(), QStringList{m_root});
        QCOMPARE(installer.at(1).at(0).toStringList(), (QStringList{m_root + "a.apk", m_root + "b.apks"}));
    }
};

QTEST_MAIN(TestPcPane)
#include "tst_pcpane.moc"
