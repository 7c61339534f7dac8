#pragma once

#include "appsui/appdialogs.h"
#include "apps/appbackups.h"
#include "appsui/backuppanes.h"
#include "appsui/installtarget.h"
#include "transfers/operation.h"
#include "lists/listitem.h"

#include <QObject>
#include <QString>

#include <functional>

class AppsPane;
class OperationLog;
class QWidget;
class AdbClient;

// What the user does to installed applications: back them up to the PC or the other pane, uninstall,
// install an APK, move between internal memory and the ext partition, and the storage settings.
class AppOperations final : public QObject, public InstallTarget {
    Q_OBJECT
public:
    AppOperations(QWidget *window, AdbClient &adb, OperationLog &log, AppsPane &pane, const BackupPanes &panes);

    void backupCheckedToPc();
    void backupCheckedToPane();
    void backupRowToPc();
    void uninstallChecked();
    void uninstallApp(const ListItem &row);
    // For a package known by its name only (an APK file's information window).
    void uninstallPackage(const QString &package);
    // Asks for the installation type and installs one APK, or every part of an ".apks" bundle, from the PC.
    void installApk(const QString &apkPath);
    // Asks for package files or folders on the PC and opens the installer on them.
    void installFromPc();
    // The installer on PC folders and package files; `target` as for showPackageInfo.
    void showInstallerFor(const QStringList &sources, InstallTarget *target = nullptr);
    void moveApp();
    void openAppInfo();
    // The information window for a package file that is not in the list: a phone path (pulled
    // first) or a PC path. `target` is asked before an install; null: this phone through adb.
    void showPackageInfo(const QString &path, bool onDevice, InstallTarget *target = nullptr);
    void editAppsStorage();
    // The applications list's current row dropped onto the left phone pane or the PC pane.
    void dropRow(bool toPhone);

    // Bounds the command lines of grouped backups, in characters; 0 goes back to the platform's own.
    // Tests make groups split with a small one.
    void setCommandLineLimit(qsizetype chars) { m_backups.setCommandLineLimit(chars); }

    bool devicePresent() override;
    InstallChoices installChoices() const override;

signals:
    // What `path` shows changed: a phone or PC folder, or "apps" for the applications list.
    void locationChanged(const QString &path, Location side);
    // A long step runs between these two; the window shows it is busy.
    void loadingStarted();
    void loadingFinished();

private:
    enum class Result { Done, Failed, Cancelled };

    bool hasChecked(int count);
    // The copy dialog for the other side's folder; empty when cancelled or refused.
    QString askDestination(bool toPhone);
    // `label` names the package in the question about a system package; `row`, when there is one, lets
    // root remove the files a package manager refused to.
    Result uninstall(const QString &package, const QString &label, bool system, bool keepData,
                     const ListItem *row = nullptr);
    Result uninstallRow(const ListItem &row, bool keepData);
    void uninstallOne(const QString &name, const std::function<Result(bool keepData)> &run);
    bool removeFilesAsRoot(const ListItem &row, bool keepData);
    void backupChecked(const QString &folder, bool toPhone, const QStringList &header);

    QWidget *m_window;
    AdbClient &m_adb;
    OperationLog &m_log;
    AppsPane &m_pane;
    const BackupPanes &m_panes;
    Operation m_op;
    AppBackups m_backups;
};
