#include "common/scriptedprompter.h"
#include "common/testfiles.h"
#include "base/appstate.h"
#include "base/inifile.h"
#include "app/settingsdlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

QCheckBox *box(QDialog &dialog, const char *name)
{
    return dialog.findChild<QCheckBox *>(QLatin1String(name));
}

QLineEdit *edit(QDialog &dialog, const char *name)
{
    return dialog.findChild<QLineEdit *>(QLatin1String(name));
}

QPushButton *button(QDialog &dialog, const char *name)
{
    return dialog.findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

class TestSettingsDialog : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    ScriptedPrompter *m_prompter = nullptr;

    void writeSettings(const QByteArray &bytes) { QVERIFY(writeAll(m_file, bytes)); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_file = m_dir->filePath(QStringLiteral("settings.ini"));
        appState().settingsFile = m_file;
        programSettings() = ProgramSettings{};
        qputenv("XDG_DATA_HOME", m_dir->filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir->filePath(QStringLiteral("config")).toUtf8());
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
    }

    void okWritesTheFileAndTheState()
    {
        writeSettings("[Settings]\nRememberLastDirs=0\nShowHiddenWinFiles=0\n"
                      "[DefaultDirectories]\nComputerPanelDir=/home/\n[Other]\nKeep=me\n");
        programSettings().startCommand = QStringLiteral("echo old");
        programSettings().commandOnStart = true;
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            if (!edit(dialog, "pcFolderEdit")->isEnabled() ||
                edit(dialog, "pcFolderEdit")->text() != QStringLiteral("/home/") ||
                edit(dialog, "edtStartCommand")->text() != QStringLiteral("echo old") ||
                !edit(dialog, "edtStartCommand")->isEnabled())
                return int(QDialog::Rejected);
            box(dialog, "rememberWindowBox")->click();
            edit(dialog, "rightPhoneFolderEdit")->setText(QStringLiteral("/sdcard/"));
            edit(dialog, "pcFolderEdit")->setText(QStringLiteral("/tmp/a b/"));
            box(dialog, "ShowHiddenWinFiles")->click();
            box(dialog, "LogAutoCloseBox")->click();
            edit(dialog, "edtStartCommand")->setText(QStringLiteral("adb \"x y\""));
            button(dialog, "okButton")->click();
            return dialog.result();
        };
        QVERIFY(runSettingsDialog(nullptr));

        const ProgramSettings &state = programSettings();
        QVERIFY(state.rememberWindow && !state.rememberDirs && state.showHiddenPcFiles && state.autoCloseLog);
        QCOMPARE(state.startCommand, QStringLiteral("adb \"x y\""));
        const IniFile ini(m_file);
        QCOMPARE(ini.text("Settings", "RememberWindowSizePos"), QStringLiteral("1"));
        QCOMPARE(ini.text("Settings", "LogAutoClose"), QStringLiteral("1"));
        QCOMPARE(ini.text("Settings", "ShowHiddenWinFiles"), QStringLiteral("0"));
        QCOMPARE(ini.text("Settings", "StartCommand"), QStringLiteral("adb \"x y\""));
        QCOMPARE(ini.text("DefaultDirectories", "LeftPhonePanelDir"), QStringLiteral("/sdcard/"));
        QCOMPARE(ini.text("DefaultDirectories", "RightPhonePanelDir"), QStringLiteral("/"));
        QCOMPARE(ini.text("DefaultDirectories", "ComputerPanelDir"), QStringLiteral("/tmp/a b/"));
        QCOMPARE(ini.text("Other", "Keep"), QStringLiteral("me"));
        QVERIFY(m_prompter->messages.isEmpty());
    }

    void cancelChangesNothing()
    {
        writeSettings("[Settings]\nRememberWindowSizePos=1\n");
        programSettings().autoCloseLog = true;
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            for (QCheckBox *check : dialog.findChildren<QCheckBox *>())
                check->click();
            for (QLineEdit *line : dialog.findChildren<QLineEdit *>())
                line->setText(QStringLiteral("/changed/"));
            button(dialog, "cancelButton")->click();
            return dialog.result();
        };
        QVERIFY(!runSettingsDialog(nullptr));
        QCOMPARE(readAll(m_file), QByteArray("[Settings]\nRememberWindowSizePos=1\n"));
        QVERIFY(programSettings().autoCloseLog);
        QVERIFY(programSettings().startCommand.isEmpty());
    }

    void unwritableFileIsReported()
    {
        appState().settingsFile = m_dir->path();
        m_prompter->dialogAnswers << [](QDialog &dialog) {
            box(dialog, "LogAutoCloseBox")->click();
            return int(QDialog::Accepted);
        };
        QVERIFY(runSettingsDialog(nullptr));
        QVERIFY(programSettings().autoCloseLog);
        QCOMPARE(m_prompter->messages,
                 QStringList{QStringLiteral("stop: Velbrook: Could not write the settings file ") + m_dir->path()});
    }

    void associateButtonReportsTheOutcome()
    {
        SettingsDialog form;
        button(form, "associateButton")->click();
        QCOMPARE(m_prompter->messages, QStringList{"info: Operation complete!"});
        const QByteArray entry = readAll(m_dir->filePath(QStringLiteral("data/applications/velbrook.desktop")));
        QVERIFY(entry.contains(QByteArray("Exec=\"" + QCoreApplication::applicationFilePath().toUtf8() + "\" %f\n")));

        // A file that cannot be written is reported, not passed over.
        m_prompter->messages.clear();
        QFile::remove(m_dir->filePath(QStringLiteral("config/mimeapps.list")));
        QDir().mkpath(m_dir->filePath(QStringLiteral("config/mimeapps.list")));
        button(form, "associateButton")->click();
        QCOMPARE(m_prompter->messages.size(), 1);
        QVERIFY2(m_prompter->messages.at(0).startsWith(QStringLiteral("stop: Velbrook: Could not write")),
                 qPrintable(m_prompter->messages.at(0)));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdlg.moc"
