#pragma once

// The main window started against a simulated phone, with the helpers the file-browser tests share.
#include "common/phonesimfixture.h"
#include "common/scriptedprompter.h"
#include "common/testfiles.h"
#include "files/devicepane.h"
#include "lists/filelistmodel.h"
#include "files/fileoperations.h"
#include "base/appstate.h"
#include "app/mainform.h"
#include "app/progressdlg.h"
#include "base/settings.h"

#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QTest>

#include <memory>

// Skips only where this machine cannot run the simulated phone at all; a phone or a window that does not
// start fails the test.
#define VERIFY_STARTED(started)                                                                                        \
    do {                                                                                                               \
        if (!(started)) {                                                                                              \
            if (m_sim->isUnsupported())                                                                                \
                QSKIP(qPrintable(m_sim->errorString()));                                                               \
            QFAIL(qPrintable(m_sim->isRunning() ? startFailure() : m_sim->errorString()));                             \
        }                                                                                                              \
    } while (0)
#define START_PHONE(...) VERIFY_STARTED(startPhone(__VA_ARGS__))

// Names a shell or adb could take for something else.
inline const QStringList kHostile{QStringLiteral("a b"),   QStringLiteral("q\"uote"),    QStringLiteral("it's"),
                                  QStringLiteral("$HOME"), QStringLiteral("semi;colon"), QStringLiteral("日本語 ü"),
                                  QStringLiteral("-lead"), QStringLiteral("back`tick")};

inline int rowOf(DevicePane &pane, const QString &name)
{
    const QList<ListItem> &rows = pane.model()->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (rows.at(i).name == name)
            return i;
    }
    return -1;
}

inline QStringList rowNames(DevicePane &pane)
{
    QStringList names;
    for (const ListItem &row : pane.model()->rows())
        names << row.name;
    return names;
}

inline void check(DevicePane &pane, const QString &name)
{
    const int row = rowOf(pane, name);
    QVERIFY2(row >= 0, qPrintable(name + QStringLiteral(" not in ") + rowNames(pane).join(u'|')));
    pane.model()->setData(pane.model()->index(row), Qt::Checked, Qt::CheckStateRole);
}

inline void makeCurrent(QListView *list, int row)
{
    list->setCurrentIndex(list->model()->index(row, 0));
}

inline ScriptedPrompter::DialogAnswer accept()
{
    return [](QDialog &) { return int(QDialog::Accepted); };
}

// The push dialog with "Any directory" and a typed folder.
inline ScriptedPrompter::DialogAnswer pushTo(const QString &folder)
{
    return [folder](QDialog &dialog) {
        dialog.findChild<QRadioButton *>(QStringLiteral("Option3"))->click();
        dialog.findChild<QLineEdit *>(QStringLiteral("Directory"))->setText(folder);
        return int(QDialog::Accepted);
    };
}

inline ScriptedPrompter::DialogAnswer renameTo(const QString &name)
{
    return [name](QDialog &dialog) {
        dialog.findChild<QLineEdit *>(QStringLiteral("NewName"))->setText(name);
        return int(QDialog::Accepted);
    };
}

class BrowserHarness : public QObject {
    Q_OBJECT

protected:
    std::unique_ptr<PhoneSim> m_sim;
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<MainWindow> m_form;
    ScriptedPrompter *m_prompter = nullptr;
    QString m_pc;      // a PC folder for the test, ending in "/"
    QByteArray m_path; // PATH before a stand-in adb was put first on it

    // Starts the phone and the window; `beforeStart` runs once the phone is up, before the window starts.
    // `options` with a start path runs path mode: no main window, false returned.
    bool startPhone(const QString &profile, bool seed = false, const std::function<void()> &beforeStart = {},
                    StartOptions options = {})
    {
        m_sim = std::make_unique<PhoneSim>(profile, seed);
        if (!m_sim->start())
            return false;
        m_home = std::make_unique<QTemporaryDir>();
        qputenv("VELBROOK_HOME", m_home->path().toUtf8());
        m_pc = m_home->filePath(QStringLiteral("pc")) + u'/';
        QDir().mkpath(m_pc);
        writeAll(m_home->filePath(QStringLiteral("settings.ini")),
                 "[LastDirectories]\nLeftPhonePanelDir=/sdcard/\nRightPhonePanelDir=/sdcard/\nComputerPanelDir=" +
                     m_pc.toUtf8() + "\n");
        m_sim->adb({QStringLiteral("shell"), QStringLiteral("echo 0 > /sdcard/.velbrook")});
        appState() = AppState{};
        programSettings() = ProgramSettings{};
        auto prompter = std::make_unique<ScriptedPrompter>();
        m_prompter = prompter.get();
        setPrompter(std::move(prompter));
        if (beforeStart)
            beforeStart();
        m_form = std::make_unique<MainWindow>(std::move(options));
        m_form->startUp();
        return !appState().quitAfterStart;
    }
    // Why the window gave up at start, from what it asked.
    QString startFailure() const
    {
        return QStringLiteral("the program quit after start; windows: %1; messages: %2")
            .arg(m_prompter->dialogs.join(u','), m_prompter->messages.join(u'|'));
    }
    void stopAll()
    {
        m_form.reset();
        m_sim.reset();
        if (!m_path.isEmpty())
            qputenv("PATH", std::exchange(m_path, {}));
        setPrompter(std::make_unique<ScriptedPrompter>());
        // A window whose phone went away for good asks the application to quit, and from then on every
        // waiting loop returns at once; a run of the application's own loop starts the next test afresh.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }

    // An adb first on PATH that runs `body` (shell lines; @ADB@ stands for the adb found so far), then that adb
    // with the same arguments; stopAll() puts PATH back. Each stand-in needs a `folder` of its own. Best set up
    // before the window starts, so that no command of its threads races the new file or PATH.
    void standInAdb(const QByteArray &body, const QString &folder = QStringLiteral("bin"))
    {
        const QByteArray realAdb = QStandardPaths::findExecutable(QStringLiteral("adb")).toUtf8();
        QVERIFY(!realAdb.isEmpty());
        const QString bin = m_home->filePath(folder);
        QDir().mkpath(bin);
        QByteArray script = "#!/bin/sh\n" + body + "exec '@ADB@' \"$@\"\n";
        writeAll(bin + QStringLiteral("/adb"), script.replace("@ADB@", realAdb));
        QFile(bin + QStringLiteral("/adb")).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (m_path.isEmpty())
            m_path = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8() + ':' + qgetenv("PATH"));
    }

    DevicePane &right() { return *m_form->devicePane(); }
    DevicePane &left() { return *m_form->devicePane2(); }
    FileOperations &ops() { return *m_form->fileOperations(); }
    QStringList log() const { return m_form->logForm()->text().split(u'\n'); }
    // Where a phone path lies in the sandbox: /sdcard is a link to the card's real place.
    QString phone(const QString &path) const
    {
        QString p = path;
        if (p.startsWith(QStringLiteral("/sdcard/")))
            p.replace(0, 8,
                      m_sim->profile() == QStringLiteral("modern") ? QStringLiteral("/storage/emulated/0/")
                                                                   : QStringLiteral("/mnt/sdcard/"));
        return m_sim->hostPath(p);
    }
    // Through adb, so that what it makes belongs to the phone's own user as on a real phone.
    void phoneShell(const QString &command) { m_sim->adb({QStringLiteral("shell"), command}); }
    void putOnPhone(const QString &path, const QByteArray &content)
    {
        const QString local = m_home->filePath(QStringLiteral("upload.tmp"));
        writeAll(local, content);
        m_sim->adb({QStringLiteral("push"), local, path});
    }
    // The rows of the last operation, three lines each: "[k/n] ...", the row's result, " ".
    QList<QStringList> loggedRows() const
    {
        const QStringList lines = log();
        qsizetype at = lines.indexOf(QStringLiteral("Starting operation...")) + 2;
        QList<QStringList> rows;
        // A row: its header, its result (lines joined) and the blank line that ends it.
        while (at + 2 < lines.size() && lines.at(at).startsWith(u'[')) {
            const qsizetype gap = lines.indexOf(QStringLiteral(" "), at + 2);
            if (gap < 0)
                break;
            rows << QStringList{lines.at(at), lines.mid(at + 1, gap - at - 1).join(u'\n'), lines.at(gap)};
            at = gap + 1;
        }
        return rows;
    }
    // The hostile files on the phone, checked in the right pane; `gone` is deleted after listing.
    QStringList showHostile(const QString &folder, const QString &gone = {})
    {
        auto quoted = [](QString text) -> QString {
            return u'\'' + text.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
        };
        QString command = QStringLiteral("mkdir -p ") + folder;
        for (const QString &name : kHostile)
            command += QStringLiteral(" && echo ") + quoted(name) + QStringLiteral(" > ") + quoted(folder + name);
        phoneShell(command);
        if (!right().fillDeviceList(folder))
            return {};
        right().model()->setChecks(QList<bool>(right().model()->rowCount(), true));
        if (!gone.isEmpty())
            phoneShell(QStringLiteral("rm ") + quoted(folder + gone));
        QStringList order;
        for (int row : right().model()->checkedRows())
            order << right().model()->item(row).name;
        return order;
    }
    void showLeftPhonePane() { m_form->findChild<QTabWidget *>(QStringLiteral("leftTabs"))->setCurrentIndex(1); }
    void closeLog()
    {
        auto *close = m_form->logForm()->findChild<QPushButton *>(QStringLiteral("btnOK"));
        QVERIFY(close->isEnabled());
        close->click();
        QVERIFY(m_form->isEnabled());
    }
};
