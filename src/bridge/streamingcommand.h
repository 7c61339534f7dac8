#pragma once

#include "bridge/commandrunner.h"

#include <QObject>
#include <QProcess>
#include <QStringDecoder>

#include <memory>

// How a streamed command came to its end.
enum class StreamEnd { Ended, Stopped, NotStarted };

// One command whose merged output is handed on while it arrives, for commands that may run long
// or never end (a shell command typed by the user). It can be stopped at any time.
class StreamingCommand : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Starts `command`; output() follows as text comes, finished() once at the end, also when the
    // program cannot be started. Does nothing while a command is running.
    virtual void start(const CommandLine &command) = 0;
    // Stops the command with everything it started; finished(Stopped) follows.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

signals:
    void output(const QString &text);
    void finished(StreamEnd end);
};

// The one that runs real processes, in their own process group.
class ProcessStreamingCommand final : public StreamingCommand {
    Q_OBJECT
public:
    explicit ProcessStreamingCommand(QObject *parent = nullptr);
    ~ProcessStreamingCommand() override;

    void start(const CommandLine &command) override;
    void stop() override;
    bool isRunning() const override;

private:
    void readOutput();
    void end(StreamEnd end);

    std::unique_ptr<QProcess> m_process;
    QStringDecoder m_decoder;
    bool m_stopping = false;
};
