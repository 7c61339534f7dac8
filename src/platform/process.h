#pragma once

#include <QString>
#include <QStringList>

class QProcess;

// Child processes that can be stopped together with whatever they started.
namespace platform {

// Makes the child lead a process group of its own, so that stopping it reaches its children too.
void startOwnProcessGroup(QProcess &process);

// Starts the child with its standard output line buffered (through stdbuf where it exists); the
// program and its arguments change, the child's process id stays the one to stop.
void lineBuffered(QString &program, QStringList &arguments);

// Stops a child started with startOwnProcessGroup and everything in its group.
void killProcessTree(qint64 pid);

} // namespace platform
