#include "base/appstate.h"
#include "base/settings.h"
#include "bridge/adbutils.h"
#include "common/scriptedprompter.h"
#include "common/testfiles.h"
#include "device/externaltools.h"

#include <QDir>
#include <QFile>
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

// Signing with a stand-in java on a private search path.
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
                                                         "/testkey.x509.pem " + keys +
                                                         "/testkey.pk8' ] && cp \"$5\" \"$6\"\n");
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
        for (const char *name : {"cp", "adb"}) {
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
};

QTEST_MAIN(TestExternalTools)
#include "tst_externaltools.moc"
