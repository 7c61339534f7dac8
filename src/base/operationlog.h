#pragma once

#include <QString>

#include <functional>

class QWidget;

// Where a long operation reports its steps, line by line; the window that shows them lives above
// the features that use it.
class OperationLog {
public:
    virtual ~OperationLog() = default;

    // `cancel` stops the operation's running command; the operation then logs "Cancelled" and ends.
    virtual void BeginOperation(std::function<void()> cancel = {}) = 0;
    virtual void LogLine(const QString &text) = 0;
    // Always reaches the finished state, also when the log file cannot be written.
    virtual void EndOperation() = 0;
    // Questions asked while the operation runs stand over this window.
    virtual QWidget *questionParent() = 0;
};
