#pragma once

#include "apps/badging.h"

#include <QSet>
#include <QString>
#include <QStringList>

// A file name for a package: `stem` (the label; "Unknown" when empty) with `version` and `extension`
// after it. Characters the PC's file systems refuse are replaced, not cut; a leading dot (a hidden
// file) goes; a name too long for a file system is shortened in the label, keeping the version.
QString packageFileName(const QString &stem, const QString &version, const QString &extension);
// The file name of an APK backed up to the PC: label (or package), "_v" and the version name, or
// "_code" and the version code when the package has no version name; ".apk".
QString backupFileName(const ApkBadging &badging);

// `name`, or the first of "name (2).ext", "name (3).ext", ... not in `taken` (compared without
// regard to case, as Windows file systems do). Two packages with the same label and version in
// one batch must not overwrite each other.
QString distinctFileName(const QString &name, const QSet<QString> &taken);
QString foldedName(const QString &name);

// Member names of a bundle of a package's parts: the base APK as "base.apk", the splits under
// their own file names.
QStringList bundleMemberNames(const QStringList &deviceParts);
