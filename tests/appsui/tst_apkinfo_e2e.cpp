// The APK information window against the simulated current phone: what it shows for an installed
// package, a PC file, a bundle and a broken file, what Install and Uninstall do, and what it leaves behind.
// The program started with a package file or a folder shows only that window or the installer, and ends
// with it.
#include "apps/apkarchive.h"
#include "appsui/appdialogs.h"
#include "appsui/apkinfoform.h"
#include "appsui/appoperations.h"
#include "appsui/appspane.h"
#include "appsui/installerform.h"
#include "bridge/adbutils.h"
#include "files/browserharness.h"

#include <QPlainTextEdit>
#include <QTest>

#include <optional>

namespace {

// What the window showed, read while it was open.
struct Shown {
    QString label, version, package, fileName, fileSize;
    QStringList permissions;
    bool installEnabled = false;
    bool uninstallEnabled = false;
};

QString text(QDialog &dialog, const char *name)
{
    return dialog.findChild<QLineEdit *>(QLatin1String(name))->text();
}

// Reads the fields, then clicks `button` (and OK after it when the window stays open).
ScriptedPrompter::DialogAnswer readAndClick(Shown &shown, const QString &button = QStringLiteral("btnOK"))
{
    return [&shown, button](QDialog &dialog) {
        shown.label = text(dialog, "eName");
        shown.version = text(dialog, "eVersion");
        shown.package = text(dialog, "ePackage");
        shown.fileName = text(dialog, "eFileName");
        shown.fileSize = text(dialog, "eFileSize");
        shown.permissions = dialog.findChild<QPlainTextEdit *>(QStringLiteral("mPermissions"))
                                ->toPlainText()
                                .split(u'\n', Qt::SkipEmptyParts);
        shown.installEnabled = dialog.findChild<QPushButton *>(QStringLiteral("btnInstall"))->isEnabled();
        shown.uninstallEnabled = dialog.findChild<QPushButton *>(QStringLiteral("btnUninstall"))->isEnabled();
        dialog.findChild<QPushButton *>(button)->click();
        if (dialog.result() != QDialog::Accepted)
            dialog.findChild<QPushButton *>(QStringLiteral("btnOK"))->click();
        return dialog.result();
    };
}

} // namespace

class TestApkInfoE2e : public BrowserHarness {
    Q_OBJECT

    AppsPane &apps() { return *m_form->appsPane(); }
    AppOperations &appOps() { return *m_form->appOperations(); }
    QStringList tempFiles() const
    {
        // The log window keeps its last log there.
        QStringList files = QDir(appState().tempDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        files.removeAll(QStringLiteral("LastLog.txt"));
        return files;
    }
    QString pmPath(const QString &package) const
    {
        return m_sim->adb({QStringLiteral("shell"), QStringLiteral("pm path ") + package}).trimmed();
    }
    // The buttons act through the program's own operations.
    struct Actions final : PackageActions {
        explicit Actions(AppOperations &operations) : operations(operations) {}
        bool devicePresent() override { return true; }
        void install(const QString &apk) override { operations.installApk(apk); }
        void uninstall(const QString &package) override { operations.uninstallPackage(package); }
        AppOperations &operations;
    };
    Actions &actions()
    {
        m_actions.emplace(appOps());
        return *m_actions;
    }
    std::optional<Actions> m_actions;
    QString buildApk(const QString &package, const QString &label)
    {
        return PhoneSim::buildApk(m_home->path() + QStringLiteral("/apks"), package, label, 7, QStringLiteral("7.0"));
    }

private slots:
    void init() { m_form.reset(); }
    void cleanup() { stopAll(); }

    void modernPhone()
    {
        START_PHONE(QStringLiteral("modern"), true);
        m_form->findChild<QTabWidget *>(QStringLiteral("rightTabs"))->setCurrentIndex(1);
        // Once the list has read its labels and icons in the background.
        QTRY_VERIFY_WITH_TIMEOUT(!apps().isReadingInfo(), 60000);
        AdbClient adb;

        // An APK on the PC: its size, its icon cached.
        Shown shown;
        const QString apk = PhoneSim::buildApk(m_home->path(), "com.example.pcapp", "PC App", 7, "7.0");
        QVERIFY(!apk.isEmpty());
        m_prompter->dialogAnswers = {readAndClick(shown)};
        QCOMPARE(showApkInfo(m_form.get(), adb, apk, false, false, actions()), int(QDialog::Accepted));
        QCOMPARE(shown.label, QStringLiteral("PC App"));
        QCOMPARE(shown.fileName, QStringLiteral("com.example.pcapp.apk"));
        QCOMPARE(shown.fileSize, formatSize(QString::number(QFileInfo(apk).size())));
        QCOMPARE(shown.permissions, QStringList{"android.permission.INTERNET"});
        QVERIFY(shown.installEnabled && !shown.uninstallEnabled);
        QVERIFY(QFileInfo::exists(appState().iconsDir + QStringLiteral("/com.example.pcapp.apk.png")));
        QVERIFY(tempFiles().isEmpty());

        // Uninstall by the package the window read.
        QVERIFY(m_sim->adb({QStringLiteral("install"), apk}).all().contains(QStringLiteral("Success")));
        m_prompter->dialogAnswers = {readAndClick(shown, QStringLiteral("btnUninstall")), [](QDialog &dialog) {
                                         static_cast<UninstallDialog &>(dialog).setKeepData(false);
                                         return int(QDialog::Accepted);
                                     }};
        QCOMPARE(showApkInfo(m_form.get(), adb, apk, false, true, actions()), int(QDialog::Accepted));
        const QStringList lines = log();
        QVERIFY2(lines.contains(QStringLiteral("Uninstalling app: com.example.pcapp.apk")),
                 qPrintable(lines.join(u'\n')));
        QVERIFY(lines.contains(QStringLiteral("Uninstallation complete")));
        QVERIFY(pmPath(QStringLiteral("com.example.pcapp")).isEmpty());
        closeLog();

        // A file aapt cannot read: "Unknown", nothing to search for, nothing to install.
        const QString broken = m_pc + QStringLiteral("broken.apk");
        QVERIFY(writeAll(broken, "not a zip"));
        m_prompter->dialogAnswers = {readAndClick(shown)};
        m_prompter->dialogs.clear();
        showApkInfo(m_form.get(), adb, broken, false, false, actions());
        QCOMPARE(m_prompter->dialogs, QStringList{"ApkInfoForm"});
        QCOMPARE(shown.label, QStringLiteral("Unknown"));
        QVERIFY(shown.package.isEmpty() && shown.version.isEmpty() && shown.permissions.isEmpty());
        QVERIFY(!shown.installEnabled);
        QCOMPARE(shown.fileSize, QStringLiteral("9 bytes"));
        QVERIFY(tempFiles().isEmpty());
    }

    void fileShowsOnlyTheInformationWindowAndInstalls()
    {
        START_PHONE(QStringLiteral("modern"));
        const QString apk = buildApk(QStringLiteral("com.example.pathmode"), QStringLiteral("Path Mode"));
        QVERIFY(!apk.isEmpty());
        m_form.reset();
        Shown shown;
        m_prompter->dialogAnswers = {readAndClick(shown, QStringLiteral("btnInstall")), accept()};
        m_sim->clearJournal();
        m_form = std::make_unique<MainWindow>(StartOptions{false, apk});
        m_form->startUp();

        QVERIFY(appState().quitAfterStart);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(shown.label, QStringLiteral("Path Mode"));
        QCOMPARE(m_prompter->dialogs, (QStringList{"ApkInfoForm", "InstallForm"}));
        QVERIFY2(pmPath(QStringLiteral("com.example.pathmode")).startsWith(QStringLiteral("package:")),
                 qPrintable(m_sim->journal().join(u'\n')));
        QVERIFY(log().contains(QStringLiteral("Installing app: ") + QFileInfo(apk).fileName()));
        // The applications list was never filled: path mode leaves it alone.
        QVERIFY(!m_form->appsPane()->isLoaded());
    }

    // A path that is no readable package opens nothing, least of all a window that offers to install it; a
    // folder named without its final "/" is still a folder, shown in the installer alone without a word to the
    // phone.
    void refusesWhatIsNoPackage()
    {
        START_PHONE(QStringLiteral("modern"));
        const QString given = m_home->path() + QStringLiteral("/given/");
        QVERIFY(!PhoneSim::buildApk(given + QStringLiteral("apps"), QStringLiteral("com.example.inside"),
                                    QStringLiteral("Inside"))
                     .isEmpty());
        QVERIFY(writeAll(given + QStringLiteral("empty.apk"), ""));
        QVERIFY(writeAll(given + QStringLiteral("corrupt.apk"), "PK\x03\x04 and nothing a zip reader wants"));
        QVERIFY(writeAll(given + QStringLiteral("corrupt.apks"), "not a bundle"));
        const QList<QPair<QString, QString>> cases{
            {QStringLiteral("missing.apk"), QStringLiteral(" does not exist")},
            {QStringLiteral("empty.apk"), QStringLiteral(" is empty: it is not an Android package")},
            {QStringLiteral("corrupt.apk"), QStringLiteral(" is not an Android package (aapt could not read it)")},
            {QStringLiteral("corrupt.apks"),
             QStringLiteral(" is not an Android package bundle (it holds no base APK)")},
            {QStringLiteral("empty.apk/"), QStringLiteral(" does not exist")},
        };
        for (const auto &[name, problem] : cases) {
            m_form.reset();
            m_prompter->dialogs.clear();
            m_prompter->messages.clear();
            m_form = std::make_unique<MainWindow>(StartOptions{false, given + name});
            m_form->startUp();
            QVERIFY(appState().quitAfterStart);
            QVERIFY2(m_prompter->dialogs.isEmpty(), qPrintable(name));
            QCOMPARE(m_prompter->messages, QStringList{QStringLiteral("stop: Velbrook: ") + given + name + problem});
        }

        m_form.reset();
        m_prompter->messages.clear();
        QStringList listed;
        m_prompter->dialogAnswers = {[&listed](QDialog &dialog) {
            for (const InstallerRow &row : dialog.findChild<InstallerPane *>()->rows())
                listed << row.label;
            return int(QDialog::Rejected);
        }};
        m_sim->clearJournal();
        m_form = std::make_unique<MainWindow>(StartOptions{false, given + QStringLiteral("apps")});
        m_form->startUp();
        QVERIFY(appState().quitAfterStart);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(m_prompter->dialogs, QStringList{"InstallerDialog"});
        QCOMPARE(listed, QStringList{"Inside"});
        QVERIFY(m_prompter->messages.isEmpty());
        QVERIFY(m_sim->journal().isEmpty());
    }
};

QTEST_MAIN(TestApkInfoE2e)
#include "tst_apkinfo_e2e.moc"
