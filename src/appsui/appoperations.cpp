#include "appsui/appoperations.h"

#include "apps/apkfile.h"
#include "appsui/appdialogs.h"
#include "apps/appinfo.h"
#include "apps/applisting.h"
#include "appsui/apps2sdsettings.h"
#include "apps/appstorage.h"
#include "apps/badging.h"
#include "appsui/apkinfoform.h"
#include "appsui/appspane.h"
#include "appsui/installerform.h"
#include "appsui/packagerow.h"
#include "base/appstate.h"
#include "widgets/copyform.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "bridge/adbutils.h"
#include "bridge/packageanswer.h"
#include "lists/filelistmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QListView>

namespace {

QString withSlash(const QString &folder)
{
    return folder.endsWith(u'/') || folder.endsWith(u'\\') ? folder : folder + u'/';
}

} // namespace

AppOperations::AppOperations(QWidget *window, TADB &adb, OperationLog &log, AppsPane &pane, const BackupPanes &panes)
    : m_window(window), m_adb(adb), m_log(log), m_pane(pane), m_panes(panes),
      m_op(window, adb, log, [this](const QString &path, Location side) { emit locationChanged(path, side); }),
      m_backups(adb, m_op, log)
{
    connect(&pane, &AppsPane::commandRequested, this, [this](AppsPane::Command command) {
        switch (command) {
        case AppsPane::Command::Backup:
            BackupCheckedToPane();
            break;
        case AppsPane::Command::Uninstall:
            UninstallChecked();
            break;
        case AppsPane::Command::Install:
            InstallFromFolder();
            break;
        case AppsPane::Command::BackupToPc:
            BackupCheckedToPC();
            break;
        }
    });
    connect(&pane, &AppsPane::menuRequested, this, [this](AppsPane::MenuItem item) {
        if (item == AppsPane::MenuItem::Backup)
            BackupRowToPC();
        else if (item == AppsPane::MenuItem::Uninstall && m_pane.currentRow())
            UninstallApp(*m_pane.currentRow());
        else if (item == AppsPane::MenuItem::Move)
            MoveApp();
    });
    connect(&pane, &AppsPane::openInfoRequested, this, &AppOperations::OpenAppInfo);
}

bool AppOperations::hasChecked(int count)
{
    if (count > 0)
        return true;
    prompter().information(m_window, QStringLiteral("Check or highlight at least one application first."));
    return false;
}

void AppOperations::backupChecked(const QString &folder, bool toPhone, const QStringList &header)
{
    m_op.begin(header);
    if (toPhone)
        m_op.remountFor(folder);
    m_backups.run(m_pane.loader(), m_pane.checkedRows(), withSlash(folder), toPhone, true);
}

void AppOperations::BackupCheckedToPC()
{
    const int n = int(m_pane.checkedRows().size());
    if (!hasChecked(n))
        return;
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    backupChecked(folder, false,
                  {QStringLiteral("Apps count: ") + QString::number(n), QStringLiteral("Apps destination: ") + folder});
    m_op.end();
    emit locationChanged(withSlash(folder), Location::Pc);
}

QString AppOperations::askDestination(bool toPhone)
{
    TCopyForm form(QStringLiteral("Applications Manager"), m_panes.folder(toPhone ? Location::Phone : Location::Pc),
                   m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return QString();
    const QString destination = form.destination();
    if (destination.isEmpty() || (toPhone && !m_op.allowed(destination)))
        return QString();
    return destination;
}

void AppOperations::BackupCheckedToPane()
{
    const int n = int(m_pane.checkedRows().size());
    if (!hasChecked(n))
        return;
    const bool toPhone = m_panes.leftSide() == Location::Phone;
    const QString destination = askDestination(toPhone);
    if (destination.isEmpty())
        return;
    backupChecked(destination, toPhone,
                  {QStringLiteral("Apps count: ") + QString::number(n),
                   QStringLiteral("Apps Source: Applications Manager"),
                   QStringLiteral("Apps destination: ") + destination});
    m_op.end(destination, toPhone ? Location::Phone : Location::Pc);
}

void AppOperations::BackupRowToPC()
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Apps count: 1"), QStringLiteral("Apps destination: ") + folder});
    m_backups.run(m_pane.loader(), {row}, withSlash(folder), false, false);
    m_op.end();
    emit locationChanged(withSlash(folder), Location::Pc);
}

void AppOperations::DropRow(bool toPhone)
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    const QString destination = askDestination(toPhone);
    if (destination.isEmpty())
        return;
    m_op.begin({QStringLiteral("Apps count: 1"), QStringLiteral("Apps Source: Applications Manager"),
                QStringLiteral("Apps destination: ") + destination});
    if (toPhone)
        m_op.remountFor(destination);
    m_backups.run(m_pane.loader(), {row}, withSlash(destination), toPhone, false);
    m_op.end(destination, toPhone ? Location::Phone : Location::Pc);
}

bool AppOperations::removeFilesAsRoot(const ListItem &row, bool keepData)
{
    const AppStorage &storage = m_pane.loader().storage();
    const QString package = m_pane.loader().packageName(row);
    if (row.Protected) {
        m_adb.Remove(storage.PrivateAppDir + row.Name, QString());
        m_adb.Remove(storage.AppDir + row.Name.chopped(4) + QStringLiteral(".zip"), QString());
    } else {
        m_adb.Remove(m_pane.loader().devicePath(row), QString());
    }
    if (!keepData && !package.isEmpty())
        m_adb.Remove(packageDataPath(package), QStringLiteral("-r"));
    return !m_adb.PathExists(m_pane.loader().devicePath(row));
}

AppOperations::Result AppOperations::uninstall(const QString &package, const QString &label, bool system, bool keepData,
                                               const ListItem *row)
{
    AppsLoader &loader = m_pane.loader();
    PackageAnswer answer;
    // False when cancelled; what the phone said goes to the log either way.
    const auto attempt = [&](bool currentUserOnly) {
        const InstallResult result = removePackage(m_adb, package, keepData, currentUserOnly);
        if (m_adb.isCancelled())
            return false;
        m_op.line(result.output);
        answer = result.answer;
        return true;
    };
    if (!attempt(false))
        return Result::Cancelled;
    if (!answer.ok && loader.access() == AppsAccess::PackageManager && system) {
        const QString question =
            label +
            QStringLiteral(" came with the phone's system and cannot be removed from it.\r"
                           "Remove it for the current user only? It stays in the system image, "
                           "comes back after a factory reset and can be restored with "
                           "\"cmd package install-existing ") +
            package + QStringLiteral("\"") +
            (keepData ? QStringLiteral("; its data is kept.") : QStringLiteral("; its data is removed."));
        if (prompter().question(m_log.questionParent(), question) && !attempt(true))
            return Result::Cancelled;
    }
    if (!answer.ok && row && loader.access() == AppsAccess::Folders && appState().RootAccess) {
        // A package manager that refuses leaves the files; root can still remove them.
        answer.ok = removeFilesAsRoot(*row, keepData);
        if (!answer.ok)
            answer.reason = QStringLiteral("its files are still on the phone");
    }
    m_op.line(answer.ok ? QStringLiteral("Uninstalation complete") : QStringLiteral("Failed: ") + answer.reason);
    m_op.gap();
    m_op.tally(answer.ok ? RowOutcome::Done : RowOutcome::Failed, answer.reason);
    return answer.ok ? Result::Done : Result::Failed;
}

AppOperations::Result AppOperations::uninstallRow(const ListItem &row, bool keepData)
{
    const AppsLoader &loader = m_pane.loader();
    return uninstall(loader.packageName(row), ItemLabel(row), loader.isSystemPackage(row), keepData, &row);
}

void AppOperations::UninstallChecked()
{
    const QList<ListItem> rows = m_pane.checkedRows();
    const int n = int(rows.size());
    if (!hasChecked(n))
        return;
    QStringList names;
    for (const ListItem &row : rows)
        names << ItemLabel(row);
    TUninstallForm form(m_window, names);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    m_op.begin({QStringLiteral("Apps count: ") + QString::number(n)});
    int k = 0;
    for (const ListItem &row : rows) {
        if (!m_op.row(++k, n, QStringLiteral("Uninstalling app: ") + row.Name))
            break;
        if (uninstallRow(row, form.keepData()) == Result::Cancelled) {
            m_op.cancelled();
            break;
        }
    }
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

void AppOperations::uninstallOne(const QString &name, const std::function<Result(bool keepData)> &run)
{
    TUninstallForm form(m_window, {name});
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    m_op.begin({QStringLiteral("Apps count: 1")});
    m_op.setTotals(1, 0);
    if (m_op.row(QStringLiteral("Uninstalling app: ") + name) && run(form.keepData()) == Result::Cancelled)
        m_op.cancelled();
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

void AppOperations::UninstallApp(const ListItem &row)
{
    uninstallOne(row.Name, [this, row](bool keepData) { return uninstallRow(row, keepData); });
}

void AppOperations::UninstallPackage(const QString &package)
{
    // The listed row, when there is one, says whether the package came with the system.
    bool system = false;
    for (const ListItem &row : m_pane.model()->rows()) {
        if (m_pane.loader().packageName(row) == package)
            system = m_pane.loader().isSystemPackage(row);
    }
    uninstallOne(package + QStringLiteral(".apk"),
                 [this, package, system](bool keepData) { return uninstall(package, package, system, keepData); });
}

void AppOperations::InstallApk(const QString &apkPath)
{
    TInstallForm form(installChoices(), m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QFileInfo file(apkPath);
    m_op.begin({QStringLiteral("Apps count: 1"),
                QStringLiteral("Apps source: ") + QDir::toNativeSeparators(file.absolutePath())});
    m_op.setTotals(1, 0);
    if (m_op.row(QStringLiteral("Installing app: ") + file.fileName())) {
        const InstallResult result =
            InstallPackageFile(m_adb, apkPath, form.InstallOptions(), appState().DataDir, appState().TempDir);
        finishPackageRow(m_op, result.output, result.answer);
    }
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

InstallChoices AppOperations::installChoices() const
{
    const AppStorage &storage = m_pane.loader().storage();
    InstallChoices choices;
    // Current package managers refuse forward locking and the old SD flag.
    choices.privateInstall = storage.Access == AppsAccess::Folders;
    choices.onSd = storage.Access == AppsAccess::Folders && storage.AppStorageMode == AppStorageType::Asec;
    return choices;
}

void AppOperations::InstallFromFolder()
{
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory"), QString());
    if (!folder.isEmpty())
        ShowInstallerFor(folder);
}

bool AppOperations::devicePresent()
{
    return m_adb.DevicePresent();
}

void AppOperations::ShowInstallerFor(const QString &folder, InstallTarget *target)
{
    if (!target)
        target = this;
    InstallerDialog dialog(m_adb, m_log, target, m_window);
    connect(dialog.form(), &TInstallerForm::infoRequested, this,
            [this, target](const QString &path) { ShowPackageInfo(path, false, target); });
    connect(dialog.form(), &TInstallerForm::installed, this,
            [this] { emit locationChanged(QStringLiteral("apps"), Location::Apps); });
    emit loadingStarted();
    const bool found = dialog.form()->LoadFolder(withSlash(folder));
    emit loadingFinished();
    if (!found) {
        prompter().information(m_window, QStringLiteral("No applications in directory to show."));
        return;
    }
    prompter().exec(dialog);
}

void AppOperations::MoveApp()
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    const AppMove move = appMove(m_pane.loader().storage(), row.Name, row.Protected);
    const QString &from = move.from;
    const QString &to = move.to;
    const QString where = move.toExt ? QStringLiteral("the SD card") : QStringLiteral("the internal memory");
    if (!prompter().question(m_window, QStringLiteral("Move ") + ItemLabel(row) + QStringLiteral(" to ") + where +
                                           QStringLiteral(" (") + TADB::ParentDir(to) + QStringLiteral(")?")))
        return;
    m_op.begin({QStringLiteral("Apps count: 1")});
    m_op.setTotals(1, 0);
    m_op.line(QStringLiteral("Moving app: ") + row.Name);
    // A move runs to its end: one stopped halfway would leave a partial copy beside the package.
    TADB phone(m_adb);
    phone.setCancelToken(nullptr);
    if (phone.PathExists(to)) {
        switch (ReplaceQuestion(m_log.questionParent(), false).decide(to)) {
        case ReplaceQuestion::Decision::Write:
            break;
        case ReplaceQuestion::Decision::Skip:
            m_op.line(QStringLiteral("Skipped: ") + to + QStringLiteral(" exists"));
            m_op.gap();
            m_op.tally(RowOutcome::Skipped);
            m_op.end();
            return;
        case ReplaceQuestion::Decision::Stop:
            m_op.cancelled();
            m_op.end();
            return;
        }
    }
    m_adb.Remount();
    // mv copies across partitions and removes the source only once the copy is whole.
    if (const CommandResult result = phone.MoveFile(from, to, QString()); !result.ok())
        m_op.line(result.errorText);
    // The phone's folders say whether it moved, whatever mv printed.
    const bool moved = phone.PathExists(to) && !phone.PathExists(from);
    // The compiled code is named after the package's path; the phone compiles a missing one again at the
    // application's next start.
    const QString fromCache = dalvikCachePath(from);
    if (moved && phone.PathExists(fromCache)) {
        if (const CommandResult result = phone.MoveFile(fromCache, dalvikCachePath(to), QString()); !result.ok())
            m_op.line(result.errorText);
    }
    m_op.line(moved ? QStringLiteral("Move complete") : QStringLiteral("Failed"));
    m_op.gap();
    m_op.tally(moved ? RowOutcome::Done : RowOutcome::Failed);
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

void AppOperations::OpenAppInfo()
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    ApkInfoHooks hooks;
    hooks.devicePresent = [this] { return m_adb.DevicePresent(); };
    hooks.install = [this](const QString &apk) { InstallApk(apk); };
    hooks.uninstall = [this, row](const QString &) { UninstallApp(row); };
    ShowApkInfo(m_window, m_adb, m_pane.loader().devicePath(row), true, true, hooks);
    // A row without information may have got its icon from the window.
    if (row.Label.isEmpty())
        m_pane.LoadApplications();
}

void AppOperations::ShowPackageInfo(const QString &path, bool onDevice, InstallTarget *target)
{
    ApkInfoHooks hooks;
    hooks.devicePresent = [this, target] { return target ? target->devicePresent() : devicePresent(); };
    hooks.install = [this](const QString &apk) { InstallApk(apk); };
    hooks.uninstall = [this](const QString &package) { UninstallPackage(package); };
    ShowApkInfo(m_window, m_adb, path, onDevice, false, hooks);
}

void AppOperations::EditAppsStorage()
{
    if (m_pane.loader().access() == AppsAccess::PackageManager) {
        prompter().information(m_window, QStringLiteral("This phone keeps its applications where its package manager "
                                                        "decides; there is nothing to set."));
        return;
    }
    TApps2SdForm form(m_window);
    form.setCancelVisible(true);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    saveAppStorageOption(m_adb, form.selectedOption());
    prompter().information(m_window, QStringLiteral("You have to restart program to see changes!"));
}
