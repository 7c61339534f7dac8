#pragma once

#include "bridge/commandrunner.h"

#include <QObject>
#include <QStringDecoder>
#include <QTimer>

#include <memory>

class QProcess;

// One child process driven by signals: its output is handed on while it arrives, the end is signalled, and
// nothing waits for it. It can be stopped at any time, by stop(), by the options' cancel token or by their
// time limit; stopping reaches everything the child started.
class ProgramRun : public QObject {
    Q_OBJECT
public:
    explicit ProgramRun(QObject *parent = nullptr);
    ~ProgramRun() override;

    // Starts `command`; output() follows as text comes, finished() once at the end, also when the program
    // cannot be started (then possibly before start() returns). Does nothing while a run is going on. The
    // options' callbacks are not used here: their signals stand in for them.
    virtual void start(const CommandLine &command, const RunOptions &options = {});
    // Stops the child with its process group; finished(Stopped) follows.
    virtual void stop();
    virtual bool isRunning() const;

signals:
    // Decoded as UTF-8 across pieces; NULs are dropped.
    void output(const QString &text);
    // `exitCode` means something only for RunEnd::Exited.
    void finished(RunEnd end, int exitCode);

private:
    void readOutput();
    void stopAs(RunEnd reason);
    void end(RunEnd how, int exitCode);

    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QProcess> m_ended;
    std::shared_ptr<CancelToken> m_cancel;
    QStringDecoder m_decoder;
    QTimer m_limit;
    std::optional<RunEnd> m_stopReason;
};
