#include "bridge/adbprocess.h"

#include "platform/platform.h"

#include <QEventLoop>
#include <QProcess>

TADBProcess::TADBProcess(CommandLine command, bool wantOutput)
    : m_command(std::move(command)), WantOutput(wantOutput)
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

    QProcess process;
    process.setProgram(m_command.program);
    process.setArguments(m_command.arguments);
    // A GUI program has no console to share; a child that reads input gets end of file at once.
    process.setStandardInputFile(QProcess::nullDevice());
    if (WantOutput) {
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

    QByteArray bytes;
    if (WantOutput) {
        while (process.waitForReadyRead(-1))
            bytes += process.readAll();
    }
    process.waitForFinished(-1);
    if (WantOutput)
        bytes += process.readAll();

    // A NUL inside the output is dropped on its own; what follows it is kept.
    bytes.removeIf([](char c) { return c == '\0'; });
    Output = QString::fromUtf8(bytes);
    emit outputReady();
}

QString TADBProcess::runAndWait(const CommandLine &command, bool wantOutput)
{
    TADBProcess worker(command, wantOutput);
    QEventLoop loop;
    connect(&worker, &TADBProcess::outputReady, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    worker.start();
    loop.exec();
    // The loop also ends early when the application is quitting; the command still runs to its end.
    worker.wait();
    return worker.output();
}
