#include "files/fileoperations.h"

#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "files/filedialogs.h"
#include "files/filelistmodel.h"
#include "shell/appstate.h"
#include "shell/progressdlg.h"
#include "shell/prompter.h"
#include "shell/settings.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

namespace {

const QString kSelectOne = QStringLiteral("You must select minimum 1 item!");
const QString kNoAppsTarget = QStringLiteral("You can not copy files to application manager!");

QString counter(int k, int n)
{
    return u'[' + QString::number(k) + u'/' + QString::number(n) + QStringLiteral("] ");
}

// The row's name without the "@" of a link: links are acted on themselves.
QString entryName(const ListItem &row)
{
    const QString &name = ItemName(row);
    return IsLinkName(name) ? name.left(name.size() - 1) : name;
}

QString pcPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(u'/') || folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + u'/' + name;
}

const ListItem *currentRow(const QListView *view)
{
    auto *model = qobject_cast<FileListModel *>(view->model());
    const QModelIndex index = view->currentIndex();
    return model && index.isValid() ? &model->item(index.row()) : nullptr;
}

} // namespace

bool IsSystemPath(const QString &path)
{
    return path.startsWith(QStringLiteral("/system/"));
}

FileOperations::FileOperations(QWidget *window, TADB &adb, TLogForm &log, DevicePane &right, DevicePane &left,
                               Hooks hooks)
    : QObject(window), m_window(window), m_adb(adb), m_log(log), m_right(right), m_left(left),
      m_hooks(std::move(hooks))
{
    connectPane(m_right);
    connectPane(m_left);
}

void FileOperations::connectPane(DevicePane &pane)
{
    const bool right = pane.side() == DevicePane::Side::Right;
    auto onButton = [&](const char *name, void (FileOperations::*command)(DevicePane &)) {
        connect(pane.commandButton(name), &QPushButton::clicked, this, [this, &pane, command] { (this->*command)(pane); });
    };
    auto onItem = [&](const char *name, void (FileOperations::*command)(DevicePane &)) {
        QAction *action = pane.listMenu()->findChild<QAction *>(QLatin1String(name));
        connect(action, &QAction::triggered, this, [this, &pane, command] { (this->*command)(pane); });
    };
    onButton(right ? "btnPush" : "Button1", &FileOperations::PushFilesFromPc);
    onButton(right ? "btnPull" : "Button2", &FileOperations::PullChecked);
    onButton(right ? "btnDel" : "Button4", &FileOperations::DeleteChecked);
    onButton(right ? "LCopy" : "RCopy", &FileOperations::CopyChecked);
    onItem(right ? "PFPull" : "Pull2", &FileOperations::PullCurrent);
    onItem(right ? "PFDelete" : "Delete2", &FileOperations::DeleteCurrent);
    onItem(right ? "PFRename" : "Rename2", &FileOperations::RenameCurrent);
    onItem(right ? "PFNewDir" : "Newdirectory2", &FileOperations::MakeDirectory);
    onItem(right ? "PFPullAndOpen" : "PFPullAndOpen2", &FileOperations::PullAndOpen);
    connect(pane.listMenu(), &QMenu::aboutToShow, this, [this, &pane] { PreparePopup(pane); });
}

bool FileOperations::rootGate(const QString &target)
{
    if (!IsSystemPath(target) || appState().RootAccess)
        return true;
    prompter().stop(m_window, QStringLiteral("Access denied!"), QStringLiteral("You need ROOT access to do this operation!"));
    return false;
}

void FileOperations::beginLog(const QStringList &header)
{
    m_log.BeginOperation();
    for (const QString &line : header)
        m_log.LogLine(line);
    m_log.LogLine(QStringLiteral(" "));
    m_log.LogLine(QStringLiteral("Starting operation..."));
    m_log.LogLine(QStringLiteral(" "));
}

void FileOperations::remountStep(const QString &target)
{
    if (!IsSystemPath(target))
        return;
    m_log.LogLine(QStringLiteral("Remounting..."));
    m_log.LogLine(QStringLiteral(" "));
    m_adb.Remount();
}

int FileOperations::checkedCount(DevicePane &pane)
{
    // Counted afresh: marks flipped with Ctrl or the middle button are not in the caption yet.
    return int(pane.model()->checkedRows().size());
}

QString FileOperations::copyOnPhone(const QString &source, const QString &target, bool directory)
{
    // Without cp the phone can only copy single files (with cat); a folder would become an empty file.
    if (directory && !m_adb.HasBusybox)
        return QStringLiteral("Copying a directory needs BusyBox on the phone. Failed");
    const QString output = m_adb.CopyFile(source, target, directory ? QStringLiteral("-r") : QString());
    return output.isEmpty() ? QStringLiteral("Coping complete") : output;
}

void FileOperations::removeRow(const QString &directory, const ListItem &item, const QString &prefix)
{
    const bool isDir = IsDirName(ItemName(item));
    m_log.LogLine(prefix + (isDir ? QStringLiteral("Deleting directory: ") : QStringLiteral("Deleting file: ")) +
                  ItemName(item));
    const QString output = m_adb.Remove(directory + entryName(item), isDir ? QStringLiteral("-r") : QString());
    // rm prints nothing when it worked; anything else is its complaint.
    if (output.isEmpty()) {
        m_log.LogLine(QStringLiteral("Complete"));
    } else {
        m_log.LogLine(output);
        m_log.LogLine(QStringLiteral("Failed"));
    }
    m_log.LogLine(QStringLiteral(" "));
}

void FileOperations::pullRow(const QString &directory, const ListItem &item, const QString &folder,
                             const QString &prefix)
{
    const QString name = StripNameSuffix(ItemName(item));
    m_log.LogLine(prefix + (IsDirName(ItemName(item)) ? QStringLiteral("Pulling directory: ")
                                                      : QStringLiteral("Pulling file: ")) +
                  name);
    m_log.LogLine(m_adb.Pull(directory + name, pcPath(folder, name)));
    m_log.LogLine(QStringLiteral(" "));
}

void FileOperations::PushFilesFromPc(DevicePane &pane)
{
    const QStringList files = prompter().chooseOpenFiles(m_window, QStringLiteral("Open"),
                                                         QStringLiteral("All Files (*)"), QString());
    if (files.isEmpty())
        return;
    TPushForm form(m_left.addressText(), m_right.addressText(),
                   pane.side() == DevicePane::Side::Left ? TPushForm::LeftPanel : TPushForm::RightPanel, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!rootGate(destination))
        return;
    const QString sourceFolder = QFileInfo(files.first()).absolutePath() + u'/';
    beginLog({QStringLiteral("Files count: ") + QString::number(files.size()), QStringLiteral("Files source: ") + sourceFolder,
              QStringLiteral("Files destination: ") + destination});
    remountStep(destination);
    for (int k = 0; k < files.size(); ++k) {
        m_log.LogLine(counter(k + 1, int(files.size())) + QStringLiteral("Pushing file: ") + QFileInfo(files.at(k)).fileName());
        m_log.LogLine(m_adb.Push(files.at(k), destination));
        m_log.LogLine(QStringLiteral(" "));
    }
    m_log.EndOperation();
    m_hooks.refreshLocation(destination, Location::Phone);
}

void FileOperations::PullChecked(DevicePane &pane)
{
    const int n = checkedCount(pane);
    if (n == 0) {
        prompter().information(m_window, kSelectOne);
        return;
    }
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    beginLog({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items destination: ") + folder});
    const QString directory = pane.addressText();
    int k = 0;
    for (int row : pane.model()->checkedRows()) {
        pullRow(directory, pane.model()->item(row), folder, counter(++k, n));
    }
    m_log.EndOperation();
}

void FileOperations::DeleteChecked(DevicePane &pane)
{
    const QString directory = pane.addressText();
    if (!rootGate(directory))
        return;
    const int n = checkedCount(pane);
    if (n == 0) {
        prompter().information(m_window, kSelectOne);
        return;
    }
    if (!prompter().question(m_window, QStringLiteral("Do you want delete selected files?")))
        return;
    beginLog({QStringLiteral("Items count: ") + QString::number(n)});
    remountStep(directory);
    int k = 0;
    for (int row : pane.model()->checkedRows()) {
        removeRow(directory, pane.model()->item(row), counter(++k, n));
    }
    m_log.EndOperation();
    m_hooks.refreshLocation(directory, Location::Phone);
}

void FileOperations::CopyChecked(DevicePane &source)
{
    const bool fromRight = source.side() == DevicePane::Side::Right;
    if (!fromRight && m_hooks.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const int n = checkedCount(source);
    if (n == 0) {
        prompter().information(m_window, kSelectOne);
        return;
    }
    const QString from = source.addressText();
    const bool toPc = fromRight && !m_hooks.leftShowsPhone();
    const QString to = !fromRight ? m_right.addressText() : toPc ? m_hooks.pcFolder() : m_left.addressText();
    TCopyForm form(from, to, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!toPc && !rootGate(destination))
        return;
    beginLog({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items source: ") + from,
              QStringLiteral("Items destination: ") + destination});
    if (!toPc)
        remountStep(destination);
    int k = 0;
    for (int row : source.model()->checkedRows()) {
        const ListItem &item = source.model()->item(row);
        const bool isDir = IsDirName(ItemName(item));
        const QString name = isDir ? StripNameSuffix(entryName(item)) : entryName(item);
        m_log.LogLine(counter(++k, n) + (isDir ? QStringLiteral("Coping directory: ") : QStringLiteral("Coping file: ")) +
                      name);
        if (toPc)
            m_log.LogLine(m_adb.Pull(from + name, pcPath(destination, name)));
        else
            m_log.LogLine(copyOnPhone(from + name + (isDir ? QStringLiteral("/") : QString()), destination + name, isDir));
        m_log.LogLine(QStringLiteral(" "));
    }
    m_log.EndOperation();
    m_hooks.refreshLocation(destination, toPc ? Location::Pc : Location::Phone);
}

void FileOperations::PullCurrent(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    if (!item)
        return;
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    beginLog({QStringLiteral("Items count: 1"), QStringLiteral("Items destination: ") + folder});
    pullRow(pane.addressText(), *item, folder, QString());
    m_log.EndOperation();
}

void FileOperations::DeleteCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.addressText();
    if (!rootGate(directory))
        return;
    if (!prompter().question(m_window, QStringLiteral("Do you want delete selected item?")))
        return;
    beginLog({QStringLiteral("Items count: 1")});
    remountStep(directory);
    removeRow(directory, item, QString());
    m_log.EndOperation();
    m_hooks.refreshLocation(directory, Location::Phone);
}

void FileOperations::RenameCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.addressText();
    if (!rootGate(directory))
        return;
    const bool isDir = IsDirName(ItemName(item));
    const QString old = isDir ? StripNameSuffix(entryName(item)) : entryName(item);
    TRenameDlg dialog(QStringLiteral("Rename"), old, m_window);
    if (prompter().exec(dialog) != QDialog::Accepted || dialog.name().isEmpty())
        return;
    const QString newName = dialog.name() + (isDir ? QStringLiteral("/") : QString());
    if (IsSystemPath(directory))
        m_adb.Remount();
    if (!m_adb.MoveFile(directory + old, directory + newName, QString()))
        prompter().information(m_window, QStringLiteral("Rename failed: ") + m_adb.LastOutput);
    pane.FillDeviceList(directory);
    selectAfterRelist(pane, newName);
}

void FileOperations::MakeDirectory(DevicePane &pane)
{
    TRenameDlg dialog(QStringLiteral("New directory"), QStringLiteral("NewDir"), m_window);
    if (prompter().exec(dialog) != QDialog::Accepted || dialog.name().isEmpty())
        return;
    const QString name = dialog.name();
    const QString directory = pane.addressText();
    if (!m_adb.MakeDir(directory + name, QString()))
        prompter().information(m_window, QStringLiteral("New directory failed: ") + m_adb.LastOutput);
    pane.FillDeviceList(directory);
    selectAfterRelist(pane, name + u'/');
    pane.list()->setFocus();
}

void FileOperations::selectAfterRelist(DevicePane &pane, const QString &name)
{
    const QList<ListItem> &rows = pane.model()->rows();
    for (int i = 0; i < rows.size(); ++i) {
        if (ItemName(rows.at(i)) == name) {
            pane.list()->setCurrentIndex(pane.model()->index(i));
            pane.list()->scrollTo(pane.model()->index(std::max(0, i - 5)), QAbstractItemView::PositionAtTop);
            return;
        }
    }
}

void FileOperations::PreparePopup(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    const QString name = item ? ItemName(*item) : QString();
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool show = !programSettings().SQLiteDatabaseBrowser.isEmpty() && dot >= 0 && name.mid(dot) == QStringLiteral(".db");
    const bool right = pane.side() == DevicePane::Side::Right;
    for (const char *name : {right ? "PFPullAndOpen" : "PFPullAndOpen2", right ? "N22" : "N23"}) {
        if (QAction *action = pane.listMenu()->findChild<QAction *>(QLatin1String(name)))
            action->setVisible(show);
    }
}

void FileOperations::PullAndOpen(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    if (!item)
        return;
    const QString name = ItemName(*item);
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    const QString local = pcPath(folder, name);
    QString directory = pane.addressText();
    if (!directory.endsWith(u'/'))
        directory += u'/';
    m_adb.Pull(directory + name, local);
    // The browser runs on its own; the program does not wait for it to close.
    if (!QProcess::startDetached(programSettings().SQLiteDatabaseBrowser, {local}))
        prompter().information(m_window, QStringLiteral("Could not start ") + programSettings().SQLiteDatabaseBrowser);
}

void FileOperations::PushDroppedFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    m_window->activateWindow();
    m_window->raise();
    TPushForm form(m_left.addressText(), m_right.addressText(), TPushForm::SdCard, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!rootGate(destination))
        return;
    beginLog({QStringLiteral("Items count: ") + QString::number(paths.size()),
              QStringLiteral("Items source: ") + QFileInfo(paths.first()).absolutePath() + u'/',
              QStringLiteral("Items destination: ") + destination});
    remountStep(destination);
    for (int k = 0; k < paths.size(); ++k) {
        const QFileInfo info(paths.at(k));
        const QString name = info.fileName();
        // Folders are told from files by what they are, not by a dot in the name.
        if (info.isDir()) {
            m_log.LogLine(counter(k + 1, int(paths.size())) + QStringLiteral("Pushing directory: ") + name);
            m_log.LogLine(m_adb.Push(paths.at(k), destination + name + u'/'));
        } else {
            m_log.LogLine(counter(k + 1, int(paths.size())) + QStringLiteral("Pushing file: ") + name);
            m_log.LogLine(m_adb.Push(paths.at(k), destination + name));
        }
        m_log.LogLine(QStringLiteral(" "));
    }
    m_log.EndOperation();
    m_hooks.refreshLocation(destination, Location::Phone);
}

void FileOperations::CopyPcToPhone(FileListModel &pcRows, const QString &pcFolder)
{
    if (m_hooks.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const QList<int> checked = pcRows.checkedRows();
    const int n = int(checked.size());
    if (n == 0) {
        prompter().information(m_window, kSelectOne);
        return;
    }
    TCopyForm form(pcFolder, m_right.addressText(), m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!rootGate(destination))
        return;
    beginLog({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items source: ") + pcFolder,
              QStringLiteral("Items destination: ") + destination});
    remountStep(destination);
    int k = 0;
    for (int row : checked) {
        const QString &name = ItemName(pcRows.item(row));
        const bool isDir = IsDirName(name);
        const QString plain = StripNameSuffix(name);
        m_log.LogLine(counter(++k, n) + (isDir ? QStringLiteral("Coping directory: ") : QStringLiteral("Coping file: ")) +
                      (isDir ? plain : name));
        m_log.LogLine(m_adb.Push(pcPath(pcFolder, isDir ? plain : name), destination + (isDir ? plain : name)));
        m_log.LogLine(QStringLiteral(" "));
    }
    m_log.EndOperation();
    m_hooks.refreshLocation(destination, Location::Phone);
}

bool FileOperations::AcceptDrop(const QListView *target, const QListView *source)
{
    return target && source && target != source && target->objectName() != QStringLiteral("AppsList1");
}

void FileOperations::DropRow(QListView *target, QListView *source)
{
    if (!AcceptDrop(target, source))
        return;
    const QString to = target->objectName();
    const QString from = source->objectName();
    const ListItem *current = currentRow(source);
    if (!current)
        return;
    const ListItem item = *current;
    const bool phoneToPhone = (from == QStringLiteral("ListaPlikow") && to == QStringLiteral("ListaPlikow2")) ||
                              (from == QStringLiteral("ListaPlikow2") && to == QStringLiteral("ListaPlikow"));
    const bool phoneToPc = from == QStringLiteral("ListaPlikow") && to == QStringLiteral("PCList");
    const bool pcToPhone = from == QStringLiteral("PCList") && to == QStringLiteral("ListaPlikow");
    if (!phoneToPhone && !phoneToPc && !pcToPhone)
        return; // application rows arrive with the applications manager

    DevicePane &fromPane = from == QStringLiteral("ListaPlikow") ? m_right : m_left;
    const QString sourceDir = pcToPhone ? m_hooks.pcFolder() : fromPane.addressText();
    const QString targetDir = phoneToPc ? m_hooks.pcFolder() : (to == QStringLiteral("ListaPlikow") ? m_right : m_left).addressText();
    TCopyForm form(sourceDir, targetDir, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!phoneToPc && !rootGate(destination))
        return;
    beginLog({QStringLiteral("Items count: 1"), QStringLiteral("Items source: ") + sourceDir,
              QStringLiteral("Items destination: ") + destination});
    if (!phoneToPc)
        remountStep(destination);
    const bool isDir = IsDirName(ItemName(item));
    const QString name = pcToPhone ? StripNameSuffix(ItemName(item)) : (isDir ? StripNameSuffix(entryName(item)) : entryName(item));
    m_log.LogLine((isDir ? QStringLiteral("Coping directory: ") : QStringLiteral("Coping file: ")) + name);
    if (phoneToPhone) {
        const QString slash = isDir ? QStringLiteral("/") : QString();
        m_log.LogLine(copyOnPhone(sourceDir + name + slash, destination + name + slash, isDir));
    } else if (phoneToPc) {
        m_log.LogLine(m_adb.Pull(sourceDir + name, pcPath(destination, name)));
    } else {
        m_log.LogLine(m_adb.Push(pcPath(sourceDir, name), destination + name));
    }
    m_log.LogLine(QStringLiteral(" "));
    m_log.EndOperation();
    m_hooks.refreshLocation(destination, phoneToPc ? Location::Pc : Location::Phone);
}
