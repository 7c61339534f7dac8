#include "bridge/programrun.h"

#include "platform/platform.h"
#include "platform/process.h"

#include <QProcess>

ProgramRun::ProgramRun(QObject *parent) : QObject(parent)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] { stopAs(RunEnd::TimedOut); });
}

ProgramRun::~ProgramRun()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    if (m_cancel)
        m_cancel->detach();
    if (m_process->state() == QProcess::NotRunning)
        return;
    // Nothing waits for the killed child here: its process object goes once it has reaped it.
    QProcess *process = m_process.release();
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    platform::killProcessTree(process->processId());
}

void ProgramRun::start(const CommandLine &command, const RunOptions &options)
{
    if (isRunning())
        return;
    m_stopReason.reset();
    m_cancel = options.cancel;
    // A fresh decoder: a character cut by the previous run's end must not spill into this one.
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    if (m_cancel && m_cancel->isCancelled()) {
        emit finished(RunEnd::Stopped, 0);
        return;
    }
    const qsizetype limit = platform::maxCommandLineLength();
    // A shortened command line could act on another path; refuse instead of cutting it.
    if (command.program.isEmpty() || (limit > 0 && command.text.size() > limit)) {
        emit finished(RunEnd::NotStarted, 0);
        return;
    }

    m_ended.reset();
    m_process = std::make_unique<QProcess>();
    QProcess &process = *m_process;
    platform::startOwnProcessGroup(process);
    QString program = command.program;
    QStringList arguments = command.arguments;
    if (options.lineBuffered)
        platform::lineBuffered(program, arguments);
    process.setProgram(program);
    process.setArguments(arguments);
    // Nobody types into the child: a command that reads its input sees the end at once.
    process.setStandardInputFile(QProcess::nullDevice());
    if (!options.stdoutFile.isEmpty()) {
        process.setStandardOutputFile(options.stdoutFile, QIODevice::Truncate);
        if (options.discardOutput)
            process.setStandardErrorFile(QProcess::nullDevice());
        else
            process.setReadChannel(QProcess::StandardError);
    } else if (options.discardOutput) {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setProcessChannelMode(QProcess::MergedChannels);
    }

    connect(&process, &QProcess::readyReadStandardOutput, this, &ProgramRun::readOutput);
    connect(&process, &QProcess::readyReadStandardError, this, &ProgramRun::readOutput);
    connect(&process, &QProcess::started, this, [this] {
        if (m_cancel && !m_cancel->attach(m_process->processId()))
            m_stopReason = RunEnd::Stopped;
    });
    connect(&process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        readOutput();
        if (m_cancel && m_cancel->isCancelled() && !m_stopReason)
            m_stopReason = RunEnd::Stopped;
        if (m_stopReason)
            end(*m_stopReason, 0);
        else
            end(status == QProcess::NormalExit ? RunEnd::Exited : RunEnd::Crashed, exitCode);
    });
    connect(&process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end(RunEnd::NotStarted, 0);
    });
    if (options.timeoutMs >= 0)
        m_limit.start(options.timeoutMs);
    process.start(QIODevice::ReadOnly);
}

void ProgramRun::stop()
{
    stopAs(RunEnd::Stopped);
}

bool ProgramRun::isRunning() const
{
    return m_process != nullptr;
}

void ProgramRun::stopAs(RunEnd reason)
{
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    if (!m_stopReason)
        m_stopReason = reason;
    platform::killProcessTree(m_process->processId());
}

void ProgramRun::readOutput()
{
    // A child whose output all goes elsewhere has nothing to read: the device is not even readable then.
    if (!m_process->isReadable())
        return;
    QByteArray bytes = m_process->readAll();
    // A NUL inside the output is dropped on its own; what follows it is kept.
    bytes.removeIf([](char c) { return c == '\0'; });
    const QString text = m_decoder.decode(bytes);
    if (!text.isEmpty())
        emit output(text);
}

void ProgramRun::end(RunEnd how, int exitCode)
{
    m_limit.stop();
    if (m_cancel)
        m_cancel->detach();
    // The process object may not be deleted inside its own signal, nor left to an event loop that a
    // worker thread may never run again: it goes at the next start or with the run.
    m_process->disconnect(this);
    m_ended = std::move(m_process);
    emit finished(how, exitCode);
}
