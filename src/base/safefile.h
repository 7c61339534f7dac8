#pragma once

#include <QSet>
#include <QString>

#include <functional>

class QIODevice;

// Files the user keeps are written whole or not at all: the new content goes to a temporary name in
// the target's folder and is renamed over the target only once it is complete, so a full disk, a
// refused write or a crash leaves the old file exactly as it was.

// Why a write failed, in words a user understands ("the disk is full", "permission denied").
struct FileWriteResult {
    bool ok = false;
    QString error; // empty when ok
};

// Writes `target` through `write`, which returns false when it could not produce the content. An
// existing target that the user may not write is left alone.
FileWriteResult saveWholeFile(const QString &target, const std::function<bool(QIODevice &out)> &write);
// Copies `source` to `target` in the same way.
FileWriteResult copyWholeFile(const QString &source, const QString &target);

// `name` when nothing in `folder` (nor in `taken`, compared without regard to case) has it, else the
// first free "stem (2).ext", "stem (3).ext", ...
QString freeFileName(const QString &folder, const QString &name, const QSet<QString> &taken = {});
// `name` or the first of "stem (2).ext", ... for which `isTaken` is false.
QString firstFreeName(const QString &name, const std::function<bool(const QString &)> &isTaken);
