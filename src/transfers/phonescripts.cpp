#include "transfers/filecommands.h"

#include "bridge/adbutils.h"
#include "bridge/listingparser.h"
#include "transfers/filetransfers.h"
#include "transfers/operation.h"
#include "transfers/staging.h"

#include <algorithm>

namespace {

// The text that copies a row into its stage, or its target where it has none. cp -p keeps the dates; cat,
// where the phone has no cp, cannot.
QString copyText(const BatchRow &row, bool hasCp)
{
    return copyCommandText(row.source, row.staged.isEmpty() ? row.target : row.staged,
                           row.isDir ? QStringLiteral("-rp") : QStringLiteral("-p"), hasCp);
}

} // namespace

PhoneCopyCommand::PhoneCopyCommand(FileTransfers &transfers, const PhoneStage &stage, const QString &destination)
    : m_transfers(transfers), m_stage(stage), m_destination(destination)
{
}

qsizetype PhoneCopyCommand::limit() const
{
    return m_transfers.limits().shell();
}

qsizetype PhoneCopyCommand::rowLength(const BatchRow &row) const
{
    return byteLength(copyText(row, m_transfers.adb().hasCp)) + 40;
}

bool PhoneCopyCommand::joins(const QList<BatchRow *> &members, const BatchRow &row) const
{
    return withinGroupBytes(members, row);
}

// Each row's copy followed by its marker; the complaints go into the same pipe, before the marker.
QString PhoneCopyCommand::run(const QList<BatchRow *> &members, const Streaming &streaming)
{
    AdbClient &adb = m_transfers.adb();
    QString text = QStringLiteral("exec 2>&1; ");
    for (const BatchRow *row : members) {
        text += copyText(*row, adb.hasCp) + QStringLiteral("; ") + rowMarkerCommand(row->k) + QStringLiteral("; ");
    }
    return adb.runShellStreaming(text, streaming);
}

void PhoneCopyCommand::readLine(const QList<BatchRow *> &members, const QString &line)
{
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
    onItsWay->result = output.isEmpty() ? copiedResult() : output;
}

void PhoneCopyCommand::confirm(const QList<BatchRow *> &rows)
{
    m_transfers.confirmOnPhone(rows, m_destination, m_stage, true);
}

qint64 PhoneCopyCommand::partialBytes(const BatchRow &row)
{
    return row.isDir ? qint64(-1) : m_transfers.phoneFileSize()(row.staged.isEmpty() ? row.target : row.staged);
}

void PhoneCopyCommand::undoPartial(const BatchRow &row)
{
    m_transfers.removePartial(row);
}

qsizetype RemoveCommand::limit() const
{
    return m_transfers.limits().shell();
}

qsizetype RemoveCommand::rowLength(const BatchRow &row) const
{
    return byteLength(quoteDevicePath(row.source)) + 1;
}

// One rm for the files and one rm -r for the folders, as a single rm costs about a process start per row on
// the phone. When both succeed every row is gone (one marker for row 0 says so); else a test per row (a shell
// builtin), in a command of its own, tells which are: an old toolbox rm stops at its first failure.
QString RemoveCommand::run(const QList<BatchRow *> &members, const Streaming &streaming)
{
    AdbClient &adb = m_transfers.adb();
    const qsizetype limit = m_transfers.limits().shell();
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
    QString output = adb.runShellStreaming(text, streaming);
    const QStringList lines = splitLines(output);
    const bool allGone = std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        const std::optional<RowMarker> marker = readRowMarker(line);
        return marker && marker->row == 0;
    });
    if (allGone || adb.isCancelled())
        return output;
    QString checks;
    auto flush = [&] {
        if (!checks.isEmpty())
            output += adb.runShellStreaming(checks, streaming);
        checks.clear();
    };
    for (const BatchRow *row : members) {
        const QString quoted = quoteDevicePath(row->source);
        const QString check = QStringLiteral("[ -e ") + quoted + QStringLiteral(" ] || [ -L ") + quoted +
                              QStringLiteral(" ]; ") + rowMarkerCommand(row->k) + QStringLiteral("; ");
        if (!checks.isEmpty() && byteLength(checks) + byteLength(check) > limit)
            flush();
        checks += check;
    }
    flush();
    return output;
}

void RemoveCommand::readLine(const QList<BatchRow *> &members, const QString &line)
{
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
}

bool RemoveCommand::runAlone(BatchRow &row)
{
    AdbClient &adb = m_transfers.adb();
    Operation &op = m_transfers.op();
    const QString output = adb.removePath(row.source, row.isDir ? QStringLiteral("-r") : QString());
    row.arrived = output.isEmpty();
    if (op.isCancelled())
        return op.finishRow(output);
    // rm prints nothing when it worked; anything else is its complaint.
    if (output.isEmpty()) {
        op.line(QStringLiteral("Complete"));
    } else {
        op.line(output);
        op.line(QStringLiteral("Failed"));
    }
    op.gap();
    return true;
}
