#pragma once

#include <QMutex>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// One child process to start: the program, its arguments, and the text form of the whole
// command line (what a user would type; kept for the log and for tests).
struct CommandLine {
    QString program;
    QStringList arguments;
    QString text;
};

// A command line the user typed (in the settings), split the way QProcess splits one; no shell reads it.
CommandLine typedCommandLine(const QString &text);

// How a child came to its end.
enum class RunEnd { Exited, Crashed, Stopped, TimedOut, NotStarted };

// What one adb call came to. `output` is what the child printed ("error" when it could not be started);
// `errorText` says why the call failed (it could not start, was stopped, ended with a non-zero status, or
// said so) and is empty when it did what was asked.
struct CommandResult {
    std::optional<int> exitStatus; // only for a child that ended by itself
    QString output;
    QString errorText;
    bool ok() const { return errorText.isEmpty(); }
};

// Lets one party stop the commands another party waits for. Once cancelled it stays so until
// reset: the rest of a batch sees it between commands as well as during one.
class CancelToken {
public:
    // Stops the running child (with its process group) and every later command under this token.
    void cancel();
    bool isCancelled() const;
    void reset();

    // For runners: the child now running under this token; 0 when none. False when already cancelled.
    bool attach(qint64 pid);
    void detach();

private:
    mutable QMutex m_mutex;
    qint64 m_pid = 0;
    bool m_cancelled = false;
};

struct RunOptions {
    std::shared_ptr<CancelToken> cancel;
    int timeoutMs = -1; // the child is stopped after this long; -1 waits for ever
    // When set, standard output goes raw into this file (created or truncated) and the runner
    // hands back only standard error: binary data never passes through text.
    QString stdoutFile;
    // Nothing is read: the child's output (or, with stdoutFile, its standard error) goes nowhere.
    bool discardOutput = false;
    // For the waiting runner: called in the waiting thread with each piece of output as it arrives, before the command
    // ends.
    std::function<void(const QString &)> onOutput;
    // The child writes its output a line at a time even into a pipe (adb would otherwise keep its report
    // lines until it ends), where the platform can ask for that.
    bool lineBuffered = false;
    // Called in the waiting thread every `tickMs` while the command runs.
    std::function<void()> onTick;
    int tickMs = 250;
    // Called with the child's exit code once it has ended by itself; not when it could not start,
    // crashed, or was stopped. A program's words can pass for success; its exit code cannot.
    std::function<void(int)> onExit;
    // Called with how the child ended, by runners that can tell.
    std::function<void(RunEnd)> onEnd;
};

// Runs one command to its end and hands back everything it printed (standard output and
// standard error merged), "error" when the program cannot be started, "" when output is not wanted.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual QString run(const CommandLine &command, bool wantOutput) = 0;
    // The same, stoppable: a cancelled or timed-out command returns what it printed until then.
    virtual QString runWith(const CommandLine &command, bool wantOutput, const RunOptions &options)
    {
        if (options.cancel && options.cancel->isCancelled())
            return QString();
        return run(command, wantOutput);
    }
};

// The runner that starts real processes; shared by every AdbClient unless a test injects another.
std::shared_ptr<CommandRunner> defaultCommandRunner();
