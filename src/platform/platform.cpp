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

QStringList ddmsFileNames()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("ddms.bat"), QStringLiteral("monitor.bat")};
#else
    return {QStringLiteral("ddms"), QStringLiteral("monitor")};
#endif
}

QString programFilter(const QString &label)
{
#ifdef Q_OS_WIN
    return label + QStringLiteral(" (*.exe)");
#else
    return label + QStringLiteral(" (*)");
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

QString pcFilesCaption()
{
#ifdef Q_OS_WIN
    return QStringLiteral("Windows Files");
#else
    return QStringLiteral("PC Files");
#endif
}

AdbHelpTexts adbHelpTexts()
{
#ifdef Q_OS_WIN
    return {{},
            QStringLiteral(" Android SDK Tools are not in the system path "),
            {QStringLiteral("Even with the Android SDK installed on the PC, the program does not find it"),
             QStringLiteral("unless the SDK Tools directory is in the system path."),
             QStringLiteral("The program can set this up for you: choose the SDK Tools"),
             QStringLiteral("directory. Example: C:\\android-sdk-windows\\tools"),
             QStringLiteral("On Windows Vista or later, run the program as Administrator or"),
             QStringLiteral("turn off UAC; otherwise this fails.")},
            QStringLiteral("Put Android SDK Tools in the system path"),
            QStringLiteral("The system path has been set. Restart the computer for it to take full effect.")};
#else
    // The program keeps the chosen folder in its settings and puts it in front of its own search path.
    return {{QStringLiteral("On Debian or Ubuntu you can install it with: sudo apt install adb")},
            QStringLiteral(" The program does not find adb in the search path "),
            {QStringLiteral("Even if you have the Android SDK installed, the program does not find adb"),
             QStringLiteral("if its directory is not in the search path (PATH)."),
             QStringLiteral("The program can remember it for you: choose the SDK's platform-tools"),
             QStringLiteral("directory. Example: ~/Android/Sdk/platform-tools")},
            QStringLiteral("Set the Android SDK platform-tools directory"),
            QStringLiteral("The directory has been saved: start the program again to use adb from it.")};
#endif
}

bool addToSystemSearchPath(const QString &folder, QString *error)
{
#ifdef Q_OS_WIN
    QSettings env(
        QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment"),
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
