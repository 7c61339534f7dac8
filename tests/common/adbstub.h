#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <utility>

// A stand-in "adb" on PATH: answers from files that the test writes, and logs every call.
// Only the stand-in is on PATH while it lives, so a real adb cannot answer instead.
class AdbStub {
public:
    AdbStub();
    ~AdbStub();

    QString binDir() const { return m_dir.filePath(QStringLiteral("bin")); }
    void setDevicePresent(bool present, const QString &serial = QStringLiteral("HT9CPP800123"));
    // Serial and state of each device that "adb devices" (and "-l", with a model) lists.
    void setDevices(const QList<std::pair<QString, QString>> &devices);
    // Shell text run for "adb connect" ($d is the stub's folder, where "devices" is listed from).
    void setConnectScript(const QByteArray &script) { write(QStringLiteral("connect.sh"), script); }
    void setShell(const QString &command, const QString &output);
    // The shell command never ends (until it is stopped); release() lets it end with `output`.
    void setShellHanging(const QString &command);
    void release(const QString &command, const QString &output);
    // A folder listing as the pane asks for it: ls's lines, then the end marker.
    void setListing(const QString &path, const QString &lsOutput, const QString &options = QStringLiteral("-l -a"));
    // Answers to the start-up probes of an old phone with or without root and busybox.
    void setPhone(bool root, bool busybox);
    // Takes adb off PATH: starting it fails.
    void removeAdb() { QFile::remove(m_dir.filePath(QStringLiteral("bin/adb"))); }
    QStringList calls() const { return logLines(QStringLiteral("calls.log")); }
    // Each call as "ANDROID_SERIAL<tab>arguments", with the serial the call received.
    QStringList callsWithSerial() const { return logLines(QStringLiteral("serials.log")); }

private:
    void write(const QString &name, const QByteArray &content);
    QString shellFile(const QString &command) const;
    QStringList logLines(const QString &name) const;

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
