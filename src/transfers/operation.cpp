#include "transfers/operation.h"

#include "bridge/adbutils.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/prompter.h"

#include <algorithm>
#include <iterator>

namespace {

const QString kSpace = QStringLiteral(" ");

} // namespace

bool isSystemPath(const QString &path)
{
    return path.startsWith(QStringLiteral("/system/"));
}

Operation::Operation(QWidget *window, AdbClient &adb, OperationLog &log, Refresh refresh)
    : m_window(window), m_adb(adb), m_log(log), m_refresh(std::move(refresh))
{
    if (!m_adb.cancelToken())
        m_adb.setCancelToken(std::make_shared<CancelToken>());
}

bool Operation::hasRows(int count) const
{
    if (count > 0)
        return true;
    prompter().information(m_window, QStringLiteral("Check or highlight at least one item first."));
    return false;
}

bool Operation::allowed(const QString &target) const
{
    if (!isSystemPath(target) || appState().rootAccess)
        return true;
    prompter().stop(m_window, QStringLiteral("Access denied!"),
                    QStringLiteral("This operation needs root access."));
    return false;
}

QWidget *Operation::questionParent() const
{
    return m_log.questionParent();
}

void Operation::begin(const QStringList &header)
{
    const std::shared_ptr<CancelToken> token = m_adb.cancelToken();
    token->reset();
    m_progress = {};
    std::fill(std::begin(m_counts), std::end(m_counts), 0);
    m_reasons.clear();
    m_log.beginOperation([token] { token->cancel(); });
    for (const QString &text : header)
        m_log.logLine(text);
    gap();
    m_log.logLine(QStringLiteral("Starting operation..."));
    gap();
}

void Operation::remountFor(const QString &target)
{
    if (!isSystemPath(target))
        return;
    m_log.logLine(QStringLiteral("Remounting..."));
    gap();
    m_adb.remount();
}

void Operation::setTotals(int rows, qint64 bytes)
{
    m_progress = TransferProgress{0, rows, 0, bytes};
}

void Operation::progress(int rowsDone, qint64 bytesDone)
{
    m_progress.rowsDone = rowsDone;
    m_progress.bytesDone = bytesDone;
    m_log.reportProgress(m_progress);
}

bool Operation::row(int k, int n, const QString &text)
{
    if (m_progress.rowsTotal == 0)
        m_progress.rowsTotal = n;
    progress(k - 1, m_progress.bytesDone);
    return row(u'[' + QString::number(k) + u'/' + QString::number(n) + QStringLiteral("] ") + text);
}

bool Operation::row(const QString &text)
{
    if (isCancelled())
        return cancelled();
    m_log.logLine(text);
    return true;
}

bool Operation::finishRow(const QString &output, const std::function<void()> &undoPartial)
{
    if (isCancelled()) {
        if (undoPartial)
            undoPartial();
        return cancelled();
    }
    m_log.logLine(output);
    gap();
    return true;
}

void Operation::line(const QString &text)
{
    m_log.logLine(text);
}

void Operation::gap()
{
    m_log.logLine(kSpace);
}

bool Operation::cancelled()
{
    m_log.logLine(QStringLiteral("Cancelled"));
    gap();
    tally(RowOutcome::Cancelled);
    return false;
}

void Operation::tally(RowOutcome outcome, const QString &reason)
{
    ++m_counts[int(outcome)];
    if (outcome == RowOutcome::Failed && !m_reasons.contains(reason))
        m_reasons << reason;
}

QString Operation::summary() const
{
    static const char *const words[] = {"done", "failed", "skipped", "cancelled"};
    int total = 0;
    for (int count : m_counts)
        total += count;
    if (total == 0)
        return {};
    QString text;
    for (int i = 0; i < 4; ++i) {
        if (m_counts[i] == 0)
            continue;
        // The first count says of how many: "1 of 3 done, 2 failed".
        if (text.isEmpty())
            text = QString::number(m_counts[i]) + QStringLiteral(" of ") + QString::number(total);
        else
            text += QStringLiteral(", ") + QString::number(m_counts[i]);
        text += u' ' + QLatin1String(words[i]);
        // One reason shared by every failure is worth saying; several are in the lines above.
        if (i == int(RowOutcome::Failed) && m_reasons.size() == 1 && !m_reasons.first().isEmpty())
            text += QStringLiteral(": ") + m_reasons.first();
    }
    return text;
}

bool Operation::isCancelled() const
{
    return m_adb.isCancelled();
}

void Operation::end()
{
    // Rows that ended fill the bar; the cancelled ones leave it where the operation stopped.
    const int ended =
        m_counts[int(RowOutcome::Done)] + m_counts[int(RowOutcome::Failed)] + m_counts[int(RowOutcome::Skipped)];
    if (m_progress.rowsTotal > 0 && ended > m_progress.rowsDone)
        progress(std::min(ended, m_progress.rowsTotal), m_progress.bytesDone);
    m_log.endOperation(summary());
    // Commands after the operation run again.
    m_adb.cancelToken()->reset();
}

void Operation::end(const QString &target, Location where)
{
    end();
    if (m_refresh)
        m_refresh(target, where);
}
