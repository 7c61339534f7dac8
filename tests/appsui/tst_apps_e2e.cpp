// The applications manager through the main window against the simulated phones: what the list shows,
// what each command does to the phone and the PC, and what the log says.
#include "apps/apkarchive.h"
#include "apps/appdialogs.h"
#include "apps/catalogue.h"
#include "appsui/appoperations.h"
#include "appsui/appspane.h"
#include "base/copyform.h"
#include "files/browserharness.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QMenu>
#include <QRadioButton>
#include <QTabBar>
#include <QToolButton>

namespace {

QStringList names(const AppsPane &pane)
{
    QStringList result;
    for (const ListItem &row : pane.model()->rows())
        result << row.Name;
    return result;
}

QString labelOf(const AppsPane &pane, const QString &name)
{
    for (const ListItem &row : pane.model()->rows()) {
        if (row.Name == name)
            return row.Label;
    }
    return QStringLiteral("<no row %1>").arg(name);
}

ScriptedPrompter::DialogAnswer uninstallKeeping(bool keep)
{
    return [keep](QDialog &dialog) {
        static_cast<TUninstallForm &>(dialog).setKeepData(keep);
        return int(QDialog::Accepted);
    };
}

} // namespace

class TestAppsE2e : public BrowserHarness {
    Q_OBJECT

    AppsPane &apps() { return *m_form->appsPane(); }
    AppOperations &appOps() { return *m_form->appOperations(); }
    void showApps() { m_form->findChild<QTabWidget *>(QStringLiteral("Tabs"))->setCurrentIndex(1); }
    void checkRow(const QString &name)
    {
        const QList<ListItem> &rows = apps().model()->rows();
        for (int i = 0; i < rows.size(); ++i) {
            if (rows.at(i).Name == name) {
                apps().model()->setData(apps().model()->index(i), Qt::Checked, Qt::CheckStateRole);
                return;
            }
        }
        QFAIL(qPrintable(name + QStringLiteral(" not listed: ") + names(apps()).join(u'|')));
    }
    void makeRowCurrent(const QString &name)
    {
        const int row = int(names(apps()).indexOf(name));
        QVERIFY2(row >= 0, qPrintable(name));
        makeCurrent(apps().list(), row);
    }
    // Opens the information window for a row as a double click does; the name it shows.
    QString openInfoOf(const QString &name)
    {
        makeRowCurrent(name);
        QString shown;
        m_prompter->dialogAnswers = {[&shown](QDialog &dialog) {
            shown = dialog.findChild<QLineEdit *>(QStringLiteral("eName"))->text();
            return int(QDialog::Accepted);
        }};
        emit apps().list()->doubleClicked(apps().list()->currentIndex());
        return shown;
    }
    QString dataFile(const QString &name) const { return m_home->filePath(name); }
    QStringList tempFiles() const
    {
        // The log window keeps its last log there.
        QStringList files = QDir(appState().TempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        files.removeAll(QStringLiteral("LastLog.txt"));
        return files;
    }
    bool phoneHas(const QString &path) const { return QFileInfo::exists(m_sim->hostPath(path)); }
    QStringList journalWith(const QString &part) const { return m_sim->journal().filter(part); }

private slots:
    void init() { m_form.reset(); }
    void cleanup() { stopAll(); }

    void legacyPhone()
    {
        if (!startPhone(QStringLiteral("legacy"), true))
            QSKIP("the simulated phone cannot start here");
        // Native apps-to-SD: the memory card's containers come first.
        QVERIFY2(!apps().sourcePanel()->isHidden(), qPrintable(m_sim->journal().filter("data/app").join(u'\n')));
        m_prompter->questionAnswers = {true};
        showApps();
        QCOMPARE(names(apps()), QStringList{"org.example.chess-1/pkg.apk"});
        QVERIFY2(m_prompter->messages.contains(QStringLiteral(
                     "question: 1 application on your list has no updated info.\rWould you like to update it now?")),
                 qPrintable(m_prompter->messages.join(u'\n') + names(apps()).join(u'|')));
        QVERIFY(log().contains(QStringLiteral("Getting info from: org.example.chess-1/pkg.apk")));
        QCOMPARE(labelOf(apps(), "org.example.chess-1/pkg.apk"), QStringLiteral("Chess Club"));
        QVERIFY2(QFileInfo::exists(appState().IconsDir + QStringLiteral("/org.example.chess-1.apk.png")),
                 qPrintable(log().join(u'\n') + appState().IconsDir));
        closeLog();
        // The information window of the container's package, pulled from the memory card.
        QCOMPARE(openInfoOf("org.example.chess-1/pkg.apk"), QStringLiteral("Chess Club"));

        // The internal memory: the shell may not open /data/app, but the package manager names its files.
        m_sim->clearJournal();
        m_prompter->questionAnswers = {true};
        apps().sourceTabs()->setCurrentIndex(1);
        const QStringList internal = names(apps());
        QVERIFY2(internal.contains("com.example.notes-1.apk") && internal.contains("net.example.flashlight-1.apk"),
                 qPrintable(internal.join(u'|')));
        // The protected package's file is listed too, with its mark.
        QVERIFY(apps().model()->item(int(internal.indexOf("com.example.bank-1.apk"))).Protected);
        QVERIFY2(
            m_prompter->messages.last().startsWith(QStringLiteral("question: ") + QString::number(internal.size()) +
                                                   QStringLiteral(" applications on your list has no updated info.")),
            qPrintable(m_prompter->messages.join(u'\n')));
        QCOMPARE(labelOf(apps(), "net.example.flashlight-1.apk"), QStringLiteral("Latarka Świetlik"));
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));
        closeLog();

        // Back to the card: restored without asking the phone.
        m_sim->clearJournal();
        apps().sourceTabs()->setCurrentIndex(0);
        QCOMPARE(names(apps()), QStringList{"org.example.chess-1/pkg.apk"});
        QVERIFY(journalWith("shell: ls").isEmpty());
        apps().sourceTabs()->setCurrentIndex(1);

        // Search by label, sort by name.
        apps().searchBox()->setFocus();
        apps().searchBox()->setText(QStringLiteral("WEATHER"));
        const QModelIndexList selected = apps().list()->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(apps().model()->item(selected.first().row()).Label, QStringLiteral("Weather Now"));
        apps().chooseSort(3);
        QStringList sorted = names(apps());
        QVERIFY(std::is_sorted(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return a.compare(b, Qt::CaseInsensitive) < 0;
        }));

        // No root: the protected folder is closed, yet its file is named by the package manager.
        apps().chooseFilter(AppsFilter::Protected);
        QCOMPARE(names(apps()), QStringList{"com.example.bank-1.apk"});
        QCOMPARE(apps().findChild<QPushButton *>("CountInDir")->text(), QStringLiteral("Count: 1"));
        apps().chooseFilter(AppsFilter::All);

        // Backup of two packages to the PC under their labels, and nothing left in the temp folder.
        checkRow("com.example.weather-1.apk");
        checkRow("net.example.flashlight-1.apk");
        m_prompter->directories = {m_pc};
        appOps().BackupCheckedToPC();
        QVERIFY(log().contains(QStringLiteral("[1/2] Backuping app: ") + names(apps()).filter("weather").first()) ||
                log().contains(QStringLiteral("[2/2] Backuping app: com.example.weather-1.apk")));
        QVERIFY(QFileInfo::exists(m_pc + QStringLiteral("Weather Now_v2.0.1.apk")));
        QVERIFY(QFileInfo::exists(m_pc + QStringLiteral("Latarka Świetlik_v1.0.3.apk")));
        QVERIFY(tempFiles().isEmpty());
        closeLog();

        // Uninstall keeping data: by package name, never a folder of /data/data removed.
        QVERIFY(phoneHas("/data/app/com.example.notes-1.apk"));
        apps().model()->setChecks({});
        checkRow("com.example.notes-1.apk");
        m_prompter->dialogAnswers = {uninstallKeeping(true)};
        m_sim->clearJournal();
        appOps().UninstallChecked();
        QVERIFY2(!journalWith("pm: uninstall -k com.example.notes").isEmpty(),
                 qPrintable(m_sim->journal().join(u'\n')));
        QVERIFY(journalWith("rm ").isEmpty());
        QVERIFY(!phoneHas("/data/app/com.example.notes-1.apk"));
        QVERIFY(log().contains(QStringLiteral("Uninstalation complete")));
        closeLog();
        QVERIFY(!names(apps()).contains("com.example.notes-1.apk"));

        // "All applications": every row read again, the catalogue rebuilt from the rows shown.
        m_prompter->questionAnswers = {true};
        apps().ReloadAllInfo();
        QVERIFY(m_prompter->messages.last().endsWith(QStringLiteral("It is take a moment ;)")));
        const int shown = apps().model()->rowCount();
        QVERIFY(log().contains(QStringLiteral("Apps count: ") + QString::number(shown)));
        QCOMPARE(log().filter(QStringLiteral("/%1] Getting info from: ").arg(shown)).size(), shown);
        closeLog();
        TCatalogue catalogue = TCatalogue::forDataDir(appState().DataDir);
        QVERIFY(catalogue.load());
        QCOMPARE(catalogue.records().size(), qsizetype(shown));
        QVERIFY(!catalogue.find(QStringLiteral("org.example.chess-1.apk")));

        // A secure container is uninstalled by its package's name.
        apps().sourceTabs()->setCurrentIndex(0);
        m_prompter->dialogAnswers = {uninstallKeeping(false)};
        m_sim->clearJournal();
        appOps().UninstallApp(apps().model()->item(0));
        QVERIFY2(!journalWith("pm: uninstall org.example.chess").isEmpty(), qPrintable(m_sim->journal().join(u'\n')));
        QVERIFY(log().contains(QStringLiteral("Uninstalling app: org.example.chess-1/pkg.apk")));
        closeLog();

        // An old phone takes the update flag and the memory card: both are offered and sent.
        const QString apk = PhoneSim::buildApk(m_home->path(), "com.example.weather", "Weather Now", 202, "2.0.2");
        m_prompter->dialogAnswers = {[](QDialog &dialog) {
            auto &form = static_cast<TInstallForm &>(dialog);
            if (!form.findChild<QCheckBox *>("OnSD")->isVisibleTo(&form))
                return int(QDialog::Rejected);
            form.setType(TInstallForm::Update);
            form.setOnSd(true);
            return int(QDialog::Accepted);
        }};
        appOps().InstallApk(apk);
        QVERIFY2(log().contains(QStringLiteral("Success")), qPrintable(log().join(u'\n')));
        QVERIFY2(!journalWith("install -s -r").isEmpty(), qPrintable(m_sim->journal().join(u'\n')));
        closeLog();

        // The storage settings from the menu: written to the phone, used from the next start.
        m_prompter->dialogAnswers = {[](QDialog &dialog) {
            dialog.findChild<QRadioButton *>(QStringLiteral("Apps2SdOption2"))->setChecked(true);
            return int(QDialog::Accepted);
        }};
        appOps().EditAppsStorage();
        QCOMPARE(m_prompter->messages.last(), QStringLiteral("info: You have to restart program to see changes!"));
        QCOMPARE(readAll(phone("/sdcard/.velbrook")).trimmed(), QByteArray("2"));
    }

    void rootedPhone()
    {
        if (!startPhone(QStringLiteral("rooted"), true))
            QSKIP("the simulated phone cannot start here");
        // A package aapt cannot read lies beside the real ones.
        writeAll(m_sim->hostPath(QStringLiteral("/sd-ext/app/com.example.broken-1.apk")), "not a zip");
        m_prompter->questionAnswers = {true};
        showApps();
        const QStringList lines = log();
        const int broken = int(lines.indexOf(QStringLiteral("Getting info from: com.example.broken-1.apk")));
        QVERIFY2(broken >= 0, qPrintable(lines.join(u'\n')));
        QVERIFY(lines.mid(broken, 4).contains(QStringLiteral("Failed")));
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));
        // Recorded under its own name, so the next load does not ask about it again.
        QCOMPARE(labelOf(apps(), "com.example.broken-1.apk"), QStringLiteral("com.example.broken-1.apk"));
        // The ext partition: a protected package among them, in maroon.
        QStringList rows = names(apps());
        QVERIFY2(rows.contains("com.example.spacegame-1.apk") && rows.contains("com.example.notes-1.apk"),
                 qPrintable(rows.join(u'|')));
        for (const ListItem &row : apps().model()->rows())
            QCOMPARE(row.Protected, row.Name == QStringLiteral("com.example.spacegame-1.apk"));
        QCOMPARE(labelOf(apps(), "com.example.spacegame-1.apk"), QStringLiteral("Space Game"));
        closeLog();
        // Root reads the protected package's APK for its information window.
        QCOMPARE(openInfoOf("com.example.spacegame-1.apk"), QStringLiteral("Space Game"));
        m_prompter->messages.clear();
        apps().refresh();
        QVERIFY(m_prompter->messages.isEmpty());

        // Move from the ext partition into internal memory.
        QVERIFY(apps().menuAction(AppsPane::MenuItem::Move)->isEnabled());
        makeRowCurrent("com.example.notes-1.apk");
        appOps().MoveApp();
        QVERIFY(phoneHas("/data/app/com.example.notes-1.apk"));
        QVERIFY(!phoneHas("/sd-ext/app/com.example.notes-1.apk"));
        QVERIFY(log().contains(QStringLiteral("Backup complete")));
        closeLog();
        QVERIFY(!names(apps()).contains("com.example.notes-1.apk"));

        // A protected package dragged onto the left phone pane is copied there from app-private.
        showLeftPhonePane();
        makeRowCurrent("com.example.spacegame-1.apk");
        m_prompter->dialogAnswers = {accept()};
        appOps().DropRow(true);
        QVERIFY(QFileInfo::exists(phone("/sdcard/com.example.spacegame-1.apk")));
        QVERIFY(log().contains(QStringLiteral("Apps Source: Applications Manager")));
        closeLog();

        // The checked packages to the folder of the PC pane, confirmed in the copy dialog.
        m_form->findChild<QTabWidget *>(QStringLiteral("Tabs2"))->setCurrentIndex(0);
        apps().model()->setChecks({});
        checkRow("com.example.spacegame-1.apk");
        m_prompter->dialogAnswers = {accept()};
        appOps().BackupCheckedToPane();
        QVERIFY(log().contains(QStringLiteral("[1/1] Backuping app: com.example.spacegame-1.apk")));
        QVERIFY(QFileInfo::exists(m_pc + QStringLiteral("Space Game_v1.5.apk")));
        closeLog();

        // Uninstall removing data.
        makeRowCurrent("com.example.weather-1.apk");
        m_prompter->dialogAnswers = {uninstallKeeping(false)};
        appOps().UninstallApp(apps().model()->item(int(names(apps()).indexOf("com.example.weather-1.apk"))));
        QVERIFY(!phoneHas("/sd-ext/app/com.example.weather-1.apk"));
        QVERIFY(log().contains(QStringLiteral("Uninstalling app: com.example.weather-1.apk")));
        QVERIFY(log().contains(QStringLiteral("Uninstalation complete")));
        closeLog();
    }

    void modernPhone()
    {
        // A current phone is never asked about apps-to-SD, and gets no marker file.
        if (!startPhone(QStringLiteral("modern"), true, [this] { phoneShell("rm /sdcard/.velbrook"); }))
            QSKIP("the simulated phone cannot start here");
        QVERIFY(!QFileInfo::exists(phone("/sdcard/.velbrook")));
        QVERIFY(!m_prompter->dialogs.contains(QStringLiteral("Apps2SdForm")));
        QVERIFY(apps().sourcePanel()->isHidden());
        QCOMPARE(apps().filterButton()->menu()->actions().at(0)->text(), QStringLiteral("User Apps"));
        QVERIFY(!apps().menuAction(AppsPane::MenuItem::Move)->isEnabled());

        m_sim->clearJournal();
        m_prompter->questionAnswers = {true};
        showApps();
        const QStringList rows = names(apps());
        QVERIFY2(rows.contains("com.example.maps.apk") && rows.contains("com.example.videoeditor.apk"),
                 qPrintable(rows.join(u'|')));
        QVERIFY(!journalWith("cmd: package list packages -f -U --show-versioncode").isEmpty());
        // Labels were streamed, not pulled: no whole APK crossed the cable.
        QVERIFY(journalWith("sync: RECV").isEmpty());
        QVERIFY2(!journalWith("exec: unzip -p").isEmpty(),
                 qPrintable(m_sim->journal().filter("unzip").join(u'\n') + log().join(u'\n')));
        QCOMPARE(labelOf(apps(), "com.example.weather.apk"), QStringLiteral("Weather Now"));
        QVERIFY(QFileInfo::exists(appState().IconsDir + QStringLiteral("/com.example.weather.apk.png")));
        QVERIFY2(tempFiles().isEmpty(), qPrintable(tempFiles().join(u'|')));
        closeLog();

        // A warm load asks nothing and reads no APK.
        m_sim->clearJournal();
        m_prompter->messages.clear();
        apps().LoadApplications();
        QVERIFY(m_prompter->messages.isEmpty());
        QVERIFY(journalWith("exec: unzip").isEmpty());

        // An updated package is read again at the next load, without asking.
        const QString newer = PhoneSim::buildApk(m_home->path(), "com.example.weather", "Weather Later", 300, "3.0");
        QVERIFY(m_sim->adb({QStringLiteral("install"), QStringLiteral("-r"), newer}).all().contains("Success"));
        m_sim->clearJournal();
        apps().LoadApplications();
        QVERIFY(m_prompter->messages.isEmpty());
        QCOMPARE(labelOf(apps(), "com.example.weather.apk"), QStringLiteral("Weather Later"));
        QCOMPARE(journalWith("exec: unzip -p").filter("AndroidManifest.xml").size(), 1);

        // User packages only.
        apps().chooseFilter(AppsFilter::Protected);
        QVERIFY(!journalWith("package list packages -f -U --show-versioncode -3").isEmpty());
        for (const ListItem &row : apps().model()->rows())
            QVERIFY2(!apps().loader().isSystemPackage(row), qPrintable(row.Name));
        apps().chooseFilter(AppsFilter::All);

        // The split package is backed up as one bundle of all its parts.
        checkRow("com.example.maps.apk");
        m_prompter->directories = {m_pc};
        appOps().BackupCheckedToPC();
        const QStringList bundles = QDir(m_pc).entryList({QStringLiteral("*.apks")});
        QCOMPARE(bundles.size(), 1);
        const QStringList members = ArchiveMembers(m_pc + bundles.first());
        QVERIFY2(members.contains("base.apk") && members.size() >= 2, qPrintable(members.join(u'|')));
        QVERIFY(tempFiles().isEmpty());
        closeLog();

        // A system package refuses a full uninstall; the user may remove it for user 0.
        QString system;
        for (const ListItem &row : apps().model()->rows()) {
            if (apps().loader().isSystemPackage(row))
                system = row.Name;
        }
        QVERIFY(!system.isEmpty());
        m_prompter->dialogAnswers = {uninstallKeeping(false)};
        m_prompter->questionAnswers = {true};
        appOps().UninstallApp(apps().model()->item(int(names(apps()).indexOf(system))));
        const QStringList lines = log();
        QVERIFY2(lines.contains(QStringLiteral("Failure [DELETE_FAILED_INTERNAL_ERROR]")),
                 qPrintable(lines.join(u'\n')));
        QVERIFY(m_prompter->messages.last().contains(QStringLiteral("current user only")));
        QVERIFY(!journalWith("--user 0").isEmpty());
        QVERIFY(lines.contains(QStringLiteral("Uninstalation complete")));
        closeLog();
        QVERIFY(!names(apps()).contains(system));

        // An APK from the PC with ";" and ":" in its label: installed, cached, listed under its label.
        const QString apk = PhoneSim::buildApk(m_home->path(), "com.example.semi", "Semi;colon: app", 5, "5.0");
        QVERIFY(!apk.isEmpty());
        m_prompter->dialogAnswers = {[](QDialog &dialog) {
            // Current phones refuse forward locking and the old SD flag: neither is offered.
            auto *form = static_cast<TInstallForm *>(&dialog);
            return form->findChild<QCheckBox *>("OnSD")->isVisibleTo(form) ? int(QDialog::Rejected)
                                                                           : int(QDialog::Accepted);
        }};
        appOps().InstallApk(apk);
        QVERIFY(log().contains(QStringLiteral("Installing app: ") + QFileInfo(apk).fileName()));
        closeLog();
        QCOMPARE(labelOf(apps(), "com.example.semi.apk"), QStringLiteral("Semi;colon: app"));

        // Unplugged in the middle of a batch: every row not done says so, nothing half written stays.
        apps().model()->setChecks({});
        checkRow("com.example.weather.apk");
        checkRow("com.example.videoeditor.apk");
        QVERIFY(m_sim->setLinkState(QStringLiteral("offline")));
        m_prompter->directories = {m_pc + QStringLiteral("unplugged")};
        QDir().mkpath(m_pc + QStringLiteral("unplugged"));
        appOps().BackupCheckedToPC();
        QCOMPARE(log().filter(QStringLiteral("Failed")).size(), 2);
        QVERIFY(QDir(m_pc + QStringLiteral("unplugged")).isEmpty());
        QVERIFY(tempFiles().isEmpty());
        closeLog();
        QVERIFY(m_sim->setLinkState(QStringLiteral("device")));
    }
};

QTEST_MAIN(TestAppsE2e)
#include "tst_apps_e2e.moc"
