#pragma once

#include "bridge/commandrunner.h"

#include <QHash>
#include <QList>

// Records every command a TADB builds and answers from a table keyed by the command's text form.
class RecordingRunner final : public CommandRunner {
public:
    QString run(const CommandLine &command, bool wantOutput) override
    {
        commands << command;
        wanted << wantOutput;
        return answers.value(command.text, defaultAnswer);
    }

    QStringList texts() const
    {
        QStringList result;
        for (const CommandLine &c : commands)
            result << c.text;
        return result;
    }

    QList<CommandLine> commands;
    QList<bool> wanted;
    QHash<QString, QString> answers;
    QString defaultAnswer;
};
