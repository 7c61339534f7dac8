#include "platform/platform.h"

#include <QDir>
#include <QSettings>

namespace platform {

qsizetype maxCommandLineLength()
{
#ifdef Q_OS_WIN
    return 32767;
#else
    return 0;
#endif
}

QString adbFileName()
{
#ifdef Q_OS_WIN
    return QStringLiteral("adb.exe");
#else
    return QStringLiteral("adb");
#endif
}

void prependToSearchPath(const QString &folder)
{
    if (folder.isEmpty())
        return;
    const QString native = QDir::toNativeSeparators(folder);
    const QString current = qEnvironmentVariable("PATH");
    const QChar sep = QDir::listSeparator();
    if (current.split(sep).contains(native))
        return;
    qputenv("PATH", (current.isEmpty() ? native : native + sep + current).toLocal8Bit());
}

bool hasSystemSearchPath()
{
#ifdef Q_OS_WIN
    return true;
#else
    return false;
#endif
}

QString defaultPcFolder()
{
#ifdef Q_OS_WIN
    return QStringLiteral("C:\\");
#else
    return QDir::homePath() + u'/';
#endif
}

bool addToSystemSearchPath(const QString &folder, QString *error)
{
#ifdef Q_OS_WIN
    QSettings env(QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"),
                  QSettings::NativeFormat);
    const QString old = env.value(QStringLiteral("Path")).toString();
    env.setValue(QStringLiteral("Path"), old + u';' + QDir::toNativeSeparators(folder));
    env.sync();
    if (env.status() != QSettings::NoError) {
        if (error)
            *error = QStringLiteral("Access to the registry was denied.");
        return false;
    }
    return true;
#else
    Q_UNUSED(folder);
    if (error)
        *error = QStringLiteral("This system has no machine-wide search path to change.");
    return false;
#endif
}

} // namespace platform
