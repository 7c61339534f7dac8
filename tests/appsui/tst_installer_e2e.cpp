// The applications installer window on a folder of real APKs: what it lists and highlights, its
// counters, renaming and deleting on the PC, and installing to the current simulated phone.
#include "common/recordinglog.h"
#include "app/progressdlg.h"
#include "apps/apkarchive.h"
#include "apps/catalogue.h"
#include "appsui/appdialogs.h"
#include "appsui/installerform.h"
#include "appsui/installtarget.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/settings.h"
#include "bridge/adbutils.h"
#include "common/phonesimfixture.h"
#include "common/scriptedprompter.h"
#include "common/testapk.h"
#include "common/testfiles.h"
#include "lists/filelistmodel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>

namespace {

QSet<QString> nameSet(const QStringList &names)
{
    return QSet<QString>(names.cbegin(), names.cend());
}

ScriptedPrompter::DialogAnswer installAs(InstallDialog::Type type)
{
    return [type](QDialog &dialog) {
        static_cast<InstallDialog &>(dialog).setType(type);
        return int(QDialog::Accepted);
    };
}

// The phone as the installer asks about it: the test's bridge when set, else none; a current phone's choices.
struct TestTarget final : InstallTarget {
    AdbClient *adb = nullptr;
    bool devicePresent() override { return adb && adb->devicePresent(); }
    InstallChoices installChoices() const override { return {false, false}; }
};

} // namespace

class TestInstallerE2e : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    ScriptedPrompter *m_prompter = nullptr;
    RecordingLog m_log;
    AdbClient m_adb;
    TestTarget m_target;
    std::unique_ptr<InstallerPane> m_form;
    QString m_apps;

    QString home(const QString &name) const { return m_home->filePath(name); }
    void build(const QString &package, const QString &label, const QString &file)
    {
        TestApk apk;
        apk.package = package;
        apk.label = label;
        QVERIFY2(!apk.build(home(QStringLiteral("src")), m_apps + file).isEmpty(), qPrintable(file));
    }
    QStringList labels() const
    {
        QStringList result;
        for (const InstallerRow &row : m_form->rows())
            result << row.label;
        return result;
    }
    QStringList fileNames() const
    {
        QStringList result;
        for (const InstallerRow &row : m_form->rows())
            result << row.fileName;
        return result;
    }
    void checkFile(const QString &name)
    {
        const int row = int(fileNames().indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name + QStringLiteral(" not in ") + fileNames().join(u'|')));
        m_form->model()->setData(m_form->model()->index(row), Qt::Checked, Qt::CheckStateRole);
    }
    void makeCurrent(const QString &name)
    {
        const int row = int(fileNames().indexOf(name));
        QVERIFY(row >= 0);
        m_form->list()->setCurrentIndex(m_form->model()->index(row));
    }
    QString text(const char *button) const { return m_form->findChild<QPushButton *>(button)->text(); }
    // A click that goes where a user's would: through the window, which drops it while another window blocks it.
    static void clickInWindow(QWidget *widget)
    {
        QWidget *window = widget->window();
        QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, widget->mapTo(window, widget->rect().center()));
    }
    QAction *action(const char *name) const { return m_form->findChild<QAction *>(QLatin1String(name)); }
    QStringList folder() const { return QDir(m_apps).entryList(QDir::Files, QDir::Name); }
    // The catalogue's files, byte for byte.
    QHash<QString, QByteArray> catalogueFiles() const
    {
        QHash<QString, QByteArray> files{{"list.a", readAll(appState().dataDir + QStringLiteral("/list.a"))}};
        for (const QString &icon : QDir(appState().iconsDir).entryList(QDir::Files))
            files.insert(icon, readAll(appState().iconsDir + u'/' + icon));
        return files;
    }

private slots:
    void init()
    {
        if (!TestApk::toolsPresent())
            QSKIP("aapt or the framework resources are not installed");
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("VELBROOK_HOME", m_home->path().toUtf8());
        // Deleted files go to a trash of the test's own.
        qputenv("XDG_DATA_HOME", home(QStringLiteral("xdg")).toUtf8());
        QDir().mkpath(home(QStringLiteral("xdg")));
        appState() = AppState{};
        appState().dataDir = home(QStringLiteral("data"));
        appState().tempDir = home(QStringLiteral("data/temp"));
        appState().iconsDir = home(QStringLiteral("data/icons"));
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
        m_log = {};

        m_apps = home(QStringLiteral("apps")) + u'/';
        QDir().mkpath(m_apps);
        build(QStringLiteral("com.example.notes"), QStringLiteral("Notes"), QStringLiteral("notes.apk"));
        build(QStringLiteral("com.example.weather"), QStringLiteral("Weather Now"), QStringLiteral("weather.apk"));
        build(QStringLiteral("com.example.acdc"), QStringLiteral("AC/DC Live"), QStringLiteral("acdc.apk"));
        // A bundle of a base and a split of the same package.
        build(QStringLiteral("com.example.maps"), QStringLiteral("Maps"), QStringLiteral("base.tmp"));
        build(QStringLiteral("com.example.maps"), QStringLiteral("Maps"), QStringLiteral("split.tmp"));
        QVERIFY(writeArchive(m_apps + QStringLiteral("maps.apks"),
                             {{QStringLiteral("base.apk"), m_apps + QStringLiteral("base.tmp"), {}},
                              {QStringLiteral("split_config.xxhdpi.apk"), m_apps + QStringLiteral("split.tmp"), {}}}));
        QFile::remove(m_apps + QStringLiteral("base.tmp"));
        QFile::remove(m_apps + QStringLiteral("split.tmp"));

        m_target.adb = nullptr;
        m_form = std::make_unique<InstallerPane>(m_adb, m_log, &m_target);
        m_form->show();
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
        QVERIFY(m_form->loadFolder(m_apps));
    }
    void cleanup()
    {
        m_form.reset();
        setPrompter(std::make_unique<ScriptedPrompter>());
    }

    void listsSearchesAndCounts()
    {
        QCOMPARE(labels(), (QStringList{"AC/DC Live", "Maps", "Notes", "Weather Now"}));
        QCOMPARE(text("lCount"), QStringLiteral("Count: 4"));
        QCOMPARE(text("lSelected"), QStringLiteral("Selected: 0"));
        QVERIFY(QFileInfo::exists(appState().iconsDir + QStringLiteral("/com.example.maps.apk.png")));

        // The search highlights by label, whatever the case and the blanks around.
        QLineEdit *search = m_form->findChild<QLineEdit *>("QSearch");
        search->setFocus();
        QTest::keyClicks(search, QStringLiteral(" WEATHER "));
        const QModelIndexList found = m_form->list()->selectionModel()->selectedIndexes();
        QCOMPARE(found.size(), 1);
        QCOMPARE(m_form->rows().at(found.first().row()).label, QStringLiteral("Weather Now"));

        // Nothing checked: the row the search highlighted is what the commands act on.
        QCOMPARE(m_form->checkedRows().size(), 1);
        QCOMPARE(m_form->checkedRows().first().label, QStringLiteral("Weather Now"));
        m_form->findChild<QPushButton *>("lCount")->click();
        QCOMPARE(m_form->checkedRows().size(), 4);
    }

    // The operation window over the modal installer it was started from: it takes clicks, and once closed the
    // installer does again.
    void operationWindowStandsOverTheInstaller_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("rename") << QStringLiteral("btnRename");
        QTest::newRow("delete") << QStringLiteral("deleteButton");
    }

    void operationWindowStandsOverTheInstaller()
    {
        QFETCH(QString, command);
        programSettings().autoCloseLog = false;
        QWidget main;
        main.show();
        auto *log = new OperationLogDialog(&main);
        InstallerDialog dialog(m_adb, *log, &m_target, &main);
        // What exec() makes of it, without a nested loop in the test.
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        InstallerPane *form = dialog.form();
        QVERIFY(form->loadFolder(m_apps));
        form->model()->setData(form->model()->index(0), Qt::Checked, Qt::CheckStateRole);
        m_prompter->questionAnswers = {true};

        clickInWindow(form->findChild<QPushButton *>(command));
        QVERIFY(log->text().contains(QStringLiteral("1 of 1 done")));
        QVERIFY(log->isVisible());
        QCOMPARE(log->parentWidget(), &dialog);
        QVERIFY(log->windowHandle());
        QCOMPARE(log->windowHandle()->transientParent(), dialog.windowHandle());
        QCOMPARE(QApplication::activeModalWidget(), log);
        QVERIFY(!dialog.isEnabled());

        clickInWindow(log->findChild<QPushButton *>("btnOK"));
        QVERIFY(!log->isVisible());
        QVERIFY(dialog.isEnabled());
        QVERIFY(main.isEnabled());
        QCOMPARE(QApplication::activeModalWidget(), &dialog);
        // The log no longer hangs on the installer, which may go now.
        QCOMPARE(log->parentWidget(), &main);
        QPushButton *selected = form->findChild<QPushButton *>("lSelected");
        const QString before = selected->text();
        clickInWindow(form->findChild<QPushButton *>("lCount"));
        QVERIFY(selected->text() != before);
    }

    void renamesWithoutReplacing()
    {
        build(QStringLiteral("com.example.dot"), QStringLiteral(".Dot Notes"), QStringLiteral("dot.apk"));
        // 120 letters of two bytes each: longer than a file name may be.
        const QString longLabel = QString(120, QChar(0x0416));
        build(QStringLiteral("com.example.long"), longLabel, QStringLiteral("long.apk"));
        QVERIFY(QFile::copy(m_apps + QStringLiteral("notes.apk"), m_apps + QStringLiteral("notes-copy.apk")));
        m_form->reload();
        for (const char *name : {"acdc.apk", "notes.apk", "notes-copy.apk", "dot.apk", "long.apk", "weather.apk"})
            checkFile(QLatin1String(name));
        // A file that went away after it was listed.
        QVERIFY(QFile::remove(m_apps + QStringLiteral("weather.apk")));
        m_prompter->questionAnswers = {true};
        m_form->findChild<QPushButton *>("btnRename")->click();
        QVERIFY(m_prompter->messages.last().startsWith(QStringLiteral("question: Rename the selected files")));
        QVERIFY(!m_log.running);

        // Refused characters replaced, no hidden file, the version kept after a shortened label, and the
        // second copy of Notes beside the first instead of over it.
        const QString longName = QString(95, QChar(0x0416)) + QStringLiteral(" v1.2.apk");
        const QStringList expected{"AC_DC Live v1.2.apk", "Dot Notes v1.2.apk", longName, "Notes v1.2 (2).apk",
                                   "Notes v1.2.apk"};
        QCOMPARE(nameSet(folder()), nameSet(expected) + QSet<QString>{"maps.apks"});
        QCOMPARE(m_log.lines.filter(QStringLiteral("Rename complete")).size(), 5);
        QCOMPARE(m_log.lines.filter(QStringLiteral("Failed")),
                 QStringList{"Failed: cannot rename to Weather Now v1.2.apk: the file is no longer there"});
        QCOMPARE(m_log.summary,
                 QStringLiteral("5 of 6 done, 1 failed: cannot rename to Weather Now v1.2.apk: the file is no "
                                "longer there"));
        QCOMPARE(m_log.progress.rowsDone, 6);
        // Every renamed file is still listed, with its own label.
        const QStringList listed = fileNames();
        QCOMPARE(nameSet(listed), nameSet(expected) + QSet<QString>{"maps.apks"});
        QVERIFY(labels().contains(QStringLiteral(".Dot Notes")));

        // A second rename finds every name right and replaces nothing.
        m_log = {};
        m_form->model()->setChecks(QList<bool>(m_form->rows().size(), true));
        m_prompter->questionAnswers = {true};
        m_form->renameChecked();
        QCOMPARE(nameSet(folder()), nameSet(expected) + QSet<QString>{"Maps v1.2.apks"});
        QCOMPARE(m_log.summary, QStringLiteral("6 of 6 done"));
    }

    void deletesToTrash()
    {
        checkFile(QStringLiteral("maps.apks"));
        checkFile(QStringLiteral("weather.apk"));
        makeCurrent(QStringLiteral("notes.apk"));
        m_prompter->questionAnswers = {true};
        m_form->findChild<QPushButton *>("deleteButton")->click();
        QCOMPARE(m_prompter->messages.last(),
                 QStringLiteral("question: Delete these 2 items?\n\nmaps.apks\nweather.apk"));
        QVERIFY(m_log.lines.contains(QStringLiteral("[2/2] Deleting file: weather.apk")));
        QCOMPARE(m_log.lines.filter(QStringLiteral("Delete complete")).size(), 2);
        QCOMPARE(folder(), (QStringList{"acdc.apk", "notes.apk"}));
        QCOMPARE(text("lCount"), QStringLiteral("Count: 2"));
        const QStringList trash = QDir(home(QStringLiteral("xdg/Trash/files"))).entryList(QDir::Files);
        QVERIFY2(trash.contains("maps.apks") && trash.contains("weather.apk"), qPrintable(trash.join(u'|')));

        // The menu deletes the row under the pointer, after its own question; No keeps it.
        m_log.lines.clear();
        makeCurrent(QStringLiteral("notes.apk"));
        m_prompter->questionAnswers = {false};
        action("Delete")->trigger();
        QCOMPARE(m_prompter->messages.last(), QStringLiteral("question: Delete \"notes.apk\"?"));
        QVERIFY(m_log.lines.isEmpty());
        m_prompter->questionAnswers = {true};
        action("Delete")->trigger();
        QVERIFY(m_log.lines.contains(QStringLiteral("[1/1] Deleting file: notes.apk")));
        QCOMPARE(folder(), QStringList{"acdc.apk"});
    }

    // Each checked file installed in turn, a bundle as one session of all its parts; a refused one is a
    // failure in its row and the tally, whatever the phone printed before its last line.
    void installsApkAndBundle()
    {
        PhoneSim sim(QStringLiteral("modern"));
        PHONESIM_START(sim);
        const QString newer = PhoneSim::buildApk(home(QStringLiteral("newer")), QStringLiteral("com.example.weather"),
                                                 QStringLiteral("Weather Nine"), 9, QStringLiteral("9.0"));
        QVERIFY(sim.adb({QStringLiteral("install"), newer}).all().contains(QStringLiteral("Success")));
        QVERIFY(writeAll(appState().dataDir + QStringLiteral("/list.a"), "com.example.weather.apk/9;Weather Nine\n"));
        const QHash<QString, QByteArray> catalogue = catalogueFiles();
        QVERIFY(catalogue.contains("com.example.weather.apk.png"));
        m_target.adb = &m_adb;
        QSignalSpy reloads(m_form.get(), &InstallerPane::installed);
        checkFile(QStringLiteral("maps.apks"));
        checkFile(QStringLiteral("notes.apk"));
        checkFile(QStringLiteral("weather.apk"));
        m_prompter->dialogAnswers = {installAs(InstallDialog::Update)};
        sim.clearJournal();
        m_form->findChild<QPushButton *>("btnInstallApps")->click();

        const QStringList &log = m_log.lines;
        QVERIFY2(log.filter(QStringLiteral("Failure [INSTALL_FAILED_VERSION_DOWNGRADE")).size() == 1,
                 qPrintable(log.join(u'\n')));
        QCOMPARE(log.mid(log.size() - 3),
                 (QStringList{"Failed: a newer version is installed", " ", "Installed: 2, failed: 1"}));
        QCOMPARE(m_log.summary, QStringLiteral("2 of 3 done, 1 failed: a newer version is installed"));
        QCOMPARE(m_log.progress.rowsDone, 3);
        QCOMPARE(reloads.size(), 1);
        const QStringList journal = sim.journal();
        QCOMPARE(journal.filter(QStringLiteral("cmd: package install-create -S")).size(), 1);
        QCOMPARE(journal.filter(QStringLiteral("cmd: package install-write")).size(), 2);
        QCOMPARE(journal.filter(QStringLiteral("cmd: package install -r -S")).size(), 2);
        const QString packages =
            sim.adb({QStringLiteral("shell"), QStringLiteral("pm list packages --show-versioncode -3")}).text();
        QVERIFY2(packages.contains("com.example.maps") && packages.contains("com.example.notes") &&
                     packages.contains(QStringLiteral("com.example.weather versionCode:9")),
                 qPrintable(packages));
        // The refused package taught the catalogue nothing; the parts were unpacked into a folder that is
        // gone.
        AppCatalogue after = AppCatalogue::forDataDir(appState().dataDir);
        QVERIFY(after.load());
        QCOMPARE(after.find(QStringLiteral("com.example.weather.apk"))->versionCode, QStringLiteral("9"));
        QCOMPARE(catalogueFiles().value("com.example.weather.apk.png"), catalogue.value("com.example.weather.apk.png"));
        QCOMPARE(QDir(appState().tempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }
};

QTEST_MAIN(TestInstallerE2e)
#include "tst_installer_e2e.moc"
