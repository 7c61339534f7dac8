#include "transfers/filecommands.h"

#include "bridge/adbutils.h"
#include "transfers/filetransfers.h"
#include "transfers/staging.h"

#include <QFileInfo>

#include <algorithm>

bool complainedAbout(const BatchRow &row)
{
    return std::any_of(row.lines.cbegin(), row.lines.cend(), [&row](const QString &line) {
        return !trimOutput(line).isEmpty() && !BatchRunner::isCountLine(line, row.source) &&
               !BatchRunner::isCountLine(line, row.source + u'/');
    });
}

QString failedRow(const BatchRow &row, const QString &verdict, const QString &stage, const QString &destination)
{
    QString result = BatchRunner::failedResult(row, verdict);
    if (!stage.isEmpty())
        result.replace(stage, destination.endsWith(u'/') ? destination : destination + u'/');
    return result;
}

QString nothingArrived(const BatchRow &row)
{
    return complainedAbout(row) ? QStringLiteral("Failed") : QStringLiteral("Nothing arrived. Failed");
}

QString shortOf(qint64 arrived, qint64 expected)
{
    return QStringLiteral("Only %1 of %2 bytes arrived. Failed").arg(arrived).arg(expected);
}

QString notMovedResult(const MarkedResult &moved)
{
    const QString why = moved.status ? QStringLiteral("It arrived but could not be put in place. Failed")
                                     : QStringLiteral("The phone did not answer after it arrived. Failed");
    return (moved.lines + QStringList{why}).join(u'\n');
}

void refuseUnstaged(BatchRow &row, const QString &what, const QString &destination, const PhoneStage &stage)
{
    row.step = RowStep::Refused;
    row.result = QStringLiteral("Cannot stage ") + what + QStringLiteral(" in ") + destination + QStringLiteral(": ") +
                 stage.errorString() + QStringLiteral(". ") + escapeControls(row.target) +
                 QStringLiteral(" is not replaced. Failed");
    row.reason = QStringLiteral("the copy could not be staged beside the file it would replace");
}

QString copiedResult()
{
    return QStringLiteral("Copy complete");
}

bool withinGroupBytes(const QList<BatchRow *> &members, const BatchRow &row)
{
    constexpr qint64 kGroupBytes = 256LL << 20;
    qint64 bytes = row.size;
    for (const BatchRow *member : members)
        bytes += member->size;
    return bytes <= kGroupBytes;
}

AdbTransferCommand::AdbTransferCommand(FileTransfers &transfers, const QString &folder, bool push)
    : m_transfers(transfers), m_folder(folder), m_push(push)
{
}

qsizetype AdbTransferCommand::limit() const
{
    return m_transfers.limits().commandLine();
}

qsizetype AdbTransferCommand::baseLength() const
{
    return byteLength(m_folder) + 20;
}

qsizetype AdbTransferCommand::rowLength(const BatchRow &row) const
{
    return byteLength(row.source) + 3;
}

QString AdbTransferCommand::run(const QList<BatchRow *> &members, const Streaming &streaming)
{
    QStringList sources;
    for (const BatchRow *row : members)
        sources << row->source;
    AdbClient &adb = m_transfers.adb();
    return m_push ? adb.pushMany(sources, m_folder, streaming) : adb.pullMany(sources, m_folder, streaming);
}

PullCommand::PullCommand(FileTransfers &transfers, const PcStage &stage, const QString &folder)
    : AdbTransferCommand(transfers, stage.path(), false), m_stage(stage), m_destination(folder)
{
}

void PullCommand::confirm(const QList<BatchRow *> &rows)
{
    for (BatchRow *row : rows) {
        const QFileInfo staged(row->staged);
        const bool isFolder = staged.isDir() && !staged.isSymLink();
        QString verdict;
        if (!staged.exists() && !staged.isSymLink())
            verdict = nothingArrived(*row);
        else if (row->sizeKnown && !isFolder && staged.size() < row->size)
            verdict = shortOf(staged.size(), row->size);
        else if (isFolder && complainedAbout(*row))
            verdict = QStringLiteral("Failed"); // some of its files did not come
        // What arrived of a folder goes in place even when some of it did not.
        const QStringList problems =
            verdict.isEmpty() || isFolder ? PcStage::commit(row->staged, row->target) : QStringList();
        row->arrived = verdict.isEmpty() && problems.isEmpty();
        if (*row->arrived) {
            if (trimOutput(*row->result).isEmpty())
                row->result = QStringLiteral("Complete");
            continue;
        }
        const QString why = verdict.isEmpty() ? QStringLiteral("Failed") : verdict;
        row->result = failedRow(*row, (problems + QStringList{why}).join(u'\n'), m_stage.path(), m_destination);
    }
}

qint64 PullCommand::partialBytes(const BatchRow &row)
{
    const QFileInfo file(row.staged);
    return file.exists() ? file.size() : qint64(-1);
}

PushCommand::PushCommand(FileTransfers &transfers, const PhoneStage &stage, const QString &destination)
    : AdbTransferCommand(transfers, stage.isMade() ? stage.path() : destination, true), m_stage(stage),
      m_destination(destination)
{
}

bool PushCommand::joins(const QList<BatchRow *> &members, const BatchRow &row) const
{
    return withinGroupBytes(members, row);
}

void PushCommand::confirm(const QList<BatchRow *> &rows)
{
    m_transfers.confirmOnPhone(rows, m_destination, m_stage, false);
}

qint64 PushCommand::partialBytes(const BatchRow &row)
{
    return row.isDir ? qint64(-1) : m_transfers.phoneFileSize()(row.staged.isEmpty() ? row.target : row.staged);
}

void PushCommand::undoPartial(const BatchRow &row)
{
    m_transfers.removePartial(row);
}
