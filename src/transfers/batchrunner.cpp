#include "transfers/batchrunner.h"

#include "transfers/operation.h"
#include "lists/listitem.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

QString counted(int k, int n, const QString &text)
{
    return u'[' + QString::number(k) + u'/' + QString::number(n) + QStringLiteral("] ") + text;
}

// Where a failure ends the command's session, the rows after the first that did not arrive, and did not
// either, were never tried: they are made unanswered again before the log shows them, and go again as a new
// group.
class FailureWatch {
public:
    FailureWatch(const QList<BatchRow *> &members, const GroupCommand &command)
        : m_members(members), m_on(command.failureEndsGroup() && command.confirms())
    {
    }

    // While the command runs: judges the rows confirmed since the last call, in order, each once.
    void update()
    {
        for (; m_on && m_next < m_members.size() && m_members.at(m_next)->arrived; ++m_next)
            judge(m_members.at(m_next));
    }

    // Once it ended: every row judged; the first row after the failure left unanswered, or null.
    BatchRow *finish()
    {
        if (!m_on)
            return nullptr;
        m_failed = false;
        BatchRow *again = nullptr;
        for (BatchRow *row : m_members) {
            const bool after = m_failed;
            if (row->arrived)
                judge(row);
            if (after && !row->result && !again)
                again = row;
        }
        return again;
    }

private:
    void judge(BatchRow *row)
    {
        if (*row->arrived)
            return;
        if (!m_failed) {
            m_failed = true;
            return;
        }
        row->result.reset();
        row->arrived.reset();
        row->reported = false;
        row->lines.clear();
    }

    const QList<BatchRow *> &m_members;
    const bool m_on;
    qsizetype m_next = 0;
    bool m_failed = false;
};

// Until its target confirms it, a row counts on the bar as moved once its command is past it without a word
// against it.
bool provisional(const BatchRow &row)
{
    if (!row.reported)
        return false;
    return std::all_of(row.lines.cbegin(), row.lines.cend(), [&row](const QString &line) {
        return BatchRunner::isCountLine(line, row.source) || trimOutput(line).isEmpty();
    });
}

// The first row its command has not named yet: the one on its way.
BatchRow *onItsWay(const QList<BatchRow *> &members)
{
    const auto found =
        std::find_if(members.cbegin(), members.cend(), [](const BatchRow *row) { return !row->reported; });
    return found != members.cend() ? *found : nullptr;
}

} // namespace

bool logUnwritten(Operation &op, const BatchRow &row)
{
    switch (row.step) {
    case RowStep::Write:
        return true;
    case RowStep::Skip:
        op.line(QStringLiteral("Skipped: ") + escapeControls(row.target) + QStringLiteral(" exists"));
        op.gap();
        op.tally(RowOutcome::Skipped);
        return true;
    case RowStep::KindClash:
        op.line(escapeControls(row.target) + QStringLiteral(" exists and is not of the same kind. Failed"));
        op.gap();
        op.tally(RowOutcome::Failed, QStringLiteral("the target is not of the same kind"));
        return true;
    case RowStep::Refused:
        op.line(row.result.value_or(QString()));
        op.gap();
        op.tally(RowOutcome::Failed, row.reason);
        return true;
    case RowStep::Stop:
        break;
    }
    return op.cancelled();
}

// Writes a batch's rows to the log in order, each once it and every row before it are settled, so that the
// log reads as if the rows ran one by one: the settled rows, then the first line of the row on its way.
class BatchRunner::Log {
public:
    Log(Operation &op, QList<BatchRow> &rows, int n, bool counter, bool confirmed)
        : m_op(op), m_rows(rows), m_n(n), m_counter(counter), m_confirmed(confirmed)
    {
    }

    qsizetype next() const { return m_next; }

    void header()
    {
        if (m_shown || m_next >= m_rows.size())
            return;
        const BatchRow &row = m_rows.at(m_next);
        m_op.line(m_counter ? counted(row.k, m_n, row.header) : row.header);
        m_shown = true;
    }

    // Logs the settled rows from `next` on; stops at the first that is not, with its first line shown.
    void settle()
    {
        while (m_next < m_rows.size()) {
            const BatchRow &row = m_rows.at(m_next);
            if (row.step == RowStep::Stop || (row.step == RowStep::Write && !settled(row))) {
                if (row.step == RowStep::Write)
                    header();
                break;
            }
            header();
            if (row.step == RowStep::Write) {
                m_op.line(*row.result);
                m_op.gap();
            } else {
                logUnwritten(m_op, row);
            }
            advance();
        }
        progress(moved());
    }

    // The group that runs ends before `end`.
    void setGroupEnd(qsizetype end) { m_end = end; }

    // The bytes of the rows of the group from `next` on that their command has moved, not logged yet.
    qint64 moved() const
    {
        qint64 bytes = 0;
        for (qsizetype i = m_next; i < std::min(m_end, m_rows.size()); ++i) {
            const BatchRow &row = m_rows.at(i);
            if (row.step == RowStep::Write && (row.arrived ? *row.arrived : provisional(row)))
                bytes += row.size;
        }
        return bytes;
    }

    // The row at `next` is logged in full; one that ran alone logged its result itself, and counted
    // itself when it was cancelled (`counted`).
    void advance(bool counted = false)
    {
        BatchRow &row = m_rows[m_next];
        if (row.step == RowStep::Write) {
            // A row logged by a command that does not confirm counts as arrived.
            if (!row.arrived)
                row.arrived = true;
            if (*row.arrived)
                m_bytes += row.size;
            if (!counted)
                m_op.tally(*row.arrived ? RowOutcome::Done : RowOutcome::Failed, row.reason);
        }
        ++m_next;
        ++m_done;
        m_shown = false;
    }

    // The bytes `finished` of rows not logged yet and `partial` of the row on its way.
    void progress(qint64 finished, qint64 partial = 0)
    {
        m_op.progress(m_done, m_bytes + finished + std::max<qint64>(partial, 0));
    }

    // Its result is known and, where the command confirms, checked on the target.
    bool settled(const BatchRow &row) const { return row.result && (row.arrived || !m_confirmed); }

    // Every row from `next` on did not run: each is logged "Cancelled".
    bool cancelRest()
    {
        while (m_next < m_rows.size()) {
            header();
            m_op.cancelled();
            ++m_next;
            m_shown = false;
        }
        progress(0);
        return false;
    }

private:
    Operation &m_op;
    QList<BatchRow> &m_rows;
    int m_n;
    bool m_counter;
    bool m_confirmed;
    qsizetype m_next = 0;
    qsizetype m_end = 0;
    int m_done = 0; // rows that ran, not the cancelled ones
    bool m_shown = false;
    qint64 m_bytes = 0;
};

bool BatchRunner::run(QList<BatchRow> &rows, int n, GroupCommand &command, bool counter)
{
    Log log(m_op, rows, n, counter, command.confirms());
    const qsizetype count = rows.size();
    qsizetype i = 0;
    while (i < count) {
        log.settle();
        if (m_op.isCancelled() || rows.at(i).step == RowStep::Stop)
            return log.cancelRest();
        if (!rows.at(i).grouped) {
            log.setGroupEnd(i + 1);
            if (rows.at(i).step == RowStep::Write && !runAlone(rows[i], command, log))
                return log.cancelRest();
            ++i;
            continue;
        }
        QList<BatchRow *> members;
        qsizetype length = command.baseLength();
        qsizetype end = i;
        for (; end < count && rows.at(end).grouped && rows.at(end).step != RowStep::Stop; ++end) {
            // A row settled by an earlier command of its group is not sent again.
            if (rows.at(end).step != RowStep::Write || rows.at(end).result)
                continue;
            const qsizetype more = command.rowLength(rows.at(end));
            if (!members.isEmpty() && (length + more > command.limit() || !command.joins(members, rows.at(end))))
                break;
            members << &rows[end];
            length += more;
        }
        log.setGroupEnd(end);
        // After a failure that ended the session, the rest goes again as a new group; none of it started.
        BatchRow *again = runGroup(members, command, log);
        if (m_op.isCancelled())
            again = nullptr;
        const QList<BatchRow *> tried = again ? members.first(members.indexOf(again)) : members;
        // Rows the command gave no result for run alone in their turn: an adb that reports otherwise, a
        // group refused as a whole, a phone gone on the way. The one it was on may have left a part.
        if (BatchRow *stopped = onItsWay(tried); stopped && !m_op.isCancelled())
            command.undoPartial(*stopped);
        if (again)
            end = again - rows.constData();
        for (log.settle(); log.next() < end; log.settle()) {
            BatchRow &row = rows[log.next()];
            command.complete(row);
            // The user stopped the batch at this row's question.
            if (row.step == RowStep::Stop)
                return log.cancelRest();
            if (row.result)
                continue;
            if (m_op.isCancelled()) {
                // The row the group stopped in.
                command.undoPartial(row);
                return log.cancelRest();
            }
            if (!runAlone(row, command, log))
                return log.cancelRest();
        }
        i = end;
    }
    log.settle();
    return true;
}

bool BatchRunner::runAlone(BatchRow &row, GroupCommand &command, Log &log)
{
    log.header();
    if (command.runsAlone()) {
        const bool going = command.runAlone(row);
        log.advance(!going);
        return going;
    }
    row.lines.clear();
    row.reported = false;
    row.result.reset();
    row.arrived.reset();
    runGroup({&row}, command, log);
    if (!row.result) {
        if (m_op.isCancelled()) {
            command.undoPartial(row);
            return false;
        }
        // Not a word from adb: whether anything arrived is for the target to say.
        row.result = QString();
        if (command.confirms())
            command.confirm({&row});
    }
    log.settle();
    return true;
}

BatchRow *BatchRunner::runGroup(const QList<BatchRow *> &members, GroupCommand &command, Log &log)
{
    if (members.isEmpty() || m_op.isCancelled())
        return nullptr;
    FailureWatch failures(members, command);
    auto read = [&](const QString &text) {
        for (const QString &line : splitLines(text))
            command.readLine(members, line);
    };
    // The rows with a result not checked yet on their target.
    auto confirmSettled = [&] {
        QList<BatchRow *> due;
        for (BatchRow *row : members) {
            if (row->result && !row->arrived)
                due << row;
        }
        if (!due.isEmpty())
            command.confirm(due);
    };
    QString pending;
    bool streamed = false;
    Streaming streaming;
    streaming.onOutput = [&](const QString &text) {
        streamed = true;
        pending += text;
        const qsizetype cut = pending.lastIndexOf(u'\n');
        if (cut < 0)
            return;
        read(pending.left(cut + 1));
        pending.remove(0, cut + 1);
        if (command.confirms() && command.confirmsAsItGoes())
            confirmSettled();
        failures.update();
        log.settle();
    };
    streaming.onTick = [&] {
        const BatchRow *current = onItsWay(members);
        log.progress(log.moved(), current ? command.partialBytes(*current) : 0);
    };
    const QString output = command.run(members, streaming);
    read(streamed ? pending : output);
    command.finish(members);
    if (command.confirms())
        confirmSettled();
    return failures.finish();
}

void NamedLinesCommand::readLine(const QList<BatchRow *> &members, const QString &line)
{
    BatchRunner::readNamedLine(members, line);
}

void NamedLinesCommand::finish(const QList<BatchRow *> &members)
{
    BatchRunner::settleNamed(members);
}

void BatchRunner::readNamedLine(const QList<BatchRow *> &members, const QString &line)
{
    QStringList sources;
    sources.reserve(members.size());
    for (const BatchRow *row : members)
        sources << row->source;
    qsizetype named = namedPath(line, sources);
    if (named < 0) {
        // adb's summary line after several sources; for one source (a folder's files, a name with a line
        // break) every line is about it.
        if (members.size() != 1 || line.trimmed().isEmpty())
            return;
        named = 0;
    }
    BatchRow *row = members.at(named);
    row->lines << line;
    row->reported = true;
    // adb's count of a path settles its row; adb 30 and later count a push before the phone has taken it, so
    // the phone's refusal may still follow, and joins the result.
    if (row->result || isCountLine(line, row->source))
        row->result = trimOutput(row->lines.join(u'\n'));
    for (qsizetype i = 0; i < named; ++i) {
        BatchRow *earlier = members.at(i);
        if (earlier->reported && !earlier->result)
            earlier->result = trimOutput(earlier->lines.join(u'\n'));
    }
}

void BatchRunner::settleNamed(const QList<BatchRow *> &members)
{
    for (BatchRow *row : members) {
        if (row->reported && !row->result)
            row->result = trimOutput(row->lines.join(u'\n'));
    }
}

bool BatchRunner::isCountLine(const QString &line, const QString &source)
{
    static const QRegularExpression count(QStringLiteral(": \\d+ files? (pulled|pushed)"));
    return line.startsWith(source) && count
                                          .match(line, source.size(), QRegularExpression::NormalMatch,
                                                 QRegularExpression::AnchorAtOffsetMatchOption)
                                          .hasMatch();
}

QString BatchRunner::failedResult(const BatchRow &row, const QString &verdict)
{
    QStringList said;
    for (const QString &line : row.lines) {
        if (!isCountLine(line, row.source) && !isCountLine(line, row.source + u'/') && !trimOutput(line).isEmpty())
            said << trimOutput(line);
    }
    // Where adb only counted, its count is what it said.
    if (said.isEmpty())
        said = row.lines;
    said << verdict;
    return trimOutput(said.join(u'\n'));
}

bool BatchRunner::nameable(const QString &path)
{
    return std::none_of(path.cbegin(), path.cend(), [](QChar c) { return c.unicode() < 32 || c.unicode() == 127; });
}
