#pragma once

#include "base/operationlog.h"

#include <QList>
#include <QStringList>

// Keeps what an operation logged and reported, in place of the log window.
class RecordingLog final : public OperationLog {
public:
    void beginOperation(std::function<void()>) override
    {
        running = true;
        progress = {};
    }
    void logLine(const QString &text) override { lines << text; }
    void reportProgress(const TransferProgress &now) override
    {
        progress = now;
        reports << now;
    }
    void endOperation(const QString &text = {}) override
    {
        running = false;
        ++ended;
        summary = text;
    }
    QWidget *questionParent() override { return nullptr; }

    QStringList lines;
    QList<TransferProgress> reports;
    TransferProgress progress; // the last report of the running operation
    QString summary;
    bool running = false;
    int ended = 0;
};
