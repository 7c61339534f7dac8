#include "bridge/adbutils.h"
#include "common/recordingrunner.h"
#include "common/scriptedprompter.h"
#include "lists/filelistmodel.h"
#include "files/pcpane.h"
#include "base/appstate.h"
#include "base/settings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

void makeFile(const QString &path, qint64 bytes = 1)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
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
        setCurrent(QStringLiteral("keep/"));
        deleteItem->trigger(); // folders are not deleted
        QVERIFY(m_prompter->messages.isEmpty());

        setCurrent(QStringLiteral("victim.txt"));
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
