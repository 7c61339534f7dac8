#include "files/fileoperations.h"

#include "bridge/adbutils.h"
#include "files/devicepane.h"
#include "files/filedialogs.h"
#include "lists/filelistmodel.h"
#include "files/listingparser.h"
#include "base/appstate.h"
#include "base/copyform.h"
#include "base/operationlog.h"
#include "base/prompter.h"
#include "base/settings.h"
#include "platform/platform.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QListView>
#include <QMenu>
#include <QProcess>
#include <QPushButton>

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

QString counted(int k, int n, const QString &text)
{
    return u'[' + QString::number(k) + u'/' + QString::number(n) + QStringLiteral("] ") + text;
}

// Past this a file's own transfer outweighs starting adb, and it runs alone so that its row shows while
// it is on its way (adb writes its report lines only at the end when they go to a pipe).
constexpr qint64 kGroupedFileSize = 1024 * 1024;

// adb reports a pulled file on one line that starts with its path; a path with a line break in it can not
// be told apart there.
bool groupable(const ListItem &item)
{
    if (item.Kind != ItemKind::File)
        return false;
    bool numeric = false;
    const qint64 size = item.SizeText.toLongLong(&numeric);
    if (numeric && size > kGroupedFileSize)
        return false;
    const QString name = EntryName(item);
    return std::none_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 32 || c.unicode() == 127; });
}

// Without a limit of its own the system still refuses an argument list of a few hundred kilobytes.
constexpr qsizetype kUnboundedCommandLine = 100000;

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
      m_hooks(std::move(hooks)), m_op(window, adb, log, m_hooks.refreshLocation)
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

bool FileOperations::logUnwritten(Step step, const QString &target)
{
    switch (step) {
    case Step::Write:
        return true;
    case Step::Skip:
        m_op.line(QStringLiteral("Skipped: ") + EscapeControls(target) + QStringLiteral(" exists"));
        m_op.gap();
        return true;
    case Step::KindClash:
        m_op.line(EscapeControls(target) + QStringLiteral(" exists and is not of the same kind. Failed"));
        m_op.gap();
        return true;
    case Step::Stop:
        break;
    }
    return m_op.cancelled();
}

QHash<QString, ItemKind> FileOperations::phoneEntries(const QString &folder)
{
    QHash<QString, ItemKind> entries;
    const DeviceListing listing = ListDeviceFolder(m_adb, folder, appState().ShortListing, DeviceSort::Name);
    for (const ListItem &row : listing.rows)
        entries.insert(EntryName(row), row.Kind);
    return entries;
}

QString FileOperations::copyOnPhone(const QString &source, const QString &target, bool directory)
{
    // Without cp the phone can only copy single files (with cat); a folder would become an empty file.
    if (directory && !m_adb.HasBusybox)
        return QStringLiteral("Copying a directory needs BusyBox on the phone. Failed");
    const QString output = m_adb.CopyFile(source, target, directory ? QStringLiteral("-r") : QString());
    return output.isEmpty() ? QStringLiteral("Coping complete") : output;
}

bool FileOperations::removeRow(const QString &directory, const ListItem &item)
{
    const QString output = m_adb.Remove(directory + EntryName(item), IsFolder(item) ? QStringLiteral("-r") : QString());
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
        return logUnwritten(step, local);
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

qsizetype FileOperations::commandLineLimit() const
{
    if (m_commandLineLimit > 0)
        return m_commandLineLimit;
    const qsizetype platformLimit = platform::maxCommandLineLength();
    return platformLimit > 0 ? platformLimit : kUnboundedCommandLine;
}

bool FileOperations::pullGroup(QList<GroupRow> &rows, int n, const QString &directory, const QString &folder)
{
    auto local = [&](const GroupRow &row) { return pcPath(folder, EntryName(row.item)); };
    auto header = [&](GroupRow &row) {
        if (!row.shown)
            m_op.line(counted(row.k, n, pullLine(row.item)));
        row.shown = true;
    };
    // The log reads as if the rows ran one by one: the settled rows in order, then the first line of
    // the row adb works on.
    qsizetype next = 0;
    auto logSettled = [&] {
        for (; next < rows.size(); ++next) {
            GroupRow &row = rows[next];
            if (row.step == Step::Stop)
                return;
            if (row.step == Step::Write && row.lines.isEmpty()) {
                header(row);
                return;
            }
            header(row);
            if (row.step != Step::Write) {
                logUnwritten(row.step, local(row));
                continue;
            }
            m_op.line(trimOutput(row.lines.join(u'\n')));
            m_op.gap();
        }
    };

    const qsizetype limit = commandLineLimit();
    QStringList sources;
    QList<GroupRow *> members;
    QString pending;
    auto take = [&](const QString &text) {
        const QList<QStringList> lines = splitPullOutput(text, sources);
        for (qsizetype i = 0; i < members.size(); ++i)
            members.at(i)->lines += lines.at(i);
    };
    auto onOutput = [&](const QString &text) {
        pending += text;
        const qsizetype end = pending.lastIndexOf(u'\n');
        if (end < 0)
            return;
        take(pending.left(end + 1));
        pending.remove(0, end + 1);
        logSettled();
    };
    auto run = [&] {
        if (sources.isEmpty() || m_op.isCancelled())
            return;
        pending.clear();
        bool streamed = false;
        const QString output = m_adb.PullMany(sources, folder, [&](const QString &text) {
            streamed = true;
            onOutput(text);
        });
        take(streamed ? pending : output);
        sources.clear();
        members.clear();
    };
    for (GroupRow &row : rows) {
        if (row.step != Step::Write)
            continue;
        const QString source = directory + EntryName(row.item);
        if (!sources.isEmpty() && pullManyCommandLine(sources + QStringList{source}, folder).text.size() > limit)
            run();
        sources << source;
        members << &row;
    }
    logSettled();
    run();
    logSettled();

    for (; next < rows.size(); ++next) {
        GroupRow &row = rows[next];
        if (!row.lines.isEmpty()) {
            header(row);
            m_op.line(trimOutput(row.lines.join(u'\n')));
            m_op.gap();
            continue;
        }
        if (row.step != Step::Write) {
            header(row);
            if (!logUnwritten(row.step, local(row)))
                return false;
            continue;
        }
        if (m_op.isCancelled()) {
            // The row the group stopped in; a file that was not there before is only a part.
            header(row);
            if (!row.existed)
                removeLocal(local(row));
            return m_op.cancelled();
        }
        // No line of its own: an adb that reports otherwise, or a group refused as a whole.
        header(row);
        if (!pullDecided(directory + EntryName(row.item), false, folder, row.existed))
            return false;
    }
    return true;
}

qsizetype FileOperations::shellLimit()
{
    // An adbd without shell_v2 takes a command of at most 4 KiB.
    if (m_shellLimit == 0)
        m_shellLimit = m_adb.Features().contains(QStringLiteral("shell_v2")) ? 60000 : 4000;
    return std::min(m_shellLimit, commandLineLimit());
}

bool FileOperations::removeGroup(const QList<int> &rows, const FileListModel &model, const QString &directory)
{
    const int n = int(rows.size());
    const qsizetype limit = shellLimit();
    auto path = [&](int k) { return directory + EntryName(model.item(rows.at(k))); };
    QList<std::optional<RowResult>> results(n);
    QList<QStringList> complaints(n);
    // One rm for the files and one rm -r for the folders, as a single rm costs about a process start per
    // row on the phone; then a test per row (a shell builtin) tells which rows are gone.
    int first = 0;
    while (first < n && !m_op.isCancelled()) {
        QString files;
        QString folders;
        QString checks;
        QStringList paths;
        int end = first;
        for (; end < n; ++end) {
            const QString quoted = quoteDevicePath(path(end));
            if (end > first && files.size() + folders.size() + checks.size() + 3 * quoted.size() + 60 > limit)
                break;
            (IsFolder(model.item(rows.at(end))) ? folders : files) += u' ' + quoted;
            checks += QStringLiteral("[ -e ") + quoted + QStringLiteral(" ] || [ -L ") + quoted +
                      QStringLiteral(" ]; ") + rowMarkerCommand(end) + QStringLiteral("; ");
            paths << path(end);
        }
        QString text;
        if (!files.isEmpty())
            text += QStringLiteral("rm") + files + QStringLiteral(" 2>&1; ");
        if (!folders.isEmpty())
            text += QStringLiteral("rm -r") + folders + QStringLiteral(" 2>&1; ");
        const QString output = m_adb.Shell(text + checks);
        const QList<std::optional<RowResult>> found = splitRowOutput(output, n);
        const QList<QStringList> named = splitPullOutput(output, paths);
        for (int k = first; k < end; ++k) {
            results[k] = found.at(k);
            complaints[k] = named.at(k - first);
        }
        first = end;
    }
    for (int k = 0; k < n; ++k) {
        const ListItem &item = model.item(rows.at(k));
        const bool gone = results.at(k) && results.at(k)->status != 0;
        if (!results.at(k) || (!gone && complaints.at(k).isEmpty())) {
            if (m_op.isCancelled()) {
                m_op.line(counted(k + 1, n, deleteLine(item)));
                return m_op.cancelled();
            }
            // No marker, or still there without a word why: the row runs again alone.
            if (!m_op.row(k + 1, n, deleteLine(item)) || !removeRow(directory, item))
                return false;
            continue;
        }
        m_op.line(counted(k + 1, n, deleteLine(item)));
        // rm prints nothing when it worked; anything else is its complaint.
        if (complaints.at(k).isEmpty()) {
            m_op.line(QStringLiteral("Complete"));
        } else {
            m_op.line(trimOutput(complaints.at(k).join(u'\n')));
            m_op.line(QStringLiteral("Failed"));
        }
        m_op.gap();
    }
    return true;
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
        return logUnwritten(step, destination + name);
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
        return logUnwritten(step, destination + name);
    // A folder pushed onto an existing one would land inside it; pushed into the parent it merges.
    const QString output = m_adb.Push(local, exists && isFolder ? destination : target);
    return m_op.finishRow(output, [&] {
        if (isFolder || exists)
            return;
        // The part of the file that reached the phone is of no use.
        TADB cleanup(m_adb);
        cleanup.setCancelToken(nullptr);
        cleanup.Remove(destination + name, QString());
    });
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
    m_op.remountFor(destination);
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination);
    ReplaceQuestion replace(m_log.questionParent(), files.size() > 1);
    const int n = int(files.size());
    for (int k = 0; k < n; ++k) {
        const QString name = QFileInfo(files.at(k)).fileName();
        if (!m_op.row(k + 1, n, QStringLiteral("Pushing file: ") + name))
            break;
        // Named in full: pushed to a folder that does not exist yet, the file would take the folder's name.
        if (!pushItem(files.at(k), false, destination + name, destination, onPhone, replace))
            break;
    }
    m_op.end(destination, Location::Phone);
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
    const QString directory = pane.folder();
    ReplaceQuestion replace(m_log.questionParent(), n > 1);
    // Neighbouring files go in one command; the questions about them are asked before it runs.
    QList<GroupRow> group;
    bool going = true;
    int k = 0;
    for (int row : pane.model()->checkedRows()) {
        const ListItem &item = pane.model()->item(row);
        ++k;
        if (groupable(item)) {
            const QString local = pcPath(folder, EntryName(item));
            const QFileInfo target(local);
            const bool existed = target.exists() || target.isSymLink();
            const Step step = checkTarget(existed, target.isDir(), false, local, replace);
            group.append({k, item, step, existed, {}, false});
            if (step == Step::Stop)
                break;
            continue;
        }
        going = pullGroup(group, n, directory, folder);
        group.clear();
        if (!going || !m_op.row(k, n, pullLine(item)) ||
            !pullItem(directory + EntryName(item), IsFolder(item), folder, replace)) {
            going = false;
            break;
        }
    }
    if (going)
        pullGroup(group, n, directory, folder);
    m_op.end();
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
    removeGroup(pane.model()->checkedRows(), *pane.model(), directory);
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
    if (!toPc)
        m_op.remountFor(destination);
    const QHash<QString, ItemKind> onPhone = toPc ? QHash<QString, ItemKind>() : phoneEntries(destination);
    ReplaceQuestion replace(m_log.questionParent(), n > 1);
    int k = 0;
    for (int row : source.model()->checkedRows()) {
        const ListItem &item = source.model()->item(row);
        const bool isDir = IsFolder(item);
        const QString name = EntryName(item);
        if (!m_op.row(++k, n, copyLine(isDir, EscapeControls(name))))
            break;
        const bool written = toPc ? pullItem(from + name, isDir, destination, replace)
                                  : copyItem(from, item, destination, onPhone, replace);
        if (!written)
            break;
    }
    m_op.end(destination, toPc ? Location::Pc : Location::Phone);
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
    ReplaceQuestion replace(m_log.questionParent(), false);
    if (m_op.row(pullLine(item)))
        pullItem(directory + EntryName(item), IsFolder(item), folder, replace);
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
        removeRow(directory, item);
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
    m_op.remountFor(destination);
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination);
    ReplaceQuestion replace(m_log.questionParent(), paths.size() > 1);
    const int n = int(paths.size());
    for (int k = 0; k < n; ++k) {
        const QFileInfo info(paths.at(k));
        const QString name = info.fileName();
        // Folders are told from files by what they are, not by a dot in the name.
        const bool isDir = info.isDir();
        if (!m_op.row(k + 1, n,
                      (isDir ? QStringLiteral("Pushing directory: ") : QStringLiteral("Pushing file: ")) + name))
            break;
        if (!pushItem(paths.at(k), isDir, destination + name + (isDir ? QStringLiteral("/") : QString()), destination,
                      onPhone, replace))
            break;
    }
    m_op.end(destination, Location::Phone);
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
    m_op.remountFor(destination);
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination);
    ReplaceQuestion replace(m_log.questionParent(), n > 1);
    int k = 0;
    for (int row : checked) {
        const ListItem &item = pcRows.item(row);
        const bool isDir = IsFolder(item);
        const QString name = EntryName(item);
        if (!m_op.row(++k, n, copyLine(isDir, name)))
            break;
        if (!pushItem(pcPath(pcFolder, name), isDir, destination + name, destination, onPhone, replace))
            break;
    }
    m_op.end(destination, Location::Phone);
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
    if (!phoneToPc)
        m_op.remountFor(destination);
    const bool isDir = IsFolder(item);
    const QString name = EntryName(item);
    // No check before the one row: a Cancel during the remount shows in the row's result.
    m_op.line(copyLine(isDir, EscapeControls(name)));
    ReplaceQuestion replace(m_log.questionParent(), false);
    if (phoneToPhone)
        copyItem(sourceDir, item, destination, phoneEntries(destination), replace);
    else if (phoneToPc)
        pullItem(sourceDir + name, isDir, destination, replace);
    else
        pushItem(pcPath(sourceDir, name), isDir, destination + name, destination, phoneEntries(destination), replace);
    m_op.end(destination, phoneToPc ? Location::Pc : Location::Phone);
}
