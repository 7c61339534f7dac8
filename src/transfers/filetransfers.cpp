#include "transfers/filetransfers.h"

#include "base/appstate.h"
#include "bridge/adbutils.h"
#include "transfers/operation.h"
#include "bridge/listingparser.h"
#include "transfers/filecommands.h"
#include "transfers/staging.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

// The name a row has in its target folder.
QString targetName(const BatchRow &row)
{
    return AdbClient::baseName(row.target);
}

// The folders and files under a PC folder, relative to it, parents first.
void walkLocal(const QString &folder, QStringList &folders, QStringList &files)
{
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QFileInfo info = it.nextFileInfo();
        (info.isDir() && !info.isSymLink() ? folders : files) << base.relativeFilePath(info.filePath());
    }
    std::stable_sort(folders.begin(), folders.end(),
                     [](const QString &a, const QString &b) { return a.count(u'/') < b.count(u'/'); });
}

} // namespace

FileTransfers::FileTransfers(AdbClient &adb, Operation &op) : m_adb(adb), m_op(op), m_limits(adb), m_phoneFileSize(adb)
{
}

void FileTransfers::pull(QList<BatchRow> &rows, const QString &folder, bool counter)
{
    PcStage stage(folder);
    for (BatchRow &row : rows) {
        if (row.step != RowStep::Write)
            continue;
        if (!stage.isValid()) {
            row.step = RowStep::Refused;
            row.result = QStringLiteral("Cannot write in ") + folder + QStringLiteral(": ") + stage.errorString() +
                         QStringLiteral(". Failed");
            continue;
        }
        row.staged = stage.path() + targetName(row);
    }
    PullCommand command(*this, stage, folder);
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
}

bool FileTransfers::prepareStage(PhoneStage &stage, const QString &destination)
{
    if (stage.make(destination))
        return true;
    // A push makes the folders it goes to; the stage needs them there first, one level at a time.
    QString text;
    QString path;
    for (const QString &part : destination.split(u'/', Qt::SkipEmptyParts)) {
        path += u'/' + part;
        text += QStringLiteral("mkdir ") + quoteDevicePath(path) + QStringLiteral(" 2>/dev/null; ");
    }
    runMarked(m_adb, m_limits.shell(), {{1, text + QStringLiteral("[ -d ") + quoteDevicePath(path) + u']'}});
    return stage.make(destination);
}

bool FileTransfers::prepareStageFor(PhoneStage &stage, const QList<BatchRow> &rows, const QString &destination,
                                    bool filesOnly)
{
    const bool writes = std::any_of(rows.cbegin(), rows.cend(), [filesOnly](const BatchRow &row) {
        return row.step == RowStep::Write && !(filesOnly && row.isDir);
    });
    return writes && prepareStage(stage, destination);
}

void FileTransfers::dropStage(PhoneStage &stage)
{
    if (!stage.isMade())
        return;
    const QString path = stage.path();
    if (stage.remove())
        return;
    m_leftovers << path;
    m_op.line(QStringLiteral("Unfinished copies stay in ") + escapeControls(path) +
              QStringLiteral(" on the phone; they are removed when it answers again"));
    m_op.gap();
}

bool FileTransfers::cleanUpLeftovers()
{
    if (m_leftovers.isEmpty())
        return false;
    const QStringList leftovers = std::exchange(m_leftovers, {});
    for (const QString &path : leftovers) {
        PhoneStage stage(m_adb, m_limits.shell());
        if (!stage.adopt(path) || !stage.remove()) {
            m_leftovers << path;
            continue;
        }
        m_op.line(QStringLiteral("Removed the unfinished copies left in ") + escapeControls(path));
        m_op.gap();
    }
    return m_leftovers.size() < leftovers.size();
}

void FileTransfers::push(QList<BatchRow> &rows, const QString &destination, bool counter)
{
    cleanUpLeftovers();
    PhoneStage stage(m_adb, m_limits.shell());
    const bool staged = prepareStageFor(stage, rows, destination);
    for (BatchRow &row : rows) {
        if (row.step != RowStep::Write)
            continue;
        if (staged) {
            row.staged = stage.path() + targetName(row);
        } else if (row.existed) {
            refuseUnstaged(row, QStringLiteral("the new file"), destination, stage);
        }
    }
    // Without a stage, only new files go, straight to their place.
    PushCommand command(*this, stage, destination);
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
    dropStage(stage);
}

std::optional<QHash<QString, ListItem>> FileTransfers::listedArrivals(const PhoneStage &stage,
                                                                      const QString &destination)
{
    const bool shortListing = appState().shortListing;
    if (stage.isMade())
        return stage.contents(shortListing);
    // Also after a Cancel: what is there decides what arrived.
    return listedByName(m_adb, destination, shortListing);
}

void FileTransfers::confirmOnPhone(const QList<BatchRow *> &rows, const QString &destination, const PhoneStage &stage,
                                   bool copied)
{
    auto failed = [&](const BatchRow &row, const QString &verdict) {
        return failedRow(row, verdict, stage.path(), destination);
    };
    const std::optional<QHash<QString, ListItem>> there = listedArrivals(stage, destination);
    QList<std::pair<int, QString>> moves;
    QList<BatchRow *> moving;
    for (BatchRow *row : rows) {
        // A folder copied in place by the phone's cp: its exit status is what there is.
        if (copied && row->isDir) {
            row->arrived = *row->result == copiedResult();
            if (!*row->arrived)
                row->result = failed(*row, QStringLiteral("Failed"));
            continue;
        }
        QString verdict;
        const auto entry = there ? there->constFind(targetName(*row)) : QHash<QString, ListItem>::const_iterator();
        if (!there) {
            verdict = QStringLiteral("The phone did not answer, so whether it arrived is not known. Failed");
        } else if (entry == there->cend()) {
            verdict = nothingArrived(*row);
        } else if (row->isDir) {
            if (!isFolder(*entry) || complainedAbout(*row))
                verdict = QStringLiteral("Failed");
        } else {
            bool numeric = false;
            const qint64 size = entry->sizeText.toLongLong(&numeric);
            // A PC file may have changed since it was chosen; what counts is what adb read of it.
            const qint64 now = copied ? row->size : QFileInfo(row->source).size();
            if (!numeric)
                verdict = QStringLiteral("The phone does not show its size. Failed");
            else if (size != row->size && size != now)
                verdict = shortOf(size, now);
        }
        if (!verdict.isEmpty()) {
            row->arrived = false;
            row->result = failed(*row, verdict);
            continue;
        }
        if (row->staged.isEmpty()) {
            row->arrived = true;
            continue;
        }
        if (row->isDir && row->existed) {
            QStringList folders;
            QStringList files;
            walkLocal(row->source, folders, files);
            for (const QString &piece :
                 PhoneStage::mergeCommands(row->staged, row->target, folders, files, m_limits.shell() - 100))
                moves.append({row->k, piece});
        } else {
            const QString target = row->target.endsWith(u'/') ? row->target.chopped(1) : row->target;
            moves.append({row->k, PhoneStage::moveCommand(row->staged, target)});
        }
        moving << row;
    }
    if (moves.isEmpty())
        return;
    const QHash<int, MarkedResult> moved = runMarked(m_adb, m_limits.shell(), moves);
    for (BatchRow *row : std::as_const(moving)) {
        const MarkedResult result = moved.value(row->k);
        row->arrived = result.status == 0;
        if (*row->arrived) {
            if (trimOutput(*row->result).isEmpty())
                row->result = copied ? copiedResult() : QStringLiteral("Complete");
            continue;
        }
        row->result = failed(*row, notMovedResult(result));
    }
}

void FileTransfers::copy(QList<BatchRow> &rows, const QString &destination, bool counter)
{
    cleanUpLeftovers();
    PhoneStage stage(m_adb, m_limits.shell());
    const bool staged = prepareStageFor(stage, rows, destination, true);
    for (BatchRow &row : rows) {
        if (row.step != RowStep::Write)
            continue;
        // Without cp the phone can only copy single files (with cat); a folder would become an empty file.
        if (row.isDir && !m_adb.hasCp) {
            row.step = RowStep::Refused;
            row.result = QStringLiteral("Copying a directory needs cp on the phone (BusyBox on old phones). Failed");
        } else if (row.isDir) {
            continue; // cp -r merges into the folder in place
        } else if (staged) {
            row.staged = stage.path() + targetName(row);
        } else if (row.existed) {
            refuseUnstaged(row, QStringLiteral("the copy"), destination, stage);
        }
    }
    PhoneCopyCommand command(*this, stage, destination);
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
    dropStage(stage);
}

void FileTransfers::refuseSameFiles(QList<BatchRow> &rows)
{
    QList<std::pair<int, QString>> tests;
    for (const BatchRow &row : rows) {
        if (row.step == RowStep::Write && row.existed)
            tests.append({row.k, QStringLiteral("[ ") + quoteDevicePath(row.source) + QStringLiteral(" -ef ") +
                                     quoteDevicePath(row.target) + QStringLiteral(" ]")});
    }
    if (tests.isEmpty())
        return;
    const QHash<int, MarkedResult> same = runMarked(m_adb, m_limits.shell(), tests);
    for (BatchRow &row : rows) {
        if (row.step == RowStep::Write && row.existed && same.value(row.k).status == 0) {
            row.step = RowStep::Refused;
            row.result = escapeControls(row.source) + QStringLiteral(" and ") + escapeControls(row.target) +
                         QStringLiteral(" are the same file: a file cannot be copied onto itself. Failed");
        }
    }
}

QHash<QString, ItemKind> FileTransfers::phoneEntries(const QString &folder, const QStringList &names, bool *listed)
{
    QHash<QString, ItemKind> entries;
    const DeviceListing listing = listDeviceFolder(m_adb, folder, appState().shortListing, DeviceSort::Name);
    if (listed)
        *listed = listing.ok;
    if (listing.ok) {
        for (const ListItem &row : listing.rows)
            entries.insert(entryName(row), row.kind);
        return entries;
    }
    // A folder the shell may not list may still hold the names: each is asked for (2 a folder, 1 anything else).
    QList<std::pair<int, QString>> tests;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString path = quoteDevicePath(folder + names.at(i));
        tests.append({int(i) + 1, QStringLiteral("if [ -d ") + path + QStringLiteral(" ]; then (exit 2); elif [ -e ") +
                                      path + QStringLiteral(" ] || [ -L ") + path +
                                      QStringLiteral(" ]; then (exit 1); fi")});
    }
    const QHash<int, MarkedResult> found =
        tests.isEmpty() ? QHash<int, MarkedResult>() : runMarked(m_adb, m_limits.shell(), tests);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int status = found.value(int(i) + 1).status.value_or(0);
        if (status == 2)
            entries.insert(names.at(i), ItemKind::Folder);
        else if (status == 1)
            entries.insert(names.at(i), ItemKind::File);
    }
    return entries;
}

void FileTransfers::remove(QList<BatchRow> &rows, bool counter)
{
    cleanUpLeftovers();
    RemoveCommand command(*this);
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
}

void FileTransfers::removePartial(const BatchRow &row) const
{
    if (row.staged.isEmpty() && !row.isDir && !row.existed)
        m_adb.removeAfterCancel(row.target);
}

QList<BatchRow> FileTransfers::pullItems(const QList<ListItem> &items, const QString &directory, const QString &folder,
                                         const RowHeader &header, bool counter)
{
    QList<BatchRow> rows = pullRows(items, directory, folder, header);
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    ReplaceQuestion replace(m_op.questionParent(), rows.size() > 1);
    // Every row's question is asked before the first command runs.
    decideOnPc(rows, replace);
    pull(rows, folder, counter);
    return rows;
}

void FileTransfers::pushRows(QList<BatchRow> &rows, const QString &destination, bool counter)
{
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    m_op.remountFor(destination);
    QStringList names;
    for (const BatchRow &row : rows)
        names << AdbClient::baseName(row.target);
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination, names);
    ReplaceQuestion replace(m_op.questionParent(), rows.size() > 1);
    decideOnPhone(rows, destination, onPhone, replace);
    push(rows, destination, counter);
}

QList<BatchRow> FileTransfers::copyItems(const QList<ListItem> &items, const QString &from, const QString &destination,
                                         const RowHeader &header, bool counter)
{
    m_op.remountFor(destination);
    QList<BatchRow> rows;
    QStringList names;
    for (const ListItem &item : items) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, header(item), from);
        const QString slash = row.isDir ? QStringLiteral("/") : QString();
        row.source += slash;
        row.target = destination + entryName(item) + slash;
        row.grouped = true; // every row's question is asked before the copies start
        names << entryName(item);
        rows << row;
    }
    const QHash<QString, ItemKind> onPhone = phoneEntries(destination, names);
    ReplaceQuestion replace(m_op.questionParent(), rows.size() > 1);
    decideOnPhone(rows, destination, onPhone, replace);
    refuseSameFiles(rows);
    for (BatchRow &row : rows) {
        // cp -r of a folder onto an existing one copies into it; into the parent it merges.
        if (row.isDir && row.existed)
            row.target = destination;
    }
    m_op.setTotals(int(rows.size()), totalBytes(rows));
    copy(rows, destination, counter);
    return rows;
}

void FileTransfers::removeItems(const QList<ListItem> &items, const QString &directory, bool counter)
{
    m_op.remountFor(directory);
    QList<BatchRow> rows = deleteRows(items, directory);
    // A single row has no counts to show.
    if (counter)
        m_op.setTotals(int(rows.size()), 0);
    remove(rows, counter);
}

void FileTransfers::moveItems(const QList<ListItem> &items, const QString &from, const QString &destination, bool toPc,
                              const RowHeader &header)
{
    const QList<BatchRow> rows =
        toPc ? pullItems(items, from, destination, header, true) : copyItems(items, from, destination, header, true);
    QList<ListItem> arrived;
    for (const BatchRow &row : rows) {
        if (row.step == RowStep::Write && row.arrived.value_or(false) && row.k >= 1 && row.k <= items.size())
            arrived << items.at(row.k - 1);
    }
    if (arrived.isEmpty() || m_op.isCancelled())
        return;
    m_op.line(QStringLiteral("Deleting what arrived from ") + from);
    m_op.gap();
    removeItems(arrived, from, true);
}

void FileTransfers::movePcRows(QList<BatchRow> &rows, const QString &destination)
{
    pushRows(rows, destination, true);
    if (m_op.isCancelled())
        return;
    QStringList kept;
    QStringList problems;
    for (const BatchRow &row : std::as_const(rows)) {
        if (row.step != RowStep::Write || !row.arrived.value_or(false))
            continue;
        const QFileInfo info(row.source);
        if (row.isDir) {
            kept << info.fileName() + u'/';
            continue;
        }
        QFile file(row.source);
        if (info.size() != row.size)
            problems << row.source + QStringLiteral(" changed while it was copied, so it was not deleted");
        else if (!file.remove())
            problems << row.source + QStringLiteral(" could not be deleted: ") + file.errorString();
    }
    for (const QString &problem : std::as_const(problems))
        m_op.line(problem);
    if (!kept.isEmpty())
        m_op.line(QStringLiteral("Folders are copied, not moved: ") + kept.join(QStringLiteral(", ")));
}

QStringList FileTransfers::pullOne(const QString &source, const QString &folder, const QString &name)
{
    const PcStage stage(folder);
    const QString staged = stage.path() + name;
    const QString output = stage.isValid() ? m_adb.pullFile(source, staged) : stage.errorString();
    return QFileInfo::exists(staged) ? PcStage::commit(staged, pcPath(folder, name)) : QStringList{trimOutput(output)};
}
