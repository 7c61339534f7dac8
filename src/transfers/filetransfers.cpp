#include "files/filetransfers.h"

#include "base/appstate.h"
#include "bridge/adbutils.h"
#include "transfers/operation.h"
#include "bridge/listingparser.h"
#include "transfers/staging.h"

#include <QDirIterator>
#include <QFileInfo>

namespace {

const QString kCopied = QStringLiteral("Coping complete");

// A line of adb's or a phone tool's about a row that is not adb's count of it.
bool complained(const BatchRow &row)
{
    return std::any_of(row.lines.cbegin(), row.lines.cend(), [&row](const QString &line) {
        return !trimOutput(line).isEmpty() && !BatchRunner::isCountLine(line, row.source) &&
               !BatchRunner::isCountLine(line, row.source + u'/');
    });
}

// Why a row did not arrive, after what was said about it; the stage it went to is shown as its destination.
QString failedRow(const BatchRow &row, const QString &verdict, const QString &stage, const QString &destination)
{
    QString result = BatchRunner::failedResult(row, verdict);
    if (!stage.isEmpty())
        result.replace(stage, destination.endsWith(u'/') ? destination : destination + u'/');
    return result;
}

QString nothingArrived(const BatchRow &row)
{
    return complained(row) ? QStringLiteral("Failed") : QStringLiteral("Nothing arrived. Failed");
}

QString shortOf(qint64 arrived, qint64 expected)
{
    return QStringLiteral("Only %1 of %2 bytes arrived. Failed").arg(arrived).arg(expected);
}

// Rows written on the phone are confirmed once their group has ended: a group holds so many bytes that the
// log follows a long batch.
bool withinGroupBytes(const QList<BatchRow *> &members, const BatchRow &row)
{
    constexpr qint64 kGroupBytes = 256LL << 20;
    qint64 bytes = row.size;
    for (const BatchRow *member : members)
        bytes += member->size;
    return bytes <= kGroupBytes;
}

// The name a row has in its target folder.
QString targetName(const BatchRow &row)
{
    return TADB::BaseName(row.target);
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

FileTransfers::FileTransfers(TADB &adb, Operation &op) : m_adb(adb), m_op(op), m_limits(adb), m_phoneFileSize(adb) {}

GroupCommand FileTransfers::transferCommand(const QString &folder, bool push)
{
    GroupCommand command;
    command.limit = m_limits.commandLine();
    command.baseLength = byteLength(folder) + 20;
    command.rowLength = [](const BatchRow &row) { return byteLength(row.source) + 3; };
    command.run = [this, folder, push](const QList<BatchRow *> &members, const Streaming &streaming) {
        QStringList sources;
        for (const BatchRow *row : members)
            sources << row->source;
        return push ? m_adb.PushMany(sources, folder, streaming) : m_adb.PullMany(sources, folder, streaming);
    };
    command.readLine = BatchRunner::readNamedLine;
    command.finish = BatchRunner::settleNamed;
    command.failureEndsGroup = true;
    return command;
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
    GroupCommand command = transferCommand(stage.path(), false);
    command.confirm = [this, &stage, folder](const QList<BatchRow *> &members) {
        for (BatchRow *row : members)
            confirmPulled(*row, stage.path(), folder);
    };
    // A pulled file is whole on the PC once adb has counted it.
    command.confirmsAsItGoes = true;
    command.partialBytes = [](const BatchRow &row) {
        const QFileInfo file(row.staged);
        return file.exists() ? file.size() : qint64(-1);
    };
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
}

void FileTransfers::confirmPulled(BatchRow &row, const QString &stage, const QString &folder) const
{
    const QFileInfo staged(row.staged);
    const bool isFolder = staged.isDir() && !staged.isSymLink();
    QString verdict;
    if (!staged.exists() && !staged.isSymLink())
        verdict = nothingArrived(row);
    else if (row.sizeKnown && !isFolder && staged.size() < row.size)
        verdict = shortOf(staged.size(), row.size);
    else if (isFolder && complained(row))
        verdict = QStringLiteral("Failed"); // some of its files did not come
    // What arrived of a folder goes in place even when some of it did not.
    const QStringList problems =
        verdict.isEmpty() || isFolder ? PcStage::commit(row.staged, row.target) : QStringList();
    row.arrived = verdict.isEmpty() && problems.isEmpty();
    if (*row.arrived) {
        if (trimOutput(*row.result).isEmpty())
            row.result = QStringLiteral("Complete");
        return;
    }
    row.result =
        failedRow(row, (problems + QStringList{verdict.isEmpty() ? QStringLiteral("Failed") : verdict}).join(u'\n'),
                  stage, folder);
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

void FileTransfers::dropStage(PhoneStage &stage)
{
    if (!stage.isMade())
        return;
    const QString path = stage.path();
    if (stage.remove())
        return;
    m_leftovers << path;
    m_op.line(QStringLiteral("Unfinished copies stay in ") + EscapeControls(path) +
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
        m_op.line(QStringLiteral("Removed the unfinished copies left in ") + EscapeControls(path));
        m_op.gap();
    }
    return m_leftovers.size() < leftovers.size();
}

void FileTransfers::push(QList<BatchRow> &rows, const QString &destination, bool counter)
{
    cleanUpLeftovers();
    PhoneStage stage(m_adb, m_limits.shell());
    const bool writes =
        std::any_of(rows.cbegin(), rows.cend(), [](const BatchRow &row) { return row.step == RowStep::Write; });
    const bool staged = writes && prepareStage(stage, destination);
    for (BatchRow &row : rows) {
        if (row.step != RowStep::Write)
            continue;
        if (staged) {
            row.staged = stage.path() + targetName(row);
        } else if (row.existed) {
            row.step = RowStep::Refused;
            row.result = QStringLiteral("Cannot stage the new file in ") + destination + QStringLiteral(": ") +
                         stage.errorString() + QStringLiteral(". ") + row.target +
                         QStringLiteral(" is not replaced. Failed");
        }
    }
    // Without a stage, only new files go, straight to their place.
    GroupCommand command = transferCommand(staged ? stage.path() : destination, true);
    command.joins = withinGroupBytes;
    command.confirm = [this, &stage, destination](const QList<BatchRow *> &members) {
        confirmOnPhone(members, destination, stage, false);
    };
    command.partialBytes = [this](const BatchRow &row) {
        return row.isDir ? qint64(-1) : m_phoneFileSize(row.staged.isEmpty() ? row.target : row.staged);
    };
    command.undoPartial = [this](const BatchRow &row) {
        // A part written straight to its place is of no use; a staged one goes with the stage.
        if (row.staged.isEmpty() && !row.isDir && !row.existed)
            m_adb.RemoveAfterCancel(row.target);
    };
    BatchRunner(m_op).run(rows, int(rows.size()), command, counter);
    dropStage(stage);
}

std::optional<QHash<QString, ListItem>> FileTransfers::listedArrivals(const PhoneStage &stage,
                                                                      const QString &destination)
{
    const bool shortListing = appState().ShortListing;
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
            row->arrived = *row->result == kCopied;
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
            if (!IsFolder(*entry) || complained(*row))
                verdict = QStringLiteral("Failed");
        } else {
            bool numeric = false;
            const qint64 size = entry->SizeText.toLongLong(&numeric);
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
                row->result = copied ? kCopied : QStringLiteral("Complete");
            continue;
        }
        const QString why = result.status ? QStringLiteral("It arrived but could not be put in place. Failed")
                                          : QStringLiteral("The phone did not answer after it arrived. Failed");
        row->result = failed(*row, (result.lines + QStringList{why}).join(u'\n'));
    }
}

GroupCommand FileTransfers::copyCommand(const PhoneStage &stage)
{
    GroupCommand command;
    command.limit = m_limits.shell();
    command.baseLength = 20;
    command.rowLength = [this](const BatchRow &row) {
        return byteLength(copyCommandText(row.source, row.staged.isEmpty() ? row.target : row.staged,
                                          QStringLiteral("-r"), m_adb.HasCp)) +
               40;
    };
    // Each row's copy followed by its marker; the complaints go into the same pipe, before the marker.
    command.run = [this](const QList<BatchRow *> &members, const Streaming &streaming) {
        QString text = QStringLiteral("exec 2>&1; ");
        for (const BatchRow *row : members) {
            text += copyCommandText(row->source, row->staged.isEmpty() ? row->target : row->staged,
                                    row->isDir ? QStringLiteral("-r") : QString(), m_adb.HasCp) +
                    QStringLiteral("; ") + rowMarkerCommand(row->k) + QStringLiteral("; ");
        }
        return m_adb.ShellStreaming(text, streaming);
    };
    command.readLine = [](const QList<BatchRow *> &members, const QString &line) {
        const std::optional<RowMarker> marker = readRowMarker(line);
        const auto found =
            std::find_if(members.cbegin(), members.cend(), [](const BatchRow *row) { return !row->reported; });
        if (found == members.cend())
            return;
        BatchRow *onItsWay = *found;
        if (!marker) {
            onItsWay->lines << line;
            return;
        }
        if (onItsWay->k != marker->row)
            return; // a marker out of turn: the rows run again alone
        onItsWay->lines << marker->before;
        onItsWay->reported = true;
        const QString output = trimOutput(onItsWay->lines.join(u'\n'));
        onItsWay->result = output.isEmpty() ? kCopied : output;
    };
    command.finish = [](const QList<BatchRow *> &) {};
    command.partialBytes = [this](const BatchRow &row) {
        return row.isDir ? qint64(-1) : m_phoneFileSize(row.staged.isEmpty() ? row.target : row.staged);
    };
    command.undoPartial = [this, &stage](const BatchRow &row) {
        if (!stage.isMade() && !row.isDir && !row.existed)
            m_adb.RemoveAfterCancel(row.target);
    };
    return command;
}

void FileTransfers::copy(QList<BatchRow> &rows, const QString &destination, bool counter)
{
    cleanUpLeftovers();
    PhoneStage stage(m_adb, m_limits.shell());
    const bool files = std::any_of(rows.cbegin(), rows.cend(),
                                   [](const BatchRow &row) { return row.step == RowStep::Write && !row.isDir; });
    const bool staged = files && prepareStage(stage, destination);
    for (BatchRow &row : rows) {
        if (row.step != RowStep::Write)
            continue;
        // Without cp the phone can only copy single files (with cat); a folder would become an empty file.
        if (row.isDir && !m_adb.HasCp) {
            row.step = RowStep::Refused;
            row.result = QStringLiteral("Copying a directory needs cp on the phone (BusyBox on old phones). Failed");
        } else if (row.isDir) {
            continue; // cp -r merges into the folder in place
        } else if (staged) {
            row.staged = stage.path() + targetName(row);
        } else if (row.existed) {
            row.step = RowStep::Refused;
            row.result = QStringLiteral("Cannot stage the copy in ") + destination + QStringLiteral(": ") +
                         stage.errorString() + QStringLiteral(". ") + row.target +
                         QStringLiteral(" is not replaced. Failed");
        }
    }
    GroupCommand command = copyCommand(stage);
    command.joins = withinGroupBytes;
    command.confirm = [this, &stage, destination](const QList<BatchRow *> &members) {
        confirmOnPhone(members, destination, stage, true);
    };
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
            row.result = EscapeControls(row.source) + QStringLiteral(" and ") + EscapeControls(row.target) +
                         QStringLiteral(" are the same file: a file cannot be copied onto itself. Failed");
        }
    }
}

QHash<QString, ItemKind> FileTransfers::phoneEntries(const QString &folder, const QStringList &names, bool *listed)
{
    QHash<QString, ItemKind> entries;
    const DeviceListing listing = ListDeviceFolder(m_adb, folder, appState().ShortListing, DeviceSort::Name);
    if (listed)
        *listed = listing.ok;
    if (listing.ok) {
        for (const ListItem &row : listing.rows)
            entries.insert(EntryName(row), row.Kind);
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

GroupCommand FileTransfers::removeCommand()
{
    GroupCommand command;
    command.limit = m_limits.shell();
    command.baseLength = 120;
    command.rowLength = [](const BatchRow &row) { return byteLength(quoteDevicePath(row.source)) + 1; };
    // One rm for the files and one rm -r for the folders, as a single rm costs about a process start per
    // row on the phone. When both succeed every row is gone (one marker for row 0 says so); else a test per
    // row (a shell builtin), in a command of its own, tells which are: an old toolbox rm stops at its first
    // failure.
    command.run = [this](const QList<BatchRow *> &members, const Streaming &streaming) {
        QString files;
        QString folders;
        for (const BatchRow *row : members)
            (row->isDir ? folders : files) += u' ' + quoteDevicePath(row->source);
        QString text = QStringLiteral("exec 2>&1; failed=0; ");
        if (!files.isEmpty())
            text += QStringLiteral("rm") + files + QStringLiteral(" || failed=1; ");
        if (!folders.isEmpty())
            text += QStringLiteral("rm -r") + folders + QStringLiteral(" || failed=1; ");
        text += QStringLiteral("if [ $failed = 0 ]; then false; ") + rowMarkerCommand(0) + QStringLiteral("; fi");
        QString output = m_adb.ShellStreaming(text, streaming);
        const QStringList lines = splitLines(output);
        const bool allGone = std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
            const std::optional<RowMarker> marker = readRowMarker(line);
            return marker && marker->row == 0;
        });
        if (allGone || m_adb.isCancelled())
            return output;
        QString checks;
        auto flush = [&] {
            if (!checks.isEmpty())
                output += m_adb.ShellStreaming(checks, streaming);
            checks.clear();
        };
        for (const BatchRow *row : members) {
            const QString quoted = quoteDevicePath(row->source);
            const QString check = QStringLiteral("[ -e ") + quoted + QStringLiteral(" ] || [ -L ") + quoted +
                                  QStringLiteral(" ]; ") + rowMarkerCommand(row->k) + QStringLiteral("; ");
            if (!checks.isEmpty() && byteLength(checks) + byteLength(check) > m_limits.shell())
                flush();
            checks += check;
        }
        flush();
        return output;
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
            if (!row->lines.isEmpty()) {
                row->result = trimOutput(row->lines.join(u'\n')) + QStringLiteral("\nFailed");
                row->arrived = false;
            } else if (gone)
                row->result = QStringLiteral("Complete");
            // Still there without a word why: the row runs again alone.
        }
    };
    command.finish = [](const QList<BatchRow *> &) {};
    command.alone = [this](BatchRow &row) { return removeRow(row); };
    return command;
}

bool FileTransfers::removeRow(BatchRow &row)
{
    const QString output = m_adb.Remove(row.source, row.isDir ? QStringLiteral("-r") : QString());
    row.arrived = output.isEmpty();
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

void FileTransfers::remove(QList<BatchRow> &rows, bool counter)
{
    cleanUpLeftovers();
    BatchRunner(m_op).run(rows, int(rows.size()), removeCommand(), counter);
}
