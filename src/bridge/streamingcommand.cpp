#include "bridge/streamingcommand.h"

#include "platform/platform.h"
#include "platform/process.h"

ProcessStreamingCommand::ProcessStreamingCommand(QObject *parent) : StreamingCommand(parent) {}

ProcessStreamingCommand::~ProcessStreamingCommand()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->disconnect(this);
        platform::killProcessTree(m_process->processId());
        m_process->waitForFinished(5000);
    }
}

void ProcessStreamingCommand::start(const CommandLine &command)
{
    if (isRunning())
        return;
    const qsizetype limit = platform::maxCommandLineLength();
    // A shortened command line could do something else; refuse instead of cutting it.
    if (command.program.isEmpty() || (limit > 0 && command.text.size() > limit)) {
        emit output(QStringLiteral("error"));
        emit finished(StreamEnd::NotStarted);
        return;
    }
    m_stopping = false;
    // A fresh decoder: a character cut by the previous command's end must not spill into this one.
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    m_process = std::make_unique<QProcess>();
    platform::startOwnProcessGroup(*m_process);
    m_process->setProgram(command.program);
    m_process->setArguments(command.arguments);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // Nobody types into the child: a command that reads its input sees the end at once.
    m_process->setStandardInputFile(QProcess::nullDevice());
    connect(m_process.get(), &QProcess::readyRead, this, &ProcessStreamingCommand::readOutput);
    connect(m_process.get(), &QProcess::finished, this, [this] {
        readOutput();
        end(m_stopping ? StreamEnd::Stopped : StreamEnd::Ended);
    });
    connect(m_process.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        emit output(QStringLiteral("error"));
        end(StreamEnd::NotStarted);
    });
    m_process->start(QIODevice::ReadOnly);
}

void ProcessStreamingCommand::stop()
{
    if (!isRunning())
        return;
    m_stopping = true;
    platform::killProcessTree(m_process->processId());
}

bool ProcessStreamingCommand::isRunning() const
{
    return m_process && m_process->state() != QProcess::NotRunning;
}

void ProcessStreamingCommand::readOutput()
{
    QByteArray bytes = m_process->readAll();
    // A NUL inside the output is dropped on its own, as the waiting runner does.
    bytes.removeIf([](char c) { return c == '\0'; });
    const QString text = m_decoder.decode(bytes);
    if (!text.isEmpty())
        emit output(text);
}

void ProcessStreamingCommand::end(StreamEnd how)
{
    // The process object may not be deleted inside its own signal.
    m_process->disconnect(this);
    m_process.release()->deleteLater();
    emit finished(how);
}
