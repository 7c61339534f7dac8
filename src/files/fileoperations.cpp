#include "files/fileoperations.h"

#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "files/filedialogs.h"
#include "lists/filelistmodel.h"
#include "files/listingparser.h"
#include "files/setaside.h"
#include "base/appstate.h"
#include "base/copyform.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "base/settings.h"

#include <QAction>
#include <QDir>
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

void removeLocal(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        QDir(path).removeRecursively();
    else
        QFile::remove(path);
}

} // namespace

// Asks once per existing target; "Replace all" and "Skip all" answer for the rest of the batch.
class FileOperations::ReplaceQuestion {
public:
    ReplaceQuestion(QWidget *parent, bool batch) : m_parent(parent), m_batch(batch) {}

    Step decide(const QString &target)
    {
        if (m_all)
            return *m_all ? Step::Write : Step::Skip;
        switch (prompter().askReplace(m_parent, target, m_batch)) {
        case ReplaceAnswer::Replace:
            return Step::Write;
        case ReplaceAnswer::Skip:
            return Step::Skip;
        case ReplaceAnswer::ReplaceAll:
            m_all = true;
            return Step::Write;
        case ReplaceAnswer::SkipAll:
            m_all = false;
            return Step::Skip;
        case ReplaceAnswer::Cancel:
            break;
        }
        return Step::Stop;
    }

private:
    QWidget *m_parent;
    bool m_batch;
    std::optional<bool> m_all;
};

FileOperations::FileOperations(QWidget *window, TADB &adb, OperationLog &log, DevicePane &right, DevicePane &left,
                               OtherLists lists, Hooks hooks)
    : QObject(window), m_window(window), m_adb(adb), m_log(log), m_right(right), m_left(left), m_lists(lists),
      m_hooks(std::move(hooks)), m_op(window, adb, log, m_hooks.refreshLocation), m_limits(adb), m_phoneFileSize(adb)
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

int FileOperations::checkedCount(DevicePane &pane)
{
    // Counted afresh: marks flipped with Ctrl or the middle button are not in the caption yet.
    return int(pane.model()->checkedRows().size());
}

FileOperations::Step FileOperations::checkTarget(bool exists, bool targetIsFolder, bool sourceIsFolder,
                                                 const QString &target, ReplaceQuestion &replace)
{
    if (!exists)
        return Step::Write;
    // A folder merges into a folder; a file never takes the place of a folder or the other way round.
    if (targetIsFolder != sourceIsFolder)
        return Step::KindClash;
    return replace.decide(target);
}

QHash<QString, ItemKind> FileOperations::phoneEntries(const QString &folder, bool *listed)
{
    QHash<QString, ItemKind> entries;
    const DeviceListing listing = ListDeviceFolder(m_adb, folder, appState().ShortListing, DeviceSort::Name);
    if (listed)
        *listed = listing.ok;
    for (const ListItem &row : listing.rows)
        entries.insert(EntryName(row), row.Kind);
    return entries;
}

QString FileOperations::copyOnPhone(const QString &source, const QString &target, bool directory)
{
    // Without cp the phone can only copy single files (with cat); a folder would become an empty file.
    if (directory && !m_adb.HasCp)
        return QStringLiteral("Copying a directory needs cp on the phone (BusyBox on old phones). Failed");
    const QString output = m_adb.CopyFile(source, target, directory ? QStringLiteral("-r") : QString());
    return output.isEmpty() ? QStringLiteral("Coping complete") : output;
}

bool FileOperations::removeRow(const QString &path, bool isDir)
{
    const QString output = m_adb.Remove(path, isDir ? QStringLiteral("-r") : QString());
    if (m_op.isCancelled())
        return m_op.finishRow(output);
    // rm prints nothing when it worked; anything else is its complaint.
    if (output.isEmpty()) {
        m_op.line(QStringLiteral("Complete"));
    } else {
        m_op.line(output);
        m_op.line(QStringLiteral("Failed"));
    }
    m_op.gap();
    return true;
}

bool FileOperations::pullItem(const QString &source, bool isDir, const QString &folder, ReplaceQuestion &replace)
{
    const QString local = pcPath(folder, TADB::BaseName(source));
    const QFileInfo target(local);
    const bool existed = target.exists() || target.isSymLink();
    const Step step = checkTarget(existed, target.isDir(), isDir, local, replace);
    if (step != Step::Write)
        return logUnwritten(m_op, step, local);
    return pullDecided(source, isDir, folder, existed);
}

bool FileOperations::pullDecided(const QString &source, bool isDir, const QString &folder, bool existed)
{
    const QString local = pcPath(folder, TADB::BaseName(source));
    // adb puts a folder pulled onto an existing one inside it; pulled into the parent it merges.
    const QString output = m_adb.Pull(source, existed && isDir ? folder : local);
    return m_op.finishRow(output, [&] {
        if (!isDir || !existed)
            removeLocal(local);
    });
}

GroupCommand FileOperations::transferCommand(const QString &folder, bool push)
{
    GroupCommand command;
    auto line = push ? pushManyCommandLine : pullManyCommandLine;
    command.limit = m_limits.commandLine();
    command.baseLength = line({}, folder).text.size();
    command.rowLength = [line](const BatchRow &row) { return line({row.source}, {}).text.size() - 8; };
    command.run = [this, folder, push](const QList<BatchRow *> &members, const Streaming &streaming) {
        QStringList sources;
        for (const BatchRow *row : members)
            sources << row->source;
        return push ? m_adb.PushMany(sources, folder, streaming) : m_adb.PullMany(sources, folder, streaming);
    };
    command.readLine = BatchRunner::readNamedLine;
    command.finish = BatchRunner::settleNamed;
    command.moved = BatchRunner::namedMoved;
    command.failureEndsGroup = true;
    return command;
}

GroupCommand FileOperations::pullCommand(const QString &folder, ReplaceQuestion &replace)
{
    GroupCommand command = transferCommand(folder, false);
    command.alone = [this, folder, &replace](BatchRow &row) {
        // A grouped row's question was asked before its group.
        return row.grouped ? pullDecided(row.source, false, folder, row.existed)
                           : pullItem(row.source, row.isDir, folder, replace);
    };
    command.partialBytes = [](const BatchRow &row) {
        const QFileInfo file(row.target);
        return file.exists() ? file.size() : qint64(-1);
    };
    command.undoPartial = [](const BatchRow &row) {
        // A file that was not there before is only a part.
        if (row.grouped && !row.existed)
            removeLocal(row.target);
    };
    return command;
}

GroupCommand FileOperations::pushCommand(const QString &destination, const QHash<QString, ItemKind> &onPhone,
                                         ReplaceQuestion &replace)
{
    GroupCommand command = transferCommand(destination, true);
    command.alone = [this, destination, &onPhone, &replace](BatchRow &row) {
        if (!row.grouped)
            return pushItem(row.source, row.isDir, row.target, destination, onPhone, replace);
        const QString output = m_adb.Push(row.source, row.target);
        return m_op.finishRow(output, [&] { removeSentPart(row); });
    };
    command.partialBytes = [this](const BatchRow &row) { return m_phoneFileSize(row.target); };
    command.undoPartial = [this](const BatchRow &row) { removeSentPart(row); };
    return command;
}

void FileOperations::removeSentPart(const BatchRow &row)
{
    // The phone's adbd removes the part of a file whose push broke off, maybe after this; a file moved aside
    // goes back once that part is gone.
    if (!row.setAside)
        removePushed(row);
}

void FileOperations::removePushed(const BatchRow &row)
{
    // The part of the file that reached the phone is of no use.
    if (!row.isDir && !row.existed)
        m_adb.RemoveAfterCancel(row.target);
}

GroupCommand FileOperations::removeCommand()
{
    GroupCommand command;
    command.limit = m_limits.shell();
    command.baseLength = 40;
    command.rowLength = [](const BatchRow &row) { return 3 * quoteDevicePath(row.source).size() + 60; };
    // One rm for the files and one rm -r for the folders, as a single rm costs about a process start per
    // row on the phone. When both succeed every row is gone (one marker for row 0 says so); else a test per
    // row (a shell builtin) tells which are: an old toolbox rm stops at its first failure.
    command.run = [this](const QList<BatchRow *> &members, const Streaming &streaming) {
        QString files;
        QString folders;
        QString checks;
        for (const BatchRow *row : members) {
            const QString quoted = quoteDevicePath(row->source);
            (row->isDir ? folders : files) += u' ' + quoted;
            checks += QStringLiteral("[ -e ") + quoted + QStringLiteral(" ] || [ -L ") + quoted +
                      QStringLiteral(" ]; ") + rowMarkerCommand(row->k) + QStringLiteral("; ");
        }
        QString text = QStringLiteral("exec 2>&1; failed=0; ");
        if (!files.isEmpty())
            text += QStringLiteral("rm") + files + QStringLiteral(" || failed=1; ");
        if (!folders.isEmpty())
            text += QStringLiteral("rm -r") + folders + QStringLiteral(" || failed=1; ");
        text += QStringLiteral("if [ $failed = 0 ]; then false; ") + rowMarkerCommand(0) + QStringLiteral("; else ") +
                checks + QStringLiteral("fi");
        return m_adb.ShellStreaming(text, streaming);
    };
    command.readLine = [](const QList<BatchRow *> &members, const QString &line) {
        const std::optional<RowMarker> marker = readRowMarker(line);
        if (!marker) {
            // rm's complaints come first, each naming its path.
            QStringList paths;
            for (const BatchRow *row : members)
                paths << row->source;
            if (const qsizetype named = namedPath(line, paths); named >= 0)
                members.at(named)->lines << line;
            return;
        }
        for (BatchRow *row : members) {
            if (row->k != marker->row && marker->row != 0)
                continue;
            row->reported = true;
            const bool gone = marker->status != 0;
            if (!row->lines.isEmpty())
                row->result = trimOutput(row->lines.join(u'\n')) + QStringLiteral("\nFailed");
            else if (gone)
                row->result = QStringLiteral("Complete");
            // Still there without a word why: the row runs again alone.
        }
    };
    command.finish = [](const QList<BatchRow *> &) {};
    command.alone = [this](BatchRow &row) { return removeRow(row.source, row.isDir); };
    command.undoPartial = [](const BatchRow &) {};
    return command;
}

GroupCommand FileOperations::copyCommand()
{
    GroupCommand command;
    command.limit = m_limits.shell();
    command.baseLength = 20;
    command.rowLength = [this](const BatchRow &row) {
        return copyCommandText(row.source, row.target, QStringLiteral("-r"), m_adb.HasCp).size() + 40;
    };
    // Each row's copy followed by its marker; the complaints go into the same pipe, before the marker.
    command.run = [this](const QList<BatchRow *> &members, const Streaming &streaming) {
        QString text = QStringLiteral("exec 2>&1; ");
        for (const BatchRow *row : members) {
            text +=
                copyCommandText(row->source, row->target, row->isDir ? QStringLiteral("-r") : QString(), m_adb.HasCp) +
                QStringLiteral("; ") + rowMarkerCommand(row->k) + QStringLiteral("; ");
        }
        return m_adb.ShellStreaming(text, streaming);
    };
    command.readLine = [](const QList<BatchRow *> &members, const QString &line) {
        const std::optional<RowMarker> marker = readRowMarker(line);
        BatchRow *onItsWay = nullptr;
        for (BatchRow *row : members) {
            if (!row->reported) {
                onItsWay = row;
                break;
            }
        }
        if (!onItsWay)
            return;
        if (!marker) {
            onItsWay->lines << line;
            return;
        }
        if (onItsWay->k != marker->row)
            return; // a marker out of turn: the rows run again alone
        onItsWay->lines << marker->before;
        onItsWay->reported = true;
        const QString output = trimOutput(onItsWay->lines.join(u'\n'));
        onItsWay->result = output.isEmpty() ? QStringLiteral("Coping complete") : output;
    };
    command.finish = [](const QList<BatchRow *> &) {};
    command.alone = [this](BatchRow &row) { return m_op.finishRow(copyOnPhone(row.source, row.target, row.isDir)); };
    command.moved = [](const QString &result) { return result == QLatin1String("Coping complete"); };
    command.partialBytes = [this](const BatchRow &row) { return row.isDir ? qint64(-1) : m_phoneFileSize(row.target); };
    command.undoPartial = [this](const BatchRow &row) { removePushed(row); };
    return command;
}

bool FileOperations::copyItem(const QString &from, const ListItem &item, const QString &destination,
                              const QHash<QString, ItemKind> &onPhone, ReplaceQuestion &replace)
{
    const bool isDir = IsFolder(item);
    const QString name = EntryName(item);
    const auto found = onPhone.constFind(name);
    const bool exists = found != onPhone.cend();
    const Step step = checkTarget(exists, exists && *found == ItemKind::Folder, isDir, destination + name, replace);
    if (step != Step::Write)
        return logUnwritten(m_op, step, destination + name);
    // cp -r of a folder onto an existing one copies into it; into the parent it merges.
    const QString slash = isDir ? QStringLiteral("/") : QString();
    const QString target = isDir && exists ? destination : destination + name + slash;
    return m_op.finishRow(copyOnPhone(from + name + slash, target, isDir));
}

bool FileOperations::pushItem(const QString &local, bool isFolder, const QString &target, const QString &destination,
                              const QHash<QString, ItemKind> &onPhone, ReplaceQuestion &replace)
{
    const QString name = QFileInfo(local).fileName();
    const auto found = onPhone.constFind(name);
    const bool exists = found != onPhone.cend();
    const Step step = checkTarget(exists, exists && *found == ItemKind::Folder, isFolder, destination + name, replace);
    if (step != Step::Write)
        return logUnwritten(m_op, step, destination + name);
    // A folder pushed onto an existing one would land inside it; pushed into the parent it merges.
    const QString output = m_adb.Push(local, exists && isFolder ? destination : target);
    return m_op.finishRow(output, [&] {
        // The part of the file that reached the phone is of no use.
        if (!isFolder && !exists)
            m_adb.RemoveAfterCancel(destination + name);
    });
}

void FileOperations::decideOnPc(QList<BatchRow> &rows, ReplaceQuestion &replace)
{
    for (BatchRow &row : rows) {
        if (!row.grouped)
            continue;
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
        if (!row.grouped)
            continue;
        const QString name = TADB::BaseName(row.target.endsWith(u'/') ? row.target.chopped(1) : row.target);
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
    bool listed = false;
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination, &listed);
    // adb pushes several files only into a folder that is there; one file alone makes its folders.
    if (!listed) {
        for (BatchRow &row : rows)
            row.grouped = false;
    }
    ReplaceQuestion replace(m_log.questionParent(), rows.size() > 1);
    decideOnPhone(rows, destination, onPhone, replace);
    runAsidePhone(rows, onPhone, pushCommand(destination, onPhone, replace), counter, true);
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
    row.size = item.Kind == ItemKind::File && numeric ? size : 0;
    return row;
}

QList<BatchRow> FileOperations::pullRows(const QList<ListItem> &items, const QString &directory, const QString &folder,
                                         const std::function<QString(const ListItem &)> &header)
{
    QList<BatchRow> rows;
    for (const ListItem &item : items) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, header(item), directory);
        row.target = pcPath(folder, EntryName(item));
        // Folders and links run alone: what adb makes of them is not one line per row.
        row.grouped = item.Kind == ItemKind::File && BatchRunner::nameable(EntryName(item));
        rows << row;
    }
    return rows;
}

void FileOperations::PullChecked(DevicePane &pane)
{
    const int n = checkedCount(pane);
    if (!m_op.hasRows(n))
        return;
    const QString folder = prompter().chooseDirectory(m_window, QStringLiteral("Select directory:"), QString());
    if (folder.isEmpty())
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n), QStringLiteral("Items destination: ") + folder});
    pullBatch(checkedItems(pane), pane.folder(), folder, pullLine, true);
    m_op.end();
}

QList<ListItem> FileOperations::checkedItems(DevicePane &pane)
{
    QList<ListItem> items;
    for (int row : pane.model()->checkedRows())
        items << pane.model()->item(row);
    return items;
}

void FileOperations::pullBatch(const QList<ListItem> &items, const QString &directory, const QString &folder,
                               const std::function<QString(const ListItem &)> &header, bool counter)
{
    QList<BatchRow> rows = pullRows(items, directory, folder, header);
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    ReplaceQuestion replace(m_log.questionParent(), rows.size() > 1);
    // Neighbouring files go in one command; the questions about them are asked before it runs.
    decideOnPc(rows, replace);
    SetAside::onPc(rows);
    BatchRunner(m_op).run(rows, int(rows.size()), pullCommand(folder, replace), counter);
    logKept(SetAside::putBackOnPc(rows));
}

void FileOperations::logKept(const QStringList &asides)
{
    // Nothing is lost: the user learns where the file to be replaced now is.
    for (const QString &aside : asides)
        m_op.line(QStringLiteral("The old file stays as ") + EscapeControls(aside));
    if (!asides.isEmpty())
        m_op.gap();
}

void FileOperations::runAsidePhone(QList<BatchRow> &rows, const QHash<QString, ItemKind> &onPhone,
                                   const GroupCommand &command, bool counter, bool pushed)
{
    const QStringList names = onPhone.keys();
    SetAside::onPhone(m_adb, m_limits.shell(), rows, QSet<QString>(names.cbegin(), names.cend()));
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
    logKept(SetAside::putBackOnPhone(m_adb, m_limits.shell(), rows, pushed));
}

void FileOperations::DeleteChecked(DevicePane &pane)
{
    const QString directory = pane.folder();
    if (!m_op.allowed(directory))
        return;
    const int n = checkedCount(pane);
    if (!m_op.hasRows(n))
        return;
    if (!prompter().question(m_window, QStringLiteral("Do you want delete selected files?")))
        return;
    m_op.begin({QStringLiteral("Items count: ") + QString::number(n)});
    m_op.remountFor(directory);
    QList<BatchRow> rows;
    for (const ListItem &item : checkedItems(pane)) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, deleteLine(item), directory);
        row.size = 0;
        row.grouped = true;
        rows << row;
    }
    m_op.setTotals(n, 0);
    BatchRunner(m_op).run(rows, n, removeCommand());
    m_op.end(directory, Location::Phone);
}

void FileOperations::CopyChecked(DevicePane &source)
{
    const bool fromRight = source.side() == DevicePane::Side::Right;
    if (!fromRight && m_hooks.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const int n = checkedCount(source);
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
        pullBatch(checkedItems(source), from, destination, header, true);
        m_op.end(destination, Location::Pc);
        return;
    }
    m_op.remountFor(destination);
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination);
    ReplaceQuestion replace(m_log.questionParent(), n > 1);
    QList<BatchRow> rows;
    for (const ListItem &item : checkedItems(source)) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, header(item), from);
        const QString slash = row.isDir ? QStringLiteral("/") : QString();
        row.source += slash;
        row.target = destination + EntryName(item) + slash;
        row.grouped = true; // every row's question is asked before the copies start
        rows << row;
    }
    decideOnPhone(rows, destination, onPhone, replace);
    for (BatchRow &row : rows) {
        // cp -r of a folder onto an existing one copies into it; into the parent it merges.
        if (row.isDir && row.existed)
            row.target = destination;
        // Without cp a folder can not be copied; the row says so alone.
        row.grouped = !row.isDir || m_adb.HasCp;
    }
    m_op.setTotals(n, totalBytes(rows));
    runAsidePhone(rows, onPhone, copyCommand(), true, false);
    m_op.end(destination, Location::Phone);
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
    if (!prompter().question(m_window, QStringLiteral("Do you want delete selected item?")))
        return;
    m_op.begin({QStringLiteral("Items count: 1")});
    m_op.remountFor(directory);
    if (m_op.row(deleteLine(item)))
        removeRow(directory + EntryName(item), IsFolder(item));
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
    const QHash<QString, ItemKind> entries = phoneEntries(directory);
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
    if (!m_adb.MoveFile(directory + old, directory + newName, QString()))
        prompter().information(m_window, QStringLiteral("Rename failed: ") + m_adb.LastOutput);
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
    if (!m_adb.MakeDir(directory + name, QString()))
        prompter().information(m_window, QStringLiteral("New directory failed: ") + m_adb.LastOutput);
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

void FileOperations::CopyPcToPhone(FileListModel &pcRows, const QString &pcFolder)
{
    if (m_hooks.appsPageShown()) {
        prompter().information(m_window, kNoAppsTarget);
        return;
    }
    const QList<int> checked = pcRows.checkedRows();
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
        const ListItem &item = pcRows.item(index);
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
    m_op.remountFor(destination);
    // No check before the one row: a Cancel during the remount shows in the row's result.
    m_op.line(header);
    ReplaceQuestion replace(m_log.questionParent(), false);
    copyItem(sourceDir, item, destination, phoneEntries(destination), replace);
    m_op.end(destination, Location::Phone);
}
