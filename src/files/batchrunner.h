#pragma once

#include "bridge/adbutils.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class Operation;

// What to do with a row whose target may exist already.
enum class RowStep { Write, Skip, Stop, KindClash };

// Logs a row that is not written: skipped, or of another kind than its target; false (after logging
// "Cancelled") for Stop.
bool logUnwritten(Operation &op, RowStep step, const QString &target);

// One row of a batch: what it logs and, once its command has reported, its result.
struct BatchRow {
    int k = 0;
    QString header;  // its first log line, without the counter
    QString source;  // what its command names it by
    QString target;  // where it is written
    qint64 size = 0; // bytes, 0 when not known
    RowStep step = RowStep::Write;
    bool existed = false; // the target was there before
    bool isDir = false;
    bool grouped = false;  // runs in one command with its neighbours
    QStringList lines;     // what its command printed about it so far
    bool reported = false; // its command has named it: it is no longer on its way
    std::optional<QString> result;
    int tag = 0;                 // the caller's own index
    bool setAside = false;       // the file it replaces was moved aside before the batch
    std::optional<bool> arrived; // once logged, when it ran: whether its bytes reached the target
};

// How the rows of one kind of batch run together and alone.
struct GroupCommand {
    qsizetype limit = 0;      // longest command text
    qsizetype baseLength = 0; // the text without rows
    std::function<qsizetype(const BatchRow &)> rowLength;
    // Whether a row may join the rows gathered so far besides the limit; any may when not set.
    std::function<bool(const QList<BatchRow *> &, const BatchRow &)> joins;
    std::function<QString(const QList<BatchRow *> &, const Streaming &)> run;
    std::function<void(const QList<BatchRow *> &, const QString &)> readLine;
    // The command ended or stopped: settles what its rows reported.
    std::function<void(const QList<BatchRow *> &)> finish;
    // Optional, for rows that need more work once their command ended: gives a row its result in its turn,
    // from what the command moved before it ended or was cancelled. A row left without one runs alone, or
    // is cancelled.
    std::function<void(BatchRow &)> complete;
    // Runs one row by itself and logs its result; false when the batch stops there.
    std::function<bool(BatchRow &)> alone;
    // What a row on its way has written so far; -1 when not known.
    std::function<qint64(const BatchRow &)> partialBytes;
    // Removes what a row stopped on its way left half written.
    std::function<void(const BatchRow &)> undoPartial;
    // Whether a row's logged result says its bytes arrived; the bar counts a failed row's bytes as not
    // moved. Every row's bytes count when not set.
    std::function<bool(const QString &)> moved;
    // A failure on the phone ends the command's session (adb's sync): the rows after it that failed too
    // may never have been tried, so they run again, grouped anew. Needs `moved`.
    bool failureEndsGroup = false;
};

// Runs a batch's rows, neighbours together in as few commands as the limit allows, and logs every row in
// order as its result comes, so that the log reads as if the rows ran one by one. Rows a command gave no
// result for run again alone; after a Cancel every row not done is logged "Cancelled".
class BatchRunner {
public:
    explicit BatchRunner(Operation &op) : m_op(op) {}

    // False when the batch was stopped.
    bool run(QList<BatchRow> &rows, int n, const GroupCommand &command, bool counter = true);

    // For commands that adb reports one line per path ("<path>: 1 file pulled", errors naming it): each
    // line goes to the row it names; a row is settled by adb's count of it, or once a later row is named
    // or the command has ended.
    static void readNamedLine(const QList<BatchRow *> &members, const QString &line);
    static void settleNamed(const QList<BatchRow *> &members);
    // Whether a row those lines settled says adb moved something: its count of files is not 0.
    static bool namedMoved(const QString &result);
    // Whether those lines can name `path`: not when a line break or another control character is in it.
    static bool nameable(const QString &path);

private:
    class Log;
    // Runs one command; the first row to go again in a new group (see GroupCommand::failureEndsGroup).
    BatchRow *runGroup(const QList<BatchRow *> &members, const GroupCommand &command, Log &log);

    Operation &m_op;
};
