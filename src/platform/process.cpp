#include "platform/process.h"

#include <QProcess>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

namespace platform {

void startOwnProcessGroup(QProcess &process)
{
#ifdef Q_OS_UNIX
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
#else
    Q_UNUSED(process);
#endif
}

void killProcessTree(qint64 pid)
{
    if (pid <= 0)
        return;
#ifdef Q_OS_UNIX
    ::kill(-pid_t(pid), SIGKILL);
    ::kill(pid_t(pid), SIGKILL);
#else
    // taskkill ends the whole tree of a Windows process.
    QProcess::execute(QStringLiteral("taskkill"),
                      {QStringLiteral("/F"), QStringLiteral("/T"), QStringLiteral("/PID"), QString::number(pid)});
#endif
}

} // namespace platform
