#pragma once

#include "bridge/adbutils.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class Operation;

// What to do with a row whose target may exist already.
enum class RowStep { Write, Skip, Stop, KindClash, Refused };

struct BatchRow;

// Logs a row that is not written: skipped, of another kind than its target, or refused for the reason in its
// result; false (after logging "Cancelled") for Stop.
bool logUnwritten(Operation &op, const BatchRow &row);

// One row of a batch: what it logs and, once its command has reported, its result.
struct BatchRow {
    int k = 0;
    QString header;  // its first log line, without the counter
    QString source;  // what its command names it by
    QString target;  // where it ends up
    QString staged;  // where its command writes it first, to be moved to `target` once whole; empty: `target`
    qint64 size = 0; // bytes, 0 when not known
    bool sizeKnown = false;
    RowStep step = RowStep::Write;
    bool existed = false; // the target was there before
    bool isDir = false;
    bool grouped = false;  // runs in one command with its neighbours
    QStringList lines;     // what its command printed about it so far
    bool reported = false; // its command has named it: it is no longer on its way
    std::optional<QString> result;
    int tag = 0;                 // the caller's own index
    std::optional<bool> arrived; // once confirmed (or logged, when it ran alone): whether it reached its target
    QString reason;              // why it did not, in a few words for the summary; may be empty
};

// How the rows of one kind of batch run together and alone. Each kind of batch has its own command; what
// one does not need keeps the default here.
class GroupCommand {
public:
    virtual ~GroupCommand() = default;

    virtual qsizetype limit() const = 0;      // longest command text, in bytes
    virtual qsizetype baseLength() const = 0; // the text without rows
    virtual qsizetype rowLength(const BatchRow &row) const = 0;
    // Whether a row may join the rows gathered so far besides the limit.
    virtual bool joins(const QList<BatchRow *> &, const BatchRow &) const { return true; }
    // Runs the rows given; a row that is not grouped runs as a group of its own.
    virtual QString run(const QList<BatchRow *> &members, const Streaming &streaming) = 0;
    virtual void readLine(const QList<BatchRow *> &members, const QString &line) = 0;
    // The command ended or stopped: settles what its rows reported.
    virtual void finish(const QList<BatchRow *> &) {}

    // Whether confirm() checks the rows on their target; when not, every row counts as arrived.
    virtual bool confirms() const { return false; }
    // Checks on the target, not in the command's words, whether the rows given (each with a result) arrived,
    // sets their `arrived`, puts the arrived ones in place and words the result of those that did not. Also
    // after a Cancel, for the rows done before it.
    virtual void confirm(const QList<BatchRow *> &) {}
    // confirm() may run on a row as soon as its result is known, not only once its command has ended.
    virtual bool confirmsAsItGoes() const { return false; }
    // For rows that need more work once their command ended: gives a row its result in its turn, from what
    // the command moved before it ended or was cancelled. A row left without one runs alone, or is
    // cancelled. It may also change the row's step: Skip (with a result) logs it skipped, Stop cancels the
    // rest of the batch from this row on.
    virtual void complete(BatchRow &) {}
    // Whether runAlone() runs a row by itself and logs it; otherwise a row alone is a group of one.
    virtual bool runsAlone() const { return false; }
    // Runs one row by itself and logs its result; false when the batch stops there.
    virtual bool runAlone(BatchRow &) { return true; }
    // What a row on its way has written so far; -1 when not known.
    virtual qint64 partialBytes(const BatchRow &) { return -1; }
    // Removes what a row stopped on its way left half written, where no stage takes it away.
    virtual void undoPartial(const BatchRow &) {}
    // A failure on the phone ends the command's session (adb's sync): the rows after it that did not arrive
    // either may never have been tried, so they run again, grouped anew. Needs confirms().
    virtual bool failureEndsGroup() const { return false; }
};

// A command that adb reports one line per path: see BatchRunner::readNamedLine.
class NamedLinesCommand : public GroupCommand {
public:
    void readLine(const QList<BatchRow *> &members, const QString &line) override;
    void finish(const QList<BatchRow *> &members) override;
};

// Runs a batch's rows, neighbours together in as few commands as the limit allows, and logs every row in
// order as its result comes, so that the log reads as if the rows ran one by one. Rows a command gave no
// result for run again alone; after a Cancel every row not done is logged "Cancelled".
class BatchRunner {
public:
    explicit BatchRunner(Operation &op) : m_op(op) {}

    // False when the batch was stopped.
    bool run(QList<BatchRow> &rows, int n, GroupCommand &command, bool counter = true);

    // For commands that adb reports one line per path ("<path>: 1 file pulled", errors naming it): each
    // line goes to the row it names (in a group of one, every line); a row is settled by adb's count of it
    // at the start of a line, or once a later row is named or the command has ended.
    static void readNamedLine(const QList<BatchRow *> &members, const QString &line);
    static void settleNamed(const QList<BatchRow *> &members);
    // Whether a line is adb's count of what it moved of `source`: "<source>: N files pulled|pushed", read
    // only from the start of the line.
    static bool isCountLine(const QString &line, const QString &source);
    // What to log of a row that did not arrive: adb's lines about it without its count lines where others
    // say what went wrong, then `verdict`.
    static QString failedResult(const BatchRow &row, const QString &verdict);
    // Whether those lines can name `path`: not when a line break or another control character is in it.
    static bool nameable(const QString &path);

private:
    class Log;
    // Runs one command; the first row to go again in a new group (see GroupCommand::failureEndsGroup()).
    BatchRow *runGroup(const QList<BatchRow *> &members, GroupCommand &command, Log &log);
    // One row by itself: `alone` where the command has it, else a group of one; false when the batch stops.
    bool runAlone(BatchRow &row, GroupCommand &command, Log &log);

    Operation &m_op;
};
