#pragma once

#include "base/operationlog.h"

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;
class AdbClient;
class OperationLog;

// Where a refreshed location lives: the caller knows whether a path is on the phone or the PC.
enum class Location { Phone, Pc, Apps };

// How a row of an operation ended, for the line that sums the operation up.
enum class RowOutcome { Done, Failed, Skipped, Cancelled };

// Writing there needs root access and a remount.
bool isSystemPath(const QString &path);

// The frame every multi-step command on the phone shares: the checks before it, the operation log
// with its header, the remount for /system/, one counted line per row with Cancel honoured between
// rows, and the refresh of what changed. The log lines are the ones the user and the tests read.
class Operation {
public:
    using Refresh = std::function<void(const QString &, Location)>;

    Operation(QWidget *window, AdbClient &adb, OperationLog &log, Refresh refresh);

    // False, after telling the user, when nothing is selected.
    bool hasRows(int count) const;
    // False, after telling the user, when `target` is under /system/ and the phone is not rooted.
    bool allowed(const QString &target) const;

    // Where the questions of a running operation are asked.
    QWidget *questionParent() const;
    // Opens the log with the header lines; Cancel in the log stops the running command.
    void begin(const QStringList &header);
    // Remounts /system/ writable before writing there.
    void remountFor(const QString &target);
    // Logs "[k/n] text"; false (logging "Cancelled") when the operation was cancelled before the row.
    bool row(int k, int n, const QString &text);
    // The same for the one row of a single-item command, without the counter.
    bool row(const QString &text);
    // The size of the batch for the progress bar; a total of 0 is not known. row(k, n, ...) moves it on.
    void setTotals(int rows, qint64 bytes);
    void progress(int rowsDone, qint64 bytesDone);
    // Logs a row's result; when cancelled meanwhile, undoes what the row left half written, logs
    // "Cancelled" and returns false.
    bool finishRow(const QString &output, const std::function<void()> &undoPartial = {});
    void line(const QString &text);
    // The blank line that closes a row's lines.
    void gap();
    // Logs "Cancelled" and counts the row so; false, to end the loop.
    bool cancelled();
    // Counts how a row ended; `reason` says in a few words why one failed ("permission denied").
    void tally(RowOutcome outcome, const QString &reason = {});
    // "2 of 3 done, 1 failed: permission denied"; empty when no row was counted.
    QString summary() const;
    bool isCancelled() const;
    // Closes the log with the summary and lets later commands run again.
    void end();
    // The same, then lists again whatever shows `target`.
    void end(const QString &target, Location where);

private:
    QWidget *m_window;
    AdbClient &m_adb;
    OperationLog &m_log;
    Refresh m_refresh;
    TransferProgress m_progress;
    int m_counts[4] = {};
    QStringList m_reasons; // of the failed rows, each once
};
