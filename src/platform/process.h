#pragma once

#include <QtGlobal>

class QProcess;

// Child processes that can be stopped together with whatever they started.
namespace platform {

// Makes the child lead a process group of its own, so that stopping it reaches its children too.
void startOwnProcessGroup(QProcess &process);

// Stops a child started with startOwnProcessGroup and everything in its group.
void killProcessTree(qint64 pid);

} // namespace platform
