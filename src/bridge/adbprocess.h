#pragma once

#include "bridge/commandrunner.h"

#include <QThread>

#include <optional>

// Worker for one command: starts the child, reads its merged output (or only its standard error,
// when standard output goes to a file) to the end, waits for it, then signals. The caller waits in a nested event loop
// woken by that signal, so windows stay painted and the waiting thread sleeps instead of spinning.
class TADBProcess final : public QThread {
    Q_OBJECT
public:
    TADBProcess(CommandLine command, bool wantOutput, RunOptions options = {});

    // Output is valid once the thread has finished.
    QString output() const { return Output; }

    static QString runAndWait(const CommandLine &command, bool wantOutput, const RunOptions &options = {});

signals:
    void outputReady();
    // A piece of output while the command runs, when RunOptions::onOutput asks for it.
    void outputArrived(const QByteArray &bytes);

protected:
    void run() override { Execute(); }

private:
    void Execute();

    QString Output;
    std::optional<int> m_exitCode; // only for a child that ended by itself
    CommandLine m_command;
    bool WantOutput;
    RunOptions m_options;
};
