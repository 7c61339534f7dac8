#pragma once

#include <QElapsedTimer>
#include <QString>

class AdbClient;

// How long the text of a grouped command may be: what the system takes on a command line and, for a shell
// command, what the phone's adbd takes.
class CommandLimits {
public:
    explicit CommandLimits(AdbClient &adb) : m_adb(adb) {}

    // 0 goes back to the platform's own. Tests make groups split with a small one.
    void setCommandLine(qsizetype chars) { m_commandLine = chars; }
    qsizetype commandLine() const;
    qsizetype shell();

private:
    AdbClient &m_adb;
    qsizetype m_commandLine = 0;
    qsizetype m_shell = 0; // asked of the phone once
};

// The size of a phone file a grouped command is writing, for the progress bar: asked beside the command, at
// most once a second, never stopped by Cancel.
class PhoneFileSize {
public:
    explicit PhoneFileSize(AdbClient &adb) : m_adb(adb) {}

    // -1 when not known.
    qint64 operator()(const QString &path);

private:
    AdbClient &m_adb;
    QElapsedTimer m_asked; // when the size of m_path was last asked
    QString m_path;
    qint64 m_last = -1;
    bool m_asking = false;
};
