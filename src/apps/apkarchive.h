#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// APKs and bundles are ZIP archives; this reads and writes the few members the program needs.

// The member names of an archive, in stored order; empty, with `error` set, when it cannot be read.
QStringList archiveMembers(const QString &zipPath, QString *error = nullptr);

// Extracts the member whose stored path ends with `iconPath` into `folder`, under the last
// component of `iconPath` (an existing file is replaced). Returns the written file; empty when
// nothing matched or the archive cannot be read.
QString extractApkIcon(const QString &apkPath, const QString &iconPath, const QString &folder);

// Copies the member named exactly `member` to `target` (replacing it); false when it is not there.
bool extractMember(const QString &zipPath, const QString &member, const QString &target);

// One member of an archive to write: the bytes of `sourceFile`, or `data` when that is empty.
struct ArchiveEntry {
    QString name;
    QString sourceFile;
    QByteArray data;
};

// Writes a new archive with the members in order (stored, not compressed: APKs are compressed
// already and aapt reads either). The file appears whole or not at all.
bool writeArchive(const QString &zipPath, const QList<ArchiveEntry> &entries, QString *error = nullptr);
