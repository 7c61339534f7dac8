#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

// Whole-file helpers for tests that check exact bytes on disk.
inline QByteArray readAll(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Creates the folder as needed; false when the file could not be written.
inline bool writeAll(const QString &name, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(name).absolutePath());
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A folder on a file system of a few kilobytes, to see what a full disk does. Mounting needs root
// (CI runs as root); `isValid()` is false elsewhere and the test that needs it skips.
class SmallDisk {
public:
    explicit SmallDisk(const QString &folder, int kilobytes = 64) : m_folder(folder)
    {
        QDir().mkpath(folder);
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                                      {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                       QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), folder}) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_folder});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;
    bool isValid() const { return m_mounted; }
    QString path() const { return m_folder; }

private:
    QString m_folder;
    bool m_mounted = false;
};
