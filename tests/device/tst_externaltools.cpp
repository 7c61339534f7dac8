#include "base/appstate.h"
#include "base/settings.h"
#include "bridge/adbutils.h"
#include "common/scriptedprompter.h"
#include "common/testfiles.h"
#include "deviceui/aboutdlg.h"
#include "device/externaltools.h"
#include "deviceui/toolsettingsdlg.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

void writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n" + body);
    file.close();
    file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeUser);
}

} // namespace

// Signing, DDMS and the settings dialogs with stand-in tools on a private search path.
class TestExternalTools : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_path;
    QString m_bin;
    QString m_keys;
    ScriptedPrompter *m_prompter = nullptr;

    // A java that signs only when called as signapk wants: the jar, the certificate, the key, in, out.
    void writeSigner()
    {
        const QByteArray keys = m_keys.toUtf8();
        writeScript(m_bin + QStringLiteral("/java"), "[ \"$1 $2 $3 $4\" = '-jar " + keys + "/signapk.jar " + keys +
                                                         "/testkey.x509.pem " + keys + "/testkey.pk8' ] && cp \"$5\" \"$6\"\n");
    }

private slots:
    void initTestCase()
    {
        m_path = qgetenv("PATH");
        m_bin = m_dir.filePath(QStringLiteral("bin"));
        m_keys = m_dir.filePath(QStringLiteral("keys"));
        QDir().mkpath(m_bin);
        QDir().mkpath(m_keys);
        for (const char *name : {"signapk.jar", "testkey.x509.pem", "testkey.pk8"}) {
            QFile key(m_keys + u'/' + QLatin1String(name));
            QVERIFY(key.open(QIODevice::WriteOnly));
        }
        // Only the stand-ins and the few commands they use: the machine's own java is never found.
        const QString basics = m_dir.filePath(QStringLiteral("basics"));
        QDir().mkpath(basics);
        for (const char *name : {"cp", "touch", "adb"}) {
            const QString real = QStandardPaths::findExecutable(QLatin1String(name));
            if (!real.isEmpty())
                QFile::link(real, basics + u'/' + QLatin1String(name));
        }
        qputenv("PATH", m_bin.toUtf8() + ':' + basics.toUtf8());
        qputenv("VELBROOK_HOME", m_dir.filePath(QStringLiteral("home")).toUtf8());
        QDir().mkpath(m_dir.filePath(QStringLiteral("home")));
        appState().settingsFile = m_dir.filePath(QStringLiteral("home/settings.ini"));
    }
    void cleanupTestCase() { qputenv("PATH", m_path); }
    void init()
    {
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
        QFile::remove(m_bin + QStringLiteral("/java"));
        programSettings() = ProgramSettings{};
    }

    void signingWithAStandInJava()
    {
        AdbClient adb;
        const QString apk = m_dir.filePath(QStringLiteral("game.apk"));
        QFile(apk).open(QIODevice::WriteOnly);

        // An empty setting stops before any dialog.
        signFile(nullptr, adb, *m_prompter, true);
        QCOMPARE(m_prompter->messages,
                 QStringList{QStringLiteral("info: Set this tool up in the settings before you use it.")});

        // No java on the path: said before the file dialog, with what is missing.
        programSettings().signApk = m_keys;
        m_prompter->messages.clear();
        signFile(nullptr, adb, *m_prompter, true);
        QCOMPARE(m_prompter->messages.size(), 1);
        QVERIFY2(m_prompter->messages.constFirst().contains(QStringLiteral("java")),
                 qPrintable(m_prompter->messages.constFirst()));

        // A signer that writes the copy.
        QVERIFY(writeAll(apk, "the package"));
        const QString signedApk = m_dir.filePath(QStringLiteral("signed_game.apk"));
        writeSigner();
        m_prompter->messages.clear();
        m_prompter->openFiles = {{apk}};
        signFile(nullptr, adb, *m_prompter, true);
        QCOMPARE(m_prompter->messages, QStringList{QStringLiteral("info: Signed file is saved as: signed_game.apk")});
        QCOMPARE(readAll(signedApk), QByteArray("the package"));
        const auto leftovers = [this] {
            return QDir(m_dir.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden);
        };
        QVERIFY(leftovers().isEmpty());
    }

    // java's exit code decides, whatever it wrote: a failed run never replaces a signed copy nor leaves one.
    void failedSigningKeepsTheOldCopy()
    {
        AdbClient adb;
        programSettings().signApk = m_keys;
        const QString apk = m_dir.filePath(QStringLiteral("tool.apk"));
        const QString signedApk = m_dir.filePath(QStringLiteral("signed_tool.apk"));
        QVERIFY(writeAll(apk, "the package"));
        QFile::remove(signedApk);
        const auto sign = [&](ReplaceAnswer answer = ReplaceAnswer::Replace) {
            m_prompter->messages.clear();
            m_prompter->openFiles = {{apk}};
            m_prompter->replaceAnswers = {answer};
            signFile(nullptr, adb, *m_prompter, true);
            return m_prompter->messages.join(u'\n');
        };

        writeScript(
            m_bin + QStringLiteral("/java"),
            "printf 'half a' > \"$6\"\necho 'Exception in thread \"main\" java.security.InvalidKeyException' >&2\n"
            "echo '\tat com.android.signapk.SignApk.main' >&2\nexit 1\n");
        QString said = sign();
        QVERIFY2(said.startsWith(QStringLiteral("info: Signing failed: java failed with exit code 1.")),
                 qPrintable(said));
        QVERIFY(said.contains(QStringLiteral("InvalidKeyException")));
        QVERIFY(!said.contains(QStringLiteral("saved as")));
        QVERIFY(!QFile::exists(signedApk));

        QVERIFY(writeAll(signedApk, "signed yesterday"));
        said = sign();
        QVERIFY2(said.startsWith(QStringLiteral("replace: ") + signedApk + QStringLiteral("\ninfo: Signing failed")),
                 qPrintable(said));
        QCOMPARE(readAll(signedApk), QByteArray("signed yesterday"));

        // Exit code 0 and no file is no success either.
        writeScript(m_bin + QStringLiteral("/java"), "echo done\n");
        said = sign();
        QVERIFY2(said.contains(QStringLiteral("info: Signing failed: java ended without writing the signed file.")),
                 qPrintable(said));
        QCOMPARE(readAll(signedApk), QByteArray("signed yesterday"));

        // Replace, Skip (a free name) and Cancel (java never runs).
        writeSigner();
        QCOMPARE(sign(ReplaceAnswer::Skip), QStringLiteral("replace: ") + signedApk +
                                                QStringLiteral("\ninfo: Signed file is saved as: signed_tool (2).apk"));
        QCOMPARE(readAll(signedApk), QByteArray("signed yesterday"));
        QCOMPARE(readAll(m_dir.filePath(QStringLiteral("signed_tool (2).apk"))), QByteArray("the package"));
        QCOMPARE(sign(ReplaceAnswer::Cancel), QStringLiteral("replace: ") + signedApk);
        QCOMPARE(sign(), QStringLiteral("replace: ") + signedApk +
                             QStringLiteral("\ninfo: Signed file is saved as: signed_tool.apk"));
        QCOMPARE(readAll(signedApk), QByteArray("the package"));
        QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden).isEmpty());
    }

    void missingKeyFileIsNamed()
    {
        AdbClient adb;
        programSettings().signApk = m_keys;
        writeScript(m_bin + QStringLiteral("/java"), "exit 0\n");
        // A missing key file is named.
        QFile::remove(m_keys + QStringLiteral("/testkey.pk8"));
        m_prompter->messages.clear();
        signFile(nullptr, adb, *m_prompter, false);
        QVERIFY(m_prompter->messages.constFirst().contains(QStringLiteral("testkey.pk8")));
        QVERIFY(!m_prompter->messages.constFirst().contains(QStringLiteral("signapk.jar")));
        QFile(m_keys + QStringLiteral("/testkey.pk8")).open(QIODevice::WriteOnly);
    }

    void ddmsBesideAdbOrOnThePath()
    {
        QFile::remove(m_bin + QStringLiteral("/monitor"));
        runDdms(nullptr, *m_prompter);
        QCOMPARE(m_prompter->messages.size(), 1);
        QVERIFY(m_prompter->messages.constFirst().contains(QStringLiteral("ddms nor monitor")));

        const QString marker = m_dir.filePath(QStringLiteral("monitor-ran"));
        writeScript(m_bin + QStringLiteral("/monitor"), "touch '" + marker.toUtf8() + "'\n");
        m_prompter->messages.clear();
        QCOMPARE(findDdms(), m_bin + QStringLiteral("/monitor"));
        runDdms(nullptr, *m_prompter);
        QVERIFY(m_prompter->messages.isEmpty());
        QTRY_VERIFY(QFile::exists(marker));
    }

    void settingsDialogsSaveHoweverClosed()
    {
        {
            SqliteBrowserSettingsDialog dialog;
            dialog.path()->setText(QStringLiteral("  /usr/bin/sqlitebrowser  "));
            dialog.reject(); // the close box
        }
        QCOMPARE(programSettings().SQLiteDatabaseBrowser, QStringLiteral("/usr/bin/sqlitebrowser"));
        {
            SignApkSettingsDialog dialog;
            m_prompter->directories = {m_keys};
            dialog.findChild<QPushButton *>(QStringLiteral("btnBrowse"))->click();
            QCOMPARE(dialog.path()->text(), m_keys);
            dialog.findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        }
        QCOMPARE(programSettings().signApk, m_keys);
        programSettings() = ProgramSettings{};
        loadSettings();
        QCOMPARE(programSettings().signApk, m_keys);

        // An installed sqlitebrowser is offered while the setting is empty.
        writeScript(m_bin + QStringLiteral("/sqlitebrowser"), "exit 0\n");
        programSettings().SQLiteDatabaseBrowser.clear();
        SqliteBrowserSettingsDialog offered;
        QCOMPARE(offered.path()->text(), m_bin + QStringLiteral("/sqlitebrowser"));
    }

    void aboutBox()
    {
        appState().programDir = m_dir.filePath(QStringLiteral("program"));
        QDir().mkpath(appState().programDir);
        {
            AboutDialog about;
            QCOMPARE(about.findChild<QLabel *>(QStringLiteral("versionLabel"))->text(),
                     QStringLiteral("version ") + QLatin1String(kProductVersion));
            // No change log: the box still opens, with the log empty.
            QVERIFY(about.findChild<QPlainTextEdit *>(QStringLiteral("changeLogText"))->toPlainText().isEmpty());
            about.findChild<QPushButton *>(QStringLiteral("websiteButton"))->click();
            about.findChild<QPushButton *>(QStringLiteral("donateButton"))->click();
            QCOMPARE(m_prompter->opened, (QList<QUrl>{websiteUrl(), donateUrl()}));
        }
        QFile log(appState().programDir + QStringLiteral("/changelog.txt"));
        QVERIFY(log.open(QIODevice::WriteOnly));
        log.write("0.7.9.8.1\n- Grüße: flashing checks the pushed image\n");
        log.close();
        AboutDialog about;
        QCOMPARE(about.findChild<QPlainTextEdit *>(QStringLiteral("changeLogText"))->toPlainText(),
                 QStringLiteral("0.7.9.8.1\n- Grüße: flashing checks the pushed image\n"));
    }
};

QTEST_MAIN(TestExternalTools)
#include "tst_externaltools.moc"
