// The program started with a package file or a folder shows only the information window or the
// installer, and ends with it; the panes open the same windows for their package files.
#include "appsui/appspane.h"
#include "appsui/installerform.h"
#include "files/browserharness.h"
#include "files/pcpane.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

// Reads the information window's name field, then presses `button`.
ScriptedPrompter::DialogAnswer readInfo(QString &label, const QString &button = QStringLiteral("btnOK"))
{
    return [&label, button](QDialog &dialog) {
        label = dialog.findChild<QLineEdit *>(QStringLiteral("eName"))->text();
        dialog.findChild<QPushButton *>(button)->click();
        return dialog.result();
    };
}

} // namespace

class TestPathModeE2e : public BrowserHarness {
    Q_OBJECT

    QString buildApk(const QString &package, const QString &label)
    {
        return PhoneSim::buildApk(m_home->path() + QStringLiteral("/apks"), package, label, 7, QStringLiteral("7.0"));
    }

private slots:
    void init() { m_form.reset(); }
    void cleanup() { stopAll(); }

    void fileShowsOnlyTheInformationWindowAndInstalls()
    {
        QString label;
        QString apk;
        START_PHONE(QStringLiteral("modern"));
        apk = buildApk(QStringLiteral("com.example.pathmode"), QStringLiteral("Path Mode"));
        QVERIFY(!apk.isEmpty());
        m_form.reset();
        m_prompter->dialogAnswers = {readInfo(label, QStringLiteral("btnInstall")), accept()};
        m_sim->clearJournal();
        m_form = std::make_unique<MainWindow>(StartOptions{false, apk});
        m_form->startUp();

        QVERIFY(appState().quitAfterStart);
        QVERIFY(!m_form->isVisible());
        QCOMPARE(label, QStringLiteral("Path Mode"));
        QCOMPARE(m_prompter->dialogs, (QStringList{"ApkInfoForm", "InstallForm"}));
        QVERIFY2(m_sim->adb({QStringLiteral("shell"), QStringLiteral("pm path com.example.pathmode")})
                     .all()
                     .contains(QStringLiteral("package:")),
                 qPrintable(m_sim->journal().join(u'\n')));
        QVERIFY(log().contains(QStringLiteral("Installing app: ") + QFileInfo(apk).fileName()));
        // The applications list was never filled: path mode leaves it alone.
        QVERIFY(!m_form->appsPane()->isLoaded());
    }

    // A path that is no readable package opens nothing, least of all a window that offers to install it; a
    // folder named without its final "/" is still a folder, shown in the installer alone without a word to the
    // phone, and a folder without packages says so.
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

        m_form.reset();
        m_prompter->dialogs.clear();
        QVERIFY(QDir().mkpath(given + QStringLiteral("empty")));
        m_form = std::make_unique<MainWindow>(StartOptions{false, given + QStringLiteral("empty/")});
        m_form->startUp();
        QVERIFY(m_prompter->dialogs.isEmpty());
        QCOMPARE(m_prompter->messages.last(), QStringLiteral("info: There are no applications in this directory."));
    }

    void panesOpenTheInformationWindow()
    {
        START_PHONE(QStringLiteral("modern"));
        const QString apk = buildApk(QStringLiteral("com.example.panes"), QStringLiteral("In A Pane"));
        QVERIFY(!apk.isEmpty());

        // A double click on the PC pane's APK row.
        PcPane &pc = *m_form->pcPane();
        pc.listPcFolder(QFileInfo(apk).absolutePath() + u'/');
        int row = -1;
        for (int i = 0; i < pc.model()->rowCount(); ++i) {
            if (pc.model()->item(i).name == QFileInfo(apk).fileName())
                row = i;
        }
        QVERIFY(row >= 0);
        QString label;
        m_prompter->dialogAnswers = {readInfo(label)};
        emit pc.list()->doubleClicked(pc.model()->index(row));
        QCOMPARE(label, QStringLiteral("In A Pane"));

        // The same file on the phone, double-clicked in the phone pane: pulled and read.
        m_sim->adb({QStringLiteral("push"), apk, QStringLiteral("/sdcard/Download/inapane.apk")});
        right().fillDeviceList(QStringLiteral("/sdcard/Download/"));
        row = rowOf(right(), QStringLiteral("inapane.apk"));
        QVERIFY(row >= 0);
        label.clear();
        m_prompter->dialogAnswers = {readInfo(label)};
        emit right().list()->doubleClicked(right().model()->index(row));
        QCOMPARE(label, QStringLiteral("In A Pane"));
        QCOMPARE(m_prompter->dialogs, (QStringList{"ApkInfoForm", "ApkInfoForm"}));
    }
};

QTEST_MAIN(TestPathModeE2e)
#include "tst_pathmode_e2e.moc"
