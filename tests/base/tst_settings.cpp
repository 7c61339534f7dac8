#include "common/testfiles.h"
#include "device/shellassociation.h"
#include "base/appstate.h"
#include "base/inifile.h"
#include "base/settings.h"
#include "base/settingsstore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSettings : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_file = m_dir->filePath(QStringLiteral("settings.ini"));
        appState().settingsFile = m_file;
        programSettings() = ProgramSettings{};
        qputenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toUtf8());
        // Not the machine's own folders: a copy of the program installed there must not count.
        qputenv("XDG_DATA_DIRS", m_dir->filePath(QStringLiteral("usr/share")).toUtf8());
    }

    void firstRunUsesDefaultsAndCloseWritesThePlainForm()
    {
        programSettings().startCommand = QStringLiteral("\"a b\", c;d=e");
        QVERIFY(saveSettings({true, false, 10, 20, 500, 700}, 350, {"/sdcard/", "/", "/home/u/"}));
        QCOMPARE(readAll(m_file), QByteArray("[Settings]\nRememberWindowSizePos=0\nRememberLastDirs=1\n"
                                             "ShowHiddenWinFiles=0\nLogAutoClose=0\nCommandOnStart=0\n"
                                             "StartCommand=\"a b\", c;d=e\n\n"
                                             "[Window]\nState=0\nTop=10\nLeft=20\nHeight=500\nWidth=700\n"
                                             "Splitter=350\n\n[LastDirectories]\nLeftPhonePanelDir=/sdcard/\n"
                                             "RightPhonePanelDir=/\nComputerPanelDir=/home/u/\n"));
    }

    void everyKeySurvivesARoundTrip()
    {
        const QString command = QStringLiteral("\"/opt/my tools/run\" -x \\\"q\\\" ; a=b, ü");
        programSettings() = {true, false, true, true, true, command, QString(), QString()};
        QVERIFY(saveSettings({true, true, -5, 30, 600, 900}, 300, {"/sdcard/Müsik/", "/data/", "/tmp/a b/"}));
        QVERIFY(saveSQLiteDatabaseBrowser(QStringLiteral("/usr/bin/sqlitebrowser")));
        QVERIFY(saveSignApk(QStringLiteral("/opt/sign apk")));
        const ProgramSettings saved = programSettings();

        programSettings() = ProgramSettings{};
        loadSettings();
        const ProgramSettings &read = programSettings();
        QCOMPARE(read.rememberWindow, true);
        QCOMPARE(read.rememberDirs, false);
        QCOMPARE(read.showHiddenPcFiles, true);
        QCOMPARE(read.autoCloseLog, true);
        QCOMPARE(read.commandOnStart, true);
        QCOMPARE(read.startCommand, command);
        QCOMPARE(read.SQLiteDatabaseBrowser, saved.SQLiteDatabaseBrowser);
        QCOMPARE(read.signApk, saved.signApk);
    }

    void malformedValuesGiveDefaults()
    {
        const QByteArray odd = "garbage \xff\xfe line\n[Settings\n; comment=1\n"
                               "[settings]\nrememberwindowsizepos = 7 \nRememberLastDirs=yes\n"
                               "LogAutoClose=-1\nCommandOnStart=\n"
                               "[Window]\nState=0\nTop=12x\nLeft=99999999999\nHeight= 480\nWidth=\n"
                               "[Settings]\nStartCommand=second section is ignored\n";
        QVERIFY(writeAll(m_file, odd));
        const LoadedSettings loaded = loadSettings();
        QVERIFY(programSettings().rememberWindow);
        QVERIFY(programSettings().rememberDirs);
        QVERIFY(programSettings().autoCloseLog);
        QVERIFY(!programSettings().commandOnStart);
        QCOMPARE(programSettings().startCommand, QString());
        QCOMPARE(loaded.window.top, 0);
        QCOMPARE(loaded.window.left, 0);
        QCOMPARE(loaded.window.height, 480);
        QCOMPARE(loaded.window.width, 741);

        // Lines the program does not own come back byte for byte.
        QVERIFY(writeAdbDir(m_file, QStringLiteral("/opt/sdk")));
        const QByteArray after = readAll(m_file);
        QVERIFY(after.startsWith("garbage \xff\xfe line\n[Settings\n; comment=1\n[settings]\n"));
        QVERIFY(after.contains("StartCommand=second section is ignored\n"));
        QCOMPARE(readAdbDir(m_file), QStringLiteral("/opt/sdk"));

        // A value cannot smuggle in a key of its own.
        IniFile ini(m_file);
        ini.setText("Settings", "StartCommand", QStringLiteral("ls\r\nRememberLastDirs=0"));
        QVERIFY(ini.save());
        QCOMPARE(IniFile(m_file).text("Settings", "StartCommand"), QStringLiteral("ls RememberLastDirs=0"));
    }

    void unreadableFileGivesDefaultsAndAFailedSave()
    {
        QVERIFY(QDir().mkpath(m_file));
        const LoadedSettings loaded = loadSettings();
        QCOMPARE(loaded.window.width, 741);
        QVERIFY(programSettings().rememberDirs);
        QVERIFY(!saveSettings(loaded.window, 0, loaded.folders));
        QVERIFY(!applySettingsDialogValues(readSettingsDialogValues()));
    }

    void associationWritesDesktopEntriesAndTheDefault()
    {
        const QString config = m_dir->filePath(QStringLiteral("config/mimeapps.list"));
        QVERIFY(writeAll(config, "[Default Applications]\ntext/plain=editor.desktop;\n\n[Added Associations]\n"
                                 "image/png=viewer.desktop;\n"));
        const QString exe = m_dir->filePath(QStringLiteral("my dir$1/vel\\brook%"));
        QString error;
        // APK files and bundles only, unless folders are asked for.
        QVERIFY2(desktop::associateWithShell(exe, false, &error), qPrintable(error));
        const QString apps = m_dir->filePath(QStringLiteral("data/applications/"));
        QVERIFY(!QFileInfo::exists(apps + QStringLiteral("velbrook-folder.desktop")));
        QVERIFY(!readAll(config).contains("inode/directory"));

        QVERIFY2(desktop::associateWithShell(exe, true, &error), qPrintable(error));
        const QByteArray apk = readAll(apps + QStringLiteral("velbrook.desktop"));
        const QByteArray quoted = "\"" + m_dir->path().toUtf8() + "/my dir\\\\$1/vel\\\\\\\\brook%%\"";
        QVERIFY2(apk.contains(QByteArray("\nExec=" + quoted + " %f\n")), apk.constData());
        QVERIFY(apk.contains("\nMimeType=application/vnd.android.package-archive;application/x-android-apks;\n"));
        const QByteArray folder = readAll(apps + QStringLiteral("velbrook-folder.desktop"));
        QVERIFY(folder.contains("\nName=Show Android Applications\n"));
        QVERIFY(folder.contains(QByteArray("\nExec=" + quoted + " %f -d\n")));
        QVERIFY(folder.contains("\nMimeType=inode/directory;\n"));
        const QByteArray types = readAll(m_dir->filePath(QStringLiteral("data/mime/packages/velbrook.xml")));
        QVERIFY(types.contains("\"*.apk\"") && types.contains("\"*.apks\""));

        const QByteArray list = readAll(config);
        QCOMPARE(list, QByteArray("[Default Applications]\ntext/plain=editor.desktop;\n"
                                  "application/vnd.android.package-archive=velbrook.desktop;\n"
                                  "application/x-android-apks=velbrook.desktop;\n\n"
                                  "[Added Associations]\nimage/png=viewer.desktop;\n"));

        // Asked again without folders: the folders' entry goes.
        QVERIFY2(desktop::associateWithShell(exe, false, &error), qPrintable(error));
        QVERIFY(!QFileInfo::exists(apps + QStringLiteral("velbrook-folder.desktop")));
        QVERIFY(QFileInfo::exists(apps + QStringLiteral("velbrook.desktop")));
        QCOMPARE(readAll(config), list);
    }

    void installedProgramIsAssociatedThroughItsOwnEntry()
    {
        const QString exe = m_dir->filePath(QStringLiteral("usr/bin/velbrook"));
        const QString installed = m_dir->filePath(QStringLiteral("usr/share/applications/velbrook.desktop"));
        const QString stale = m_dir->filePath(QStringLiteral("data/applications/velbrook.desktop"));
        QVERIFY(writeAll(exe, "program"));
        QVERIFY(writeAll(installed, "[Desktop Entry]\nExec=velbrook %f\n"));
        QVERIFY(writeAll(stale, "[Desktop Entry]\nExec=/home/me/src/build/velbrook %f\n"));
        QString error;
        QVERIFY2(desktop::associateWithShell(exe, true, &error), qPrintable(error));

        QVERIFY2(!QFileInfo::exists(stale), "the entry from a build folder still hides the installed one");
        QCOMPARE(readAll(installed), QByteArray("[Desktop Entry]\nExec=velbrook %f\n"));
        const QByteArray folder = readAll(m_dir->filePath(QStringLiteral("data/applications/velbrook-folder.desktop")));
        QVERIFY2(folder.contains("usr/bin/velbrook\" %f -d\n"), folder.constData());
        QVERIFY(readAll(m_dir->filePath(QStringLiteral("config/mimeapps.list")))
                    .contains("application/vnd.android.package-archive=velbrook.desktop;"));

        // A copy elsewhere, such as a build folder, still writes its own entry.
        const QString other = m_dir->filePath(QStringLiteral("build/velbrook"));
        QVERIFY(writeAll(other, "program"));
        QVERIFY(desktop::associateWithShell(other, false, nullptr));
        QVERIFY(readAll(stale).contains("build/velbrook\" %f\n"));
    }

    void programInstalledInTheUsersFolderKeepsItsEntry()
    {
        // Installed with the prefix ~/.local: the user's data folder holds the installed entry itself.
        const QString exe = m_dir->filePath(QStringLiteral("bin/velbrook"));
        const QString entry = m_dir->filePath(QStringLiteral("data/applications/velbrook.desktop"));
        QVERIFY(writeAll(exe, "program"));
        QVERIFY(writeAll(entry, "[Desktop Entry]\nExec=velbrook %f\n"));
        QVERIFY(desktop::associateWithShell(exe, false, nullptr));
        QCOMPARE(readAll(entry), QByteArray("[Desktop Entry]\nExec=velbrook %f\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
