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
#include "base/chooserfolders.h"
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

AppOperations::AppOperations(QWidget *window, AdbClient &adb, OperationLog &log, AppsPane &pane,
                             const BackupPanes &panes)
    : m_window(window), m_adb(adb), m_log(log), m_pane(pane), m_panes(panes),
      m_op(window, adb, log, [this](const QString &path, Location side) { emit locationChanged(path, side); }),
      m_backups(adb, m_op, log)
{
    connect(&pane, &AppsPane::commandRequested, this, [this](AppsPane::Command command) {
        switch (command) {
        case AppsPane::Command::Backup:
            backupCheckedToPane();
            break;
        case AppsPane::Command::Uninstall:
            uninstallChecked();
            break;
        case AppsPane::Command::Install:
            installFromPc();
            break;
        case AppsPane::Command::BackupToPc:
            backupCheckedToPc();
            break;
        }
    });
    connect(&pane, &AppsPane::menuRequested, this, [this](AppsPane::MenuItem item) {
        if (item == AppsPane::MenuItem::Backup)
            backupRowToPc();
        else if (item == AppsPane::MenuItem::Uninstall && m_pane.currentRow())
            uninstallApp(*m_pane.currentRow());
        else if (item == AppsPane::MenuItem::Move)
            moveApp();
    });
    connect(&pane, &AppsPane::openInfoRequested, this, &AppOperations::openAppInfo);
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

void AppOperations::backupCheckedToPc()
{
    const int n = int(m_pane.checkedRows().size());
    if (!hasChecked(n))
        return;
    const QString folder = chooseDirectoryFor(Chooser::BackupToPc, m_window, QStringLiteral("Select directory:"));
    if (folder.isEmpty())
        return;
    backupChecked(folder, false,
                  {QStringLiteral("Apps count: ") + QString::number(n), QStringLiteral("Apps destination: ") + folder});
    m_op.end();
    emit locationChanged(withSlash(folder), Location::Pc);
}

QString AppOperations::askDestination(bool toPhone)
{
    CopyDialog form(QStringLiteral("Applications Manager"), m_panes.folder(toPhone ? Location::Phone : Location::Pc),
                    m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return QString();
    const QString destination = form.destination();
    if (destination.isEmpty() || (toPhone && !m_op.allowed(destination)))
        return QString();
    return destination;
}

void AppOperations::backupCheckedToPane()
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

void AppOperations::backupRowToPc()
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    const QString folder = chooseDirectoryFor(Chooser::BackupToPc, m_window, QStringLiteral("Select directory:"));
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Apps count: 1"), QStringLiteral("Apps destination: ") + folder});
    m_backups.run(m_pane.loader(), {row}, withSlash(folder), false, false);
    m_op.end();
    emit locationChanged(withSlash(folder), Location::Pc);
}

void AppOperations::dropRow(bool toPhone)
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
    if (row.isProtected) {
        m_adb.removePath(storage.privateAppDir + row.name, QString());
        m_adb.removePath(storage.appDir + row.name.chopped(4) + QStringLiteral(".zip"), QString());
    } else {
        m_adb.removePath(m_pane.loader().devicePath(row), QString());
    }
    if (!keepData && !package.isEmpty())
        m_adb.removePath(packageDataPath(package), QStringLiteral("-r"));
    return !m_adb.pathExists(m_pane.loader().devicePath(row));
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
    if (!answer.ok && row && loader.access() == AppsAccess::Folders && appState().rootAccess) {
        // A package manager that refuses leaves the files; root can still remove them.
        answer.ok = removeFilesAsRoot(*row, keepData);
        if (!answer.ok)
            answer.reason = QStringLiteral("its files are still on the phone");
    }
    m_op.line(answer.ok ? QStringLiteral("Uninstallation complete") : QStringLiteral("Failed: ") + answer.reason);
    m_op.gap();
    m_op.tally(answer.ok ? RowOutcome::Done : RowOutcome::Failed, answer.reason);
    return answer.ok ? Result::Done : Result::Failed;
}

AppOperations::Result AppOperations::uninstallRow(const ListItem &row, bool keepData)
{
    const AppsLoader &loader = m_pane.loader();
    return uninstall(loader.packageName(row), itemLabel(row), loader.isSystemPackage(row), keepData, &row);
}

void AppOperations::uninstallChecked()
{
    const QList<ListItem> rows = m_pane.checkedRows();
    const int n = int(rows.size());
    if (!hasChecked(n))
        return;
    QStringList names;
    for (const ListItem &row : rows)
        names << itemLabel(row);
    UninstallDialog form(m_window, names);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    m_op.begin({QStringLiteral("Apps count: ") + QString::number(n)});
    int k = 0;
    for (const ListItem &row : rows) {
        if (!m_op.row(++k, n, QStringLiteral("Uninstalling app: ") + row.name))
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
    UninstallDialog form(m_window, {name});
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    m_op.begin({QStringLiteral("Apps count: 1")});
    m_op.setTotals(1, 0);
    if (m_op.row(QStringLiteral("Uninstalling app: ") + name) && run(form.keepData()) == Result::Cancelled)
        m_op.cancelled();
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

void AppOperations::uninstallApp(const ListItem &row)
{
    uninstallOne(row.name, [this, row](bool keepData) { return uninstallRow(row, keepData); });
}

void AppOperations::uninstallPackage(const QString &package)
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

void AppOperations::installApk(const QString &apkPath)
{
    InstallDialog form(installChoices(), m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QFileInfo file(apkPath);
    m_op.begin({QStringLiteral("Apps count: 1"),
                QStringLiteral("Apps source: ") + QDir::toNativeSeparators(file.absolutePath())});
    m_op.setTotals(1, 0);
    if (m_op.row(QStringLiteral("Installing app: ") + file.fileName())) {
        const InstallResult result =
            installPackageFile(m_adb, apkPath, form.installOptions(), appState().dataDir, appState().tempDir);
        finishPackageRow(m_op, result.output, result.answer);
    }
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

InstallChoices AppOperations::installChoices() const
{
    const AppStorage &storage = m_pane.loader().storage();
    InstallChoices choices;
    // Current package managers refuse forward locking and the old SD flag.
    choices.privateInstall = storage.access == AppsAccess::Folders;
    choices.onSd = storage.access == AppsAccess::Folders && storage.appStorageMode == AppStorageType::Asec;
    return choices;
}

void AppOperations::installFromPc()
{
    const QStringList chosen = chooseInstallSources(m_window, chooserStartFolder(Chooser::Install));
    if (chosen.isEmpty())
        return;
    const QFileInfo first(chosen.constFirst());
    rememberChooserFolder(Chooser::Install, first.isDir() ? first.absoluteFilePath() : first.absolutePath());
    showInstallerFor(chosen);
}

bool AppOperations::devicePresent()
{
    return m_adb.devicePresent();
}

void AppOperations::showInstallerFor(const QStringList &sources, InstallTarget *target)
{
    if (!target)
        target = this;
    InstallerDialog dialog(m_adb, m_log, target, m_window);
    connect(dialog.form(), &InstallerPane::infoRequested, this,
            [this, target](const QString &path) { showPackageInfo(path, false, target); });
    connect(dialog.form(), &InstallerPane::installed, this,
            [this] { emit locationChanged(QStringLiteral("apps"), Location::Apps); });
    emit loadingStarted();
    QStringList paths;
    for (const QString &path : sources)
        paths << (QFileInfo(path).isDir() ? withSlash(path) : path);
    const bool found = dialog.form()->loadSources(paths);
    emit loadingFinished();
    if (!found) {
        prompter().information(m_window, noApplicationsText(paths));
        return;
    }
    prompter().exec(dialog);
}

void AppOperations::moveApp()
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    const AppMove move = appMove(m_pane.loader().storage(), row.name, row.isProtected);
    const QString &from = move.from;
    const QString &to = move.to;
    const QString where = move.toExt ? QStringLiteral("the SD card") : QStringLiteral("the internal memory");
    if (!prompter().question(m_window, QStringLiteral("Move ") + itemLabel(row) + QStringLiteral(" to ") + where +
                                           QStringLiteral(" (") + AdbClient::parentDir(to) + QStringLiteral(")?")))
        return;
    m_op.begin({QStringLiteral("Apps count: 1")});
    m_op.setTotals(1, 0);
    m_op.line(QStringLiteral("Moving app: ") + row.name);
    // A move runs to its end: one stopped halfway would leave a partial copy beside the package.
    AdbClient phone(m_adb);
    phone.setCancelToken(nullptr);
    if (phone.pathExists(to)) {
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
    m_adb.remount();
    // mv copies across partitions and removes the source only once the copy is whole.
    if (const CommandResult result = phone.moveFile(from, to, QString()); !result.ok())
        m_op.line(result.errorText);
    // The phone's folders say whether it moved, whatever mv printed.
    const bool moved = phone.pathExists(to) && !phone.pathExists(from);
    // The compiled code is named after the package's path; the phone compiles a missing one again at the
    // application's next start.
    const QString fromCache = dalvikCachePath(from);
    if (moved && phone.pathExists(fromCache)) {
        if (const CommandResult result = phone.moveFile(fromCache, dalvikCachePath(to), QString()); !result.ok())
            m_op.line(result.errorText);
    }
    m_op.line(moved ? QStringLiteral("Move complete") : QStringLiteral("Failed"));
    m_op.gap();
    m_op.tally(moved ? RowOutcome::Done : RowOutcome::Failed);
    m_op.end(QStringLiteral("apps"), Location::Apps);
}

namespace {

// The information window of a listed application: Uninstall removes that row's application.
class ListedPackageActions final : public PackageActions {
public:
    ListedPackageActions(AppOperations &operations, ListItem row) : m_operations(operations), m_row(std::move(row)) {}
    bool devicePresent() override { return m_operations.devicePresent(); }
    void install(const QString &apk) override { m_operations.installApk(apk); }
    void uninstall(const QString &) override { m_operations.uninstallApp(m_row); }

private:
    AppOperations &m_operations;
    const ListItem m_row;
};

// The information window of a package file; path mode brings its own phone check.
class FilePackageActions final : public PackageActions {
public:
    FilePackageActions(AppOperations &operations, InstallTarget &target) : m_operations(operations), m_target(target) {}
    bool devicePresent() override { return m_target.devicePresent(); }
    void install(const QString &apk) override { m_operations.installApk(apk); }
    void uninstall(const QString &package) override { m_operations.uninstallPackage(package); }

private:
    AppOperations &m_operations;
    InstallTarget &m_target;
};

} // namespace

void AppOperations::openAppInfo()
{
    const ListItem *current = m_pane.currentRow();
    if (!current)
        return;
    const ListItem row = *current;
    ListedPackageActions actions(*this, row);
    showApkInfo(m_window, m_adb, m_pane.loader().devicePath(row), true, true, actions);
    // A row without information may have got its icon from the window.
    if (row.label.isEmpty())
        m_pane.loadApplications();
}

void AppOperations::showPackageInfo(const QString &path, bool onDevice, InstallTarget *target)
{
    FilePackageActions actions(*this, target ? *target : *this);
    showApkInfo(m_window, m_adb, path, onDevice, false, actions);
}

void AppOperations::editAppsStorage()
{
    if (m_pane.loader().access() == AppsAccess::PackageManager) {
        prompter().information(m_window, QStringLiteral("This phone keeps its applications where its package manager "
                                                        "decides; there is nothing to set."));
        return;
    }
    Apps2SdDialog form(m_window);
    form.setCancelVisible(true);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    saveAppStorageOption(m_adb, form.selectedOption());
    prompter().information(m_window, QStringLiteral("Restart the program to see the changes."));
}
