#include "bridge/commandrunner.h"

#include "bridge/programrun.h"
#include "platform/process.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

#include <algorithm>

CommandLine typedCommandLine(const QString &text)
{
    QStringList arguments = QProcess::splitCommand(text);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    return CommandLine{program, arguments, text};
}

void CancelToken::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = true;
    if (m_pid > 0)
        platform::killProcessTree(m_pid);
}

bool CancelToken::isCancelled() const
{
    QMutexLocker lock(&m_mutex);
    return m_cancelled;
}

void CancelToken::reset()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = false;
}

bool CancelToken::attach(qint64 pid)
{
    QMutexLocker lock(&m_mutex);
    m_pid = pid;
    if (m_cancelled && pid > 0)
        platform::killProcessTree(pid);
    return !m_cancelled;
}

void CancelToken::detach()
{
    QMutexLocker lock(&m_mutex);
    m_pid = 0;
}

namespace {

class ProcessCommandRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool wantOutput) override { return runWith(command, wantOutput, {}); }

    QString runWith(const CommandLine &command, bool wantOutput, const RunOptions &options) override
    {
        if (options.cancel && options.cancel->isCancelled())
            return QString();
        // The loop first: a thread that had no event loop gets one for the child's notifiers.
        QEventLoop loop;
        ProgramRun run;
        QString text;
        std::optional<RunEnd> end;
        int exitCode = 0;
        // Queued, so that a caller's reaction to its output (which may run commands of its own) never runs
        // inside the child's signals; the end comes after every piece.
        QObject::connect(
            &run, &ProgramRun::output, &loop,
            [&](const QString &piece) {
                text += piece;
                if (options.onOutput)
                    options.onOutput(piece);
            },
            Qt::QueuedConnection);
        QObject::connect(
            &run, &ProgramRun::finished, &loop,
            [&](RunEnd how, int code) {
                end = how;
                exitCode = code;
                loop.quit();
            },
            Qt::QueuedConnection);
        QTimer ticks;
        if (options.onTick) {
            QObject::connect(&ticks, &QTimer::timeout, &loop, [&] { options.onTick(); });
            ticks.start(std::max(10, options.tickMs));
        }
        RunOptions runOptions = options;
        runOptions.discardOutput = !wantOutput;
        run.start(command, runOptions);
        // The one place that waits for a child: the synchronous adb calls need the answer before they go on.
        // The windows keep painting meanwhile (the operation window is what the user sees), and Cancel or the
        // time limit ends the wait.
        loop.exec();
        // Once the application quits, every loop returns at once: the command still runs to its end.
        while (!end)
            loop.processEvents(QEventLoop::WaitForMoreEvents);
        const RunEnd how = *end;
        if (options.onEnd)
            options.onEnd(how);
        if (how == RunEnd::NotStarted)
            return QStringLiteral("error");
        if (how == RunEnd::Exited && options.onExit)
            options.onExit(exitCode);
        return wantOutput ? text : QString();
    }
};

} // namespace

std::shared_ptr<CommandRunner> defaultCommandRunner()
{
    static const std::shared_ptr<CommandRunner> runner = std::make_shared<ProcessCommandRunner>();
    return runner;
}
