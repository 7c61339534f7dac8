#pragma once

#include <QString>

#include <functional>

class QWidget;

// How far a batch has come. A total of 0 is not known (no bar for it); `rowsDone` counts finished rows,
// `bytesDone` includes the part of the row on its way.
struct TransferProgress {
    int rowsDone = 0;
    int rowsTotal = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
};

// Where a long operation reports its steps, line by line; the window that shows them lives above
// the features that use it.
class OperationLog {
public:
    virtual ~OperationLog() = default;

    // `cancel` stops the operation's running command; the operation then logs "Cancelled" and ends.
    virtual void beginOperation(std::function<void()> cancel = {}) = 0;
    virtual void logLine(const QString &text) = 0;
    // Called whenever the batch moves on: at each row, and a few times a second during a long transfer.
    virtual void reportProgress(const TransferProgress &progress) { (void)progress; }
    // Always reaches the finished state, also when the log file cannot be written. `summary` sums the
    // operation up ("2 of 3 done, 1 failed"); without one the log says the operation is complete.
    virtual void endOperation(const QString &summary = {}) = 0;
    // Questions asked while the operation runs stand over this window.
    virtual QWidget *questionParent() = 0;
};
