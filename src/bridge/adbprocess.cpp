#include "bridge/adbprocess.h"

#include "platform/platform.h"
#include "platform/process.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

TADBProcess::TADBProcess(CommandLine command, bool wantOutput, RunOptions options)
    : m_command(std::move(command)), WantOutput(wantOutput), m_options(std::move(options))
{
}

void TADBProcess::Execute()
{
    const QString error = QStringLiteral("error");
    const qsizetype limit = platform::maxCommandLineLength();
    // A shortened command line could act on another path; refuse instead of cutting it.
    if (m_command.program.isEmpty() || (limit > 0 && m_command.text.size() > limit)) {
        Output = error;
        emit outputReady();
        return;
    }

    CancelToken *cancel = m_options.cancel.get();
    if (cancel && cancel->isCancelled()) {
        emit outputReady();
        return;
    }

    QProcess process;
    platform::startOwnProcessGroup(process);
    QString program = m_command.program;
    QStringList arguments = m_command.arguments;
    if (m_options.lineBuffered)
        platform::lineBuffered(program, arguments);
    process.setProgram(program);
    process.setArguments(arguments);
    // A GUI program has no console to share; a child that reads input gets end of file at once.
    process.setStandardInputFile(QProcess::nullDevice());
    if (!m_options.stdoutFile.isEmpty()) {
        process.setStandardOutputFile(m_options.stdoutFile, QIODevice::Truncate);
        if (WantOutput)
            process.setReadChannel(QProcess::StandardError);
        else
            process.setStandardErrorFile(QProcess::nullDevice());
    } else if (WantOutput) {
        process.setProcessChannelMode(QProcess::MergedChannels);
    } else {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
    }
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        Output = error;
        emit outputReady();
        return;
    }

    if (cancel)
        cancel->attach(process.processId());

    // Blocks in the kernel until output comes, the child ends, or the deadline passes.
    const QDeadlineTimer deadline(m_options.timeoutMs < 0 ? QDeadlineTimer::Forever
                                                          : QDeadlineTimer(m_options.timeoutMs));
    auto remaining = [&deadline] {
        return deadline.isForever() ? -1 : int(std::max<qint64>(deadline.remainingTime(), 0));
    };
    QByteArray bytes;
    bool stopped = false;
    for (;;) {
        if (WantOutput && process.waitForReadyRead(remaining())) {
            const QByteArray chunk = process.readAll();
            bytes += chunk;
            if (m_options.onOutput)
                emit outputArrived(chunk);
            continue;
        }
        // No more output: the child ended, the deadline passed, or it closed its output and goes on.
        if (process.state() == QProcess::NotRunning)
            break;
        if (!deadline.hasExpired() && process.waitForFinished(remaining()))
            break;
        if (process.state() == QProcess::NotRunning)
            break;
        platform::killProcessTree(process.processId());
        stopped = true;
        break;
    }
    process.waitForFinished(-1);
    if (cancel) {
        stopped = stopped || cancel->isCancelled();
        cancel->detach();
    }
    if (!stopped && process.exitStatus() == QProcess::NormalExit)
        m_exitCode = process.exitCode();
    if (WantOutput) {
        const QByteArray rest = process.readAll();
        bytes += rest;
        if (m_options.onOutput && !rest.isEmpty())
            emit outputArrived(rest);
    }

    // A NUL inside the output is dropped on its own; what follows it is kept.
    bytes.removeIf([](char c) { return c == '\0'; });
    Output = QString::fromUtf8(bytes);
    emit outputReady();
}

QString TADBProcess::runAndWait(const CommandLine &command, bool wantOutput, const RunOptions &options)
{
    TADBProcess worker(command, wantOutput, options);
    QEventLoop loop;
    // Queued like the end, so every piece comes before it; the decoder keeps characters split between pieces.
    QStringDecoder decoder(QStringDecoder::Utf8);
    if (options.onOutput) {
        connect(
            &worker, &TADBProcess::outputArrived, &loop,
            [&](QByteArray bytes) {
                bytes.removeIf([](char c) { return c == '\0'; });
                options.onOutput(decoder.decode(bytes));
            },
            Qt::QueuedConnection);
    }
    connect(&worker, &TADBProcess::outputReady, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer ticks;
    if (options.onTick) {
        connect(&ticks, &QTimer::timeout, &loop, [&] { options.onTick(); });
        ticks.start(std::max(10, options.tickMs));
    }
    worker.start();
    loop.exec();
    // The loop also ends early when the application is quitting; the command still runs to its end.
    worker.wait();
    if (options.onExit && worker.m_exitCode)
        options.onExit(*worker.m_exitCode);
    return worker.output();
}
