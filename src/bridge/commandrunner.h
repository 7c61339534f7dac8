#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// One child process to start: the program, its arguments, and the text form of the whole
// command line (what a user would type; kept for the log and for tests).
struct CommandLine {
    QString program;
    QStringList arguments;
    QString text;
};

// Splits a command-line text by the Windows rules: blanks separate, double quotes group,
// backslashes escape a quote only when they stand right before it.
QStringList splitCommandLine(const QString &text);

// Builds a CommandLine from a text command line.
CommandLine parseCommandLine(const QString &text);

// Runs one command to its end and hands back everything it printed (standard output and
// standard error merged), "error" when the program cannot be started, "" when output is not wanted.
class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    virtual QString run(const CommandLine &command, bool wantOutput) = 0;
};

// The runner that starts real processes; shared by every TADB unless a test injects another.
std::shared_ptr<CommandRunner> defaultCommandRunner();
