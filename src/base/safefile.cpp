#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace {

// The system's reason is the most exact one; a few are said in plainer words.
QString plainReason(const QFileDevice &file, int savedErrno)
{
    const QString reason = file.errorString();
    if (reason.contains(QStringLiteral("No space left")) || reason.contains(QStringLiteral("quota")))
        savedErrno = ENOSPC;
    else if (reason.contains(QStringLiteral("Permission denied")))
        savedErrno = EACCES;
    switch (savedErrno) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the disk is full");
    case EACCES:
    case EPERM:
        return QStringLiteral("permission denied");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    default:
        break;
    }
    return reason.isEmpty() || reason == QStringLiteral("Unknown error")
               ? QStringLiteral("the file could not be written")
               : reason;
}

FileWriteResult failure(const QString &target, const QString &reason)
{
    return {false, QStringLiteral("Cannot write ") + QDir::toNativeSeparators(target) + QStringLiteral(": ") + reason};
}

} // namespace

FileWriteResult saveWholeFile(const QString &target, const std::function<bool(QIODevice &out)> &write)
{
    const QFileInfo existing(target);
    if (existing.isDir())
        return failure(target, QStringLiteral("a folder has that name"));
    // Renaming over a file the user may not write would still replace it: the file's own
    // permissions decide, as they would for a write in place.
    // A file without any write permission is read-only to its owner too, root included.
    const QFileDevice::Permissions writable =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (existing.exists() && (!existing.isWritable() || !(existing.permissions() & writable)))
        return failure(target, QStringLiteral("permission denied"));
    QSaveFile out(target);
    out.setDirectWriteFallback(false);
    errno = 0;
    if (!out.open(QIODevice::WriteOnly))
        return failure(target, plainReason(out, errno));
    errno = 0;
    const bool written = write(out);
    const int writeErrno = errno;
    if (!written || out.error() != QFileDevice::NoError) {
        const QFileDevice::FileError error = out.error();
        out.cancelWriting();
        out.commit();
        if (error == QFileDevice::NoError && writeErrno == 0)
            return failure(target, QStringLiteral("the content could not be made"));
        return failure(target, plainReason(out, writeErrno));
    }
    // What is buffered reaches the disk only now, where a full disk shows; commit() would rename a file cut
    // short by a failed final flush.
    errno = 0;
    if (!out.flush()) {
        const QString reason = plainReason(out, errno);
        out.cancelWriting();
        out.commit();
        return failure(target, reason);
    }
    errno = 0;
    if (!out.commit())
        return failure(target, plainReason(out, errno));
    return {true, {}};
}

FileWriteResult copyWholeFile(const QString &source, const QString &target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return {false, QStringLiteral("Cannot read ") + QDir::toNativeSeparators(source) + QStringLiteral(": ") +
                           in.errorString()};
    return saveWholeFile(target, [&in](QIODevice &out) {
        // Packages run to hundreds of megabytes: a piece at a time.
        QByteArray piece;
        while (!(piece = in.read(1 << 20)).isEmpty()) {
            if (out.write(piece) != piece.size())
                return false;
        }
        return in.error() == QFileDevice::NoError;
    });
}

QString firstFreeName(const QString &name, const std::function<bool(const QString &)> &isTaken)
{
    if (!isTaken(name))
        return name;
    // A leading dot is a hidden file's mark, not an extension.
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + ext;
        if (!isTaken(candidate))
            return candidate;
    }
}

QString freeFileName(const QString &folder, const QString &name, const QSet<QString> &taken)
{
    const QDir dir(folder);
    return firstFreeName(name, [&dir, &taken](const QString &candidate) {
        return taken.contains(candidate.toCaseFolded()) || QFileInfo::exists(dir.filePath(candidate)) ||
               QFileInfo(dir.filePath(candidate)).isSymLink();
    });
}
