#pragma once

#include "apps/badging.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>

// The file name of an APK backed up to the PC: label (or package, or "Unknown"), "_", "v" and the
// version (or the date and time), cut before the first character Windows does not allow in file
// names, trimmed, with ".apk".
QString BackupFileName(const TApkBadging &badging, const QDateTime &now = QDateTime::currentDateTime());
// `text` cut before the first character Windows does not allow in file names (or a control
// character), trimmed; "Unknown" when nothing is left.
QString SafeFileStem(const QString &text);

// `name`, or the first of "name (2).ext", "name (3).ext", ... not in `taken` (compared without
// regard to case, as Windows file systems do). Two packages with the same label and version in
// one batch must not overwrite each other.
QString DistinctFileName(const QString &name, const QSet<QString> &taken);
QString FoldedName(const QString &name);

// Member names of a bundle of a package's parts: the base APK as "base.apk", the splits under
// their own file names.
QStringList BundleMemberNames(const QStringList &deviceParts);
