#pragma once

#include "bridge/commandrunner.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMutex>

// Records every command an AdbClient builds and answers from a table keyed by the command's text form.
// A command whose standard output goes to a file gets the bytes of `fileAnswers` there, and its
// `answers` entry as its standard error. Each command ends with its `exitCodes` entry. Commands may come from
// several threads at once (aapt runs on every core).
class RecordingRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool) override
    {
        record(command);
        return answers.value(command.text, defaultAnswer);
    }

    QString runWith(const CommandLine &command, bool wantOutput, const RunOptions &options) override
    {
        if (options.cancel && options.cancel->isCancelled())
            return QString();
        if (options.onExit)
            options.onExit(exitCodes.value(command.text, 0));
        if (options.stdoutFile.isEmpty())
            return run(command, wantOutput);
        QFile file(options.stdoutFile);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(fileAnswers.value(command.text));
        record(command);
        return answers.value(command.text);
    }

    QStringList texts() const
    {
        QStringList result;
        for (const CommandLine &c : commands)
            result << c.text;
        return result;
    }

    QList<CommandLine> commands;
    QHash<QString, QString> answers;
    QHash<QString, QByteArray> fileAnswers;
    QHash<QString, int> exitCodes; // 0 for a command not in it
    QString defaultAnswer;

private:
    void record(const CommandLine &command)
    {
        const QMutexLocker lock(&m_lock);
        commands << command;
    }

    QMutex m_lock;
};
