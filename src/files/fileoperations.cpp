#include "files/fileoperations.h"

#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "files/filedialogs.h"
#include "lists/filelistmodel.h"
#include "lists/listengine.h"
#include "bridge/listingparser.h"
#include "transfers/staging.h"
#include "base/appstate.h"
#include "widgets/copyform.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "base/settings.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>

namespace {

const QString kNoAppsTarget = QStringLiteral("You can not copy files to application manager!");

// The first line of a row that deletes or pulls a phone entry.
QString deleteLine(const ListItem &item)
{
    return (IsFolder(item) ? QStringLiteral("Deleting directory: ") : QStringLiteral("Deleting file: ")) +
           EscapeControls(ItemName(item));
}

QString pullLine(const ListItem &item)
{
    return (IsFolder(item) ? QStringLiteral("Pulling directory: ") : QStringLiteral("Pulling file: ")) +
           EscapeControls(EntryName(item));
}

QString copyLine(bool isDir, const QString &name)
{
    return (isDir ? QStringLiteral("Coping directory: ") : QStringLiteral("Coping file: ")) + name;
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

// A new name for a row: one whole name, as typed.
bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(u'/') && name != QStringLiteral(".") && name != QStringLiteral("..");
}

// What the user is told about a browser that ended in failure: how it ended and its last lines.
QString browserFailure(const QString &program, int code, QProcess::ExitStatus status, const QString &output)
{
    QFile log(output);
    QStringList lines;
    if (log.open(QIODevice::ReadOnly)) {
        for (const QString &line : splitLines(QString::fromLocal8Bit(log.readAll()))) {
            if (!line.trimmed().isEmpty())
                lines << line;
        }
    }
    const qsizetype kept = 4;
    if (lines.size() > kept)
        lines.remove(0, lines.size() - kept);
    const QString how = status == QProcess::NormalExit ? QStringLiteral(" ended with exit code %1.").arg(code)
                                                       : QStringLiteral(" crashed.");
    return program + how + (lines.isEmpty() ? QString() : u'\n' + lines.join(u'\n'));
}

// Starts the database browser on `file` without waiting for it. It is no child of the window, so it
// outlives the program, and it writes into a file rather than a pipe that would close when the program
// quits. A browser that ends in failure (it could not open the file, say) is reported with its exit code.
void startDatabaseBrowser(QWidget *window, const QString &program, const QString &file)
{
    auto *process = new QProcess;
    const QString output = QDir(appState().TempDir).filePath(QStringLiteral("database-browser.log"));
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardOutputFile(output, QIODevice::Truncate);
    process->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::errorOccurred, window, [window, process, program](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        prompter().information(window, QStringLiteral("Could not start ") + program);
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::finished, window,
                     [window, process, program, output](int code, QProcess::ExitStatus status) {
                         process->deleteLater();
                         if (status != QProcess::NormalExit || code != 0)
                             prompter().information(window, browserFailure(program, code, status, output));
                     });
    process->start(program, {file});
}

} // namespace

FileOperations::FileOperations(QWidget *window, TADB &adb, OperationLog &log, DevicePane &right, DevicePane &left,
                               OtherLists lists, Hooks hooks)
    : QObject(window), m_window(window), m_adb(adb), m_log(log), m_right(right), m_left(left), m_lists(lists),
      m_hooks(std::move(hooks)), m_op(window, adb, log, m_hooks.refreshLocation), m_transfers(adb, m_op)
{
    connectPane(m_right);
    connectPane(m_left);
}

void FileOperations::connectPane(DevicePane &pane)
{
    using Command = DevicePane::Command;
    using Item = DevicePane::MenuItem;
    auto onButton = [&](Command button, void (FileOperations::*command)(DevicePane &)) {
        connect(pane.commandButton(button), &QPushButton::clicked, this,
                [this, &pane, command] { (this->*command)(pane); });
    };
    auto onItem = [&](Item item, void (FileOperations::*command)(DevicePane &)) {
        connect(pane.menuAction(item), &QAction::triggered, this, [this, &pane, command] {
            // The rows of a folder still loading are not the ones the menu was opened on.
            if (!pane.isListing())
                (this->*command)(pane);
        });
    };
    onButton(Command::Push, &FileOperations::PushFilesFromPc);
    onButton(Command::Pull, &FileOperations::PullChecked);
    onButton(Command::Delete, &FileOperations::DeleteChecked);
    onButton(Command::Copy, &FileOperations::CopyChecked);
    onItem(Item::Pull, &FileOperations::PullCurrent);
    onItem(Item::Delete, &FileOperations::DeleteCurrent);
    onItem(Item::Rename, &FileOperations::RenameCurrent);
    onItem(Item::NewDirectory, &FileOperations::MakeDirectory);
    onItem(Item::PullAndOpen, &FileOperations::PullAndOpen);
    connect(pane.listMenu(), &QMenu::aboutToShow, this, [this, &pane] { PreparePopup(pane); });
}

int FileOperations::markedCount(DevicePane &pane)
{
    return int(pane.markedRows().size());
}

FileOperations::Step FileOperations::checkTarget(bool exists, bool targetIsFolder, bool sourceIsFolder,
                                                 const QString &target, ReplaceQuestion &replace)
{
    if (!exists)
        return Step::Write;
    // A folder merges into a folder; a file never takes the place of a folder or the other way round.
    if (targetIsFolder != sourceIsFolder)
        return Step::KindClash;
    switch (replace.decide(target)) {
    case ReplaceQuestion::Decision::Write:
        return Step::Write;
    case ReplaceQuestion::Decision::Skip:
        return Step::Skip;
    case ReplaceQuestion::Decision::Stop:
        break;
    }
    return Step::Stop;
}

void FileOperations::decideOnPc(QList<BatchRow> &rows, ReplaceQuestion &replace)
{
    for (BatchRow &row : rows) {
        const QFileInfo target(row.target);
        row.existed = target.exists() || target.isSymLink();
        row.step = checkTarget(row.existed, target.isDir(), row.isDir, row.target, replace);
        if (row.step == Step::Stop)
            return;
    }
}

void FileOperations::decideOnPhone(QList<BatchRow> &rows, const QString &destination,
                                   const QHash<QString, ItemKind> &onPhone, ReplaceQuestion &replace)
{
    for (BatchRow &row : rows) {
        const QString name = TADB::BaseName(row.target);
        const auto found = onPhone.constFind(name);
        row.existed = found != onPhone.cend();
        row.step =
            checkTarget(row.existed, row.existed && *found == ItemKind::Folder, row.isDir, destination + name, replace);
        if (row.step == Step::Stop)
            return;
    }
}

qint64 FileOperations::totalBytes(const QList<BatchRow> &rows)
{
    qint64 total = 0;
    for (const BatchRow &row : rows)
        total += row.size;
    return total;
}

void FileOperations::pushRows(QList<BatchRow> &rows, const QString &destination, bool counter)
{
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    m_op.remountFor(destination);
    QStringList names;
    for (const BatchRow &row : rows)
        names << TADB::BaseName(row.target);
    const QHash<QString, ItemKind> onPhone = m_transfers.phoneEntries(destination, names);
    ReplaceQuestion replace(m_log.questionParent(), rows.size() > 1);
    decideOnPhone(rows, destination, onPhone, replace);
    m_transfers.push(rows, destination, counter);
    m_op.end(destination, Location::Phone);
}

BatchRow FileOperations::pushRow(int k, const QString &local, const QString &header, const QString &destination)
{
    const QFileInfo info(local);
    BatchRow row;
    row.k = k;
    row.header = header;
    row.source = local;
    row.isDir = info.isDir();
    row.target = destination + info.fileName();
    row.grouped = info.isFile() && BatchRunner::nameable(info.fileName());
    row.size = info.isFile() ? info.size() : 0;
    row.sizeKnown = info.isFile();
    // Named in full: pushed to a folder that does not exist yet, the file would take the folder's name.
    if (row.isDir)
        row.target += u'/';
    return row;
}

void FileOperations::PushFilesFromPc(DevicePane &pane)
{
    const QStringList files =
        prompter().chooseOpenFiles(m_window, QStringLiteral("Open"), QStringLiteral("All Files (*)"), QString());
    if (files.isEmpty())
        return;
    TPushForm form(m_left.folder(), m_right.folder(),
                   pane.side() == DevicePane::Side::Left ? TPushForm::LeftPanel : TPushForm::RightPanel, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!m_op.allowed(destination))
        return;
    const QString sourceFolder = QFileInfo(files.first()).absolutePath() + u'/';
    m_op.begin({QStringLiteral("Files count: ") + QString::number(files.size()),
                QStringLiteral("Files source: ") + sourceFolder, QStringLiteral("Files destination: ") + destination});
    QList<BatchRow> rows;
    for (const QString &file : files) {
        const int k = int(rows.size()) + 1;
        rows << pushRow(k, file, QStringLiteral("Pushing file: ") + QFileInfo(file).fileName(), destination);
    }
    pushRows(rows, destination);
}

BatchRow FileOperations::phoneRow(int k, const ListItem &item, const QString &header, const QString &directory)
{
    BatchRow row;
    row.k = k;
    row.header = header;
    row.isDir = IsFolder(item);
    row.source = directory + EntryName(item);
    bool numeric = false;
    const qint64 size = item.SizeText.toLongLong(&numeric);
    row.sizeKnown = item.Kind == ItemKind::File && numeric;
    row.size = row.sizeKnown ? size : 0;
    return row;
}

QList<BatchRow> FileOperations::pullRows(const QList<ListItem> &items, const QString &directory, const QString &folder,
                                         const std::function<QString(const ListItem &)> &header)
{
    QList<BatchRow> rows;
    for (const ListItem &item : items) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, header(item), directory);
        row.target = pcPath(folder, EntryName(item));
        // Folders and links run as groups of their own: what adb makes of them is not one line per row.
        row.grouped = item.Kind == ItemKind::File && BatchRunner::nameable(EntryName(item));
        rows << row;
    }
    return rows;
}

void FileOperations::PullChecked(DevicePane &pane)
{
    const int n = markedCount(pane);
    if (!m_op.hasRows(n))
        return;
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items destination: ") + folder});
    pullBatch(markedItems(pane), pane.folder(), folder, pullLine, true);
    m_op.end();
}

QList<ListItem> FileOperations::markedItems(DevicePane &pane)
{
    QList<ListItem> items;
    for (int row : pane.markedRows())
        items << pane.model()->item(row);
    return items;
}

void FileOperations::pullBatch(const QList<ListItem> &items, const QString &directory, const QString &folder,
                               const std::function<QString(const ListItem &)> &header, bool counter)
{
    QList<BatchRow> rows = pullRows(items, directory, folder, header);
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    ReplaceQuestion replace(m_log.questionParent(), rows.size() > 1);
    // Every row's question is asked before the first command runs.
    decideOnPc(rows, replace);
    m_transfers.pull(rows, folder, counter);
}

void FileOperations::DeleteChecked(DevicePane &pane)
{
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    const int n = markedCount(pane);
    if (!m_op.hasRows(n))
        return;
    QStringList names;
    for (const ListItem &item : markedItems(pane))
        names << EscapeControls(EntryName(item));
    if (!prompter().question(m_window, DeleteQuestion(names, QStringLiteral(" from the phone"))))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n)});
    m_op.remountFor(directory);
    QList<BatchRow> rows;
    for (const ListItem &item : markedItems(pane)) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, deleteLine(item), directory);
        row.size = 0;
        row.grouped = true;
        rows << row;
    }
    m_op.setTotals(n, 0);
    m_transfers.remove(rows);
    m_op.end(directory, Location::Phone);
}

void FileOperations::CopyChecked(DevicePane &source)
{
    const bool fromRight = source.side() == DevicePane::Side::Right;
    if (!fromRight && m_hooks.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const int n = markedCount(source);
    if (!m_op.hasRows(n))
        return;
    const QString from = source.folder();
    const bool toPc = fromRight && !m_hooks.leftShowsPhone();
    const QString to = !fromRight ? m_right.folder() : toPc ? m_hooks.pcFolder() : m_left.folder();
    TCopyForm form(from, to, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!toPc && !m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items source: ") + from,
                QStringLiteral("Items destination: ") + destination});
    auto header = [](const ListItem &item) { return copyLine(IsFolder(item), EscapeControls(EntryName(item))); };
    if (toPc) {
        pullBatch(markedItems(source), from, destination, header, true);
        m_op.end(destination, Location::Pc);
        return;
    }
    copyBatch(markedItems(source), from, destination, header, true);
    m_op.end(destination, Location::Phone);
}

void FileOperations::copyBatch(const QList<ListItem> &items, const QString &from, const QString &destination,
                               const std::function<QString(const ListItem &)> &header, bool counter)
{
    m_op.remountFor(destination);
    QList<BatchRow> rows;
    QStringList names;
    for (const ListItem &item : items) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, header(item), from);
        const QString slash = row.isDir ? QStringLiteral("/") : QString();
        row.source += slash;
        row.target = destination + EntryName(item) + slash;
        row.grouped = true; // every row's question is asked before the copies start
        names << EntryName(item);
        rows << row;
    }
    const QHash<QString, ItemKind> onPhone = m_transfers.phoneEntries(destination, names);
    ReplaceQuestion replace(m_log.questionParent(), rows.size() > 1);
    decideOnPhone(rows, destination, onPhone, replace);
    m_transfers.refuseSameFiles(rows);
    for (BatchRow &row : rows) {
        // cp -r of a folder onto an existing one copies into it; into the parent it merges.
        if (row.isDir && row.existed)
            row.target = destination;
    }
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    m_transfers.copy(rows, destination, counter);
}

void FileOperations::PullCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.folder();
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Items count: 1"), QStringLiteral("Items destination: ") + folder});
    pullBatch({item}, directory, folder, pullLine, false);
    m_op.end();
}

void FileOperations::DeleteCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    if (!prompter().question(m_window,
                             DeleteQuestion({EscapeControls(EntryName(item))}, QStringLiteral(" from the phone"))))
        return;
    m_op.begin({QStringLiteral("Items count: 1")});
    m_op.remountFor(directory);
    QList<BatchRow> rows{phoneRow(1, item, deleteLine(item), directory)};
    rows.first().size = 0;
    rows.first().grouped = true;
    m_transfers.remove(rows, false);
    m_op.end(directory, Location::Phone);
}

void FileOperations::RenameCurrent(DevicePane &pane)
{
    const ListItem *current = currentRow(pane.list());
    if (!current)
        return;
    const ListItem item = *current;
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    const QString old = EntryName(item);
    TRenameDlg dialog(QStringLiteral("Rename"), old, m_window);
    if (prompter().exec(dialog) != QDialog::Accepted)
        return;
    // Blanks are part of a name: what was typed is the name.
    const QString newName = dialog.typedName();
    if (newName == old)
        return;
    if (!isPlainName(newName)) {
        prompter().information(m_window, QStringLiteral("A name must not be empty, \".\", \"..\" or hold a \"/\"."));
        return;
    }
    const QHash<QString, ItemKind> entries = m_transfers.phoneEntries(directory, {newName});
    if (const auto found = entries.constFind(newName); found != entries.cend()) {
        // mv would put the row inside an existing folder instead of taking its name.
        if (*found == ItemKind::Folder || IsFolder(item)) {
            prompter().information(m_window, QStringLiteral("\"") + EscapeControls(newName) +
                                                 QStringLiteral("\" already exists in ") + directory);
            return;
        }
        if (prompter().askReplace(m_window, directory + newName, false) != ReplaceAnswer::Replace)
            return;
    }
    if (IsSystemPath(directory))
        m_adb.Remount();
    if (const CommandResult moved = m_adb.MoveFile(directory + old, directory + newName, QString()); !moved.ok())
        prompter().information(m_window, QStringLiteral("Rename failed: ") + moved.errorText);
    if (pane.FillDeviceList(directory)) {
        const QString suffix = IsFolder(item) ? QStringLiteral("/") : IsLink(item) ? QStringLiteral("@") : QString();
        selectAfterRelist(pane, newName + suffix);
    }
}

void FileOperations::MakeDirectory(DevicePane &pane)
{
    const QString directory = pane.folder();
    TRenameDlg dialog(QStringLiteral("New directory"), QStringLiteral("NewDir"), m_window);
    if (prompter().exec(dialog) != QDialog::Accepted || dialog.name().isEmpty())
        return;
    const QString name = dialog.name();
    if (!isPlainName(name)) {
        prompter().information(m_window, QStringLiteral("A name must not be empty, \".\", \"..\" or hold a \"/\"."));
        return;
    }
    if (const CommandResult made = m_adb.MakeDir(directory + name, QString()); !made.ok())
        prompter().information(m_window, QStringLiteral("New directory failed: ") + made.errorText);
    if (pane.FillDeviceList(directory))
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

void FileOperations::phoneIsBack()
{
    if (m_transfers.leftovers().isEmpty())
        return;
    m_op.begin({QStringLiteral("The phone is back")});
    m_transfers.cleanUpLeftovers();
    m_op.end();
}

void FileOperations::PreparePopup(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    const QString name = item && item->Kind == ItemKind::File ? ItemName(*item) : QString();
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool show =
        !programSettings().SQLiteDatabaseBrowser.isEmpty() && dot >= 0 && name.mid(dot) == QStringLiteral(".db");
    for (auto item : {DevicePane::MenuItem::PullAndOpen, DevicePane::MenuItem::PullAndOpenSeparator})
        pane.menuAction(item)->setVisible(show);
}

void FileOperations::PullAndOpen(DevicePane &pane)
{
    const ListItem *item = currentRow(pane.list());
    if (!item)
        return;
    const QString name = EntryName(*item);
    const QString directory = pane.folder();
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    const QString local = pcPath(folder, name);
    if (QFileInfo::exists(local) && prompter().askReplace(m_window, local, false) != ReplaceAnswer::Replace)
        return;
    // Written beside it first: a pull that fails leaves the file there as it was.
    const PcStage stage(folder);
    const QString staged = stage.path() + name;
    const QString output = stage.isValid() ? m_adb.Pull(directory + name, staged) : stage.errorString();
    const QStringList problems =
        QFileInfo::exists(staged) ? PcStage::commit(staged, local) : QStringList{trimOutput(output)};
    if (!problems.isEmpty()) {
        prompter().information(m_window, QStringLiteral("Pull failed: ") + problems.join(u'\n'));
        return;
    }
    startDatabaseBrowser(m_window, programSettings().SQLiteDatabaseBrowser, local);
}

void FileOperations::PushDroppedFiles(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    m_window->activateWindow();
    m_window->raise();
    TPushForm form(m_left.folder(), m_right.folder(), TPushForm::SdCard, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(paths.size()),
                QStringLiteral("Items source: ") + QFileInfo(paths.first()).absolutePath() + u'/',
                QStringLiteral("Items destination: ") + destination});
    QList<BatchRow> rows;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        // Folders are told from files by what they are, not by a dot in the name.
        const QString verb = info.isDir() ? QStringLiteral("Pushing directory: ") : QStringLiteral("Pushing file: ");
        rows << pushRow(int(rows.size()) + 1, path, verb + info.fileName(), destination);
    }
    pushRows(rows, destination);
}

void FileOperations::CopyPcToPhone(FilePaneBase &pcPane, const QString &pcFolder)
{
    if (m_hooks.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const QList<int> checked = pcPane.markedRows();
    const int n = int(checked.size());
    if (!m_op.hasRows(n))
        return;
    TCopyForm form(pcFolder, m_right.folder(), m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items source: ") + pcFolder,
                QStringLiteral("Items destination: ") + destination});
    QList<BatchRow> rows;
    for (int index : checked) {
        const ListItem &item = pcPane.model()->item(index);
        const QString name = EntryName(item);
        BatchRow row =
            pushRow(int(rows.size()) + 1, pcPath(pcFolder, name), copyLine(IsFolder(item), name), destination);
        // A folder goes in as a whole; its own name, without a slash, as it always went.
        if (row.isDir)
            row.target.chop(1);
        rows << row;
    }
    pushRows(rows, destination);
}

bool FileOperations::AcceptDrop(const QListView *target, const QListView *source) const
{
    return target && source && target != source && target != m_lists.apps;
}

void FileOperations::DropRow(QListView *target, QListView *source)
{
    if (!AcceptDrop(target, source))
        return;
    const ListItem *current = currentRow(source);
    if (!current)
        return;
    const ListItem item = *current;
    const QListView *right = m_right.list();
    const QListView *left = m_left.list();
    const bool phoneToPhone = (source == right && target == left) || (source == left && target == right);
    const bool phoneToPc = source == right && target == m_lists.pc;
    const bool pcToPhone = source == m_lists.pc && target == right;
    if (!phoneToPhone && !phoneToPc && !pcToPhone)
        return; // application rows arrive with the applications manager

    DevicePane &fromPane = source == right ? m_right : m_left;
    const QString sourceDir = pcToPhone ? m_hooks.pcFolder() : fromPane.folder();
    const QString targetDir = phoneToPc ? m_hooks.pcFolder() : (target == right ? m_right : m_left).folder();
    TCopyForm form(sourceDir, targetDir, m_window);
    if (prompter().exec(form) != QDialog::Accepted)
        return;
    const QString destination = form.destination();
    if (!phoneToPc && !m_op.allowed(destination))
        return;
    m_op.begin({QStringLiteral("Items count: 1"), QStringLiteral("Items source: ") + sourceDir,
                QStringLiteral("Items destination: ") + destination});
    const bool isDir = IsFolder(item);
    const QString name = EntryName(item);
    const QString header = copyLine(isDir, EscapeControls(name));
    // A file on its way between the PC and the phone shows its bytes.
    if (phoneToPc) {
        pullBatch(
            {item}, sourceDir, destination, [&header](const ListItem &) { return header; }, false);
        m_op.end(destination, Location::Pc);
        return;
    }
    if (pcToPhone) {
        QList<BatchRow> rows{pushRow(1, pcPath(sourceDir, name), header, destination)};
        if (rows.first().isDir)
            rows.first().target.chop(1);
        pushRows(rows, destination, false);
        return;
    }
    copyBatch(
        {item}, sourceDir, destination, [&header](const ListItem &) { return header; }, false);
    m_op.end(destination, Location::Phone);
}
