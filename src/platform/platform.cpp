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
            QStringLiteral(" You heve not set Android SDK Tools in System Path "),
            {QStringLiteral("Even if you have the Android SDK installed on PC, the program does not find it,"),
             QStringLiteral("if you do not have set the path to the SDK Tools directory in the System Path."),
             QStringLiteral("Program can set this up for you, but you must indicate to him the SDK Tools"),
             QStringLiteral("directory. Example: C:\\android-sdk-windows\\tools"),
             QStringLiteral("If you running Windows 7/Vista you must run program as Administrator or"),
             QStringLiteral("disable Windows UAC. Otherwise this function will fail!")},
            QStringLiteral("Set Android SDK Tools in System Path"),
            QStringLiteral("System Path has been set, to make full effect you should restart computer now!")};
#else
    // The program keeps the chosen folder in its settings and puts it in front of its own search path.
    return {{QStringLiteral("On Debian or Ubuntu you can install it with: sudo apt install adb")},
            QStringLiteral(" The program does not find adb in the search path "),
            {QStringLiteral("Even if you have the Android SDK installed, the program does not find adb"),
             QStringLiteral("if its directory is not in the search path (PATH)."),
             QStringLiteral("Program can remember it for you: indicate the SDK platform-tools"),
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
