#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A stand-in "adb" on PATH: answers from files that the test writes, and logs every call.
// Only the stand-in is on PATH while it lives, so a real adb cannot answer instead.
class AdbStub {
public:
    AdbStub();
    ~AdbStub();

    QString binDir() const;
    void setDevicePresent(bool present, const QString &serial = QStringLiteral("HT9CPP800123"));
    void setState(const QString &state);
    void setShell(const QString &command, const QString &output);
    // The shell command never ends (until it is stopped); release() lets it end with `output`.
    void setShellHanging(const QString &command);
    void release(const QString &command, const QString &output);
    // A folder listing as the pane asks for it: ls's lines, then the end marker.
    void setListing(const QString &path, const QString &lsOutput, const QString &options = QStringLiteral("-l -a"));
    // Answers to the start-up probes of an old phone with or without root and busybox.
    void setPhone(bool root, bool busybox);
    // Takes adb off PATH: starting it fails.
    void removeAdb();
    QStringList calls() const;

private:
    void write(const QString &name, const QByteArray &content);
    QString shellFile(const QString &command) const;

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};
