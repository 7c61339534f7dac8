#include "platform/process.h"

#include <QProcess>
#include <QStandardPaths>

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

void lineBuffered(QString &program, QStringList &arguments)
{
#ifdef Q_OS_UNIX
    // stdbuf sets the C library's buffering and then becomes the program itself.
    static const QString stdbuf = QStandardPaths::findExecutable(QStringLiteral("stdbuf"));
    if (stdbuf.isEmpty())
        return;
    arguments.prepend(program);
    arguments.prepend(QStringLiteral("-oL"));
    program = stdbuf;
#else
    Q_UNUSED(program);
    Q_UNUSED(arguments);
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
