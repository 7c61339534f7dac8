#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class AdbClient;

// One installed package as the package manager lists it.
struct PackageRecord {
    QString apkPath; // empty when the listing was made without -f
    QString package;
    QString versionCode; // empty when not listed (before Android 9)
    QString uid;         // empty when not listed (before Android 8)
};

// Rows read from a package manager listing, and the lines that were not rows (warnings, errors).
struct PackageListing {
    QList<PackageRecord> packages;
    QStringList notes;
};

// One APK file's size and modification time as the phone's stat printed them.
struct ApkFileStat {
    qint64 size = 0;
    qint64 modifiedSecs = 0; // seconds since 1970, UTC
    QString path;
};

struct ApkStatListing {
    QList<ApkFileStat> files;
    QStringList notes;
};

// What `dumpsys package packages` says of one package; the times are the phone's local time, read as
// this computer's (the phone prints no zone).
struct PackageDump {
    QString versionCode;
    QString versionName;
    qint64 firstInstallSecs = 0;
    qint64 lastUpdateSecs = 0;
};

// The blocks of the "Packages:" section by package name; other sections (hidden system packages,
// shared users, ...) are skipped.
QHash<QString, PackageDump> parsePackageDump(const QString &output);
inline QString packageDumpCommand()
{
    return QStringLiteral("dumpsys package packages");
}

// `cmd package list packages -f -U --show-versioncode` (package:<path>=<package> versionCode:<n> uid:<n>)
// and the older `pm list packages -f` (package:<path>=<package>).
PackageListing parsePackageList(const QString &output);
// `pm path <package>`: the APK paths, base.apk first, then the splits.
PackageListing parsePackagePaths(const QString &output);

// Shell commands that print "<size> <mtime> <path>" for every path, each path quoted for the
// phone's sh; the paths are spread over as few commands as keep each under `maxLength` characters
// (older adb refuses longer shell commands).
// `head` followed by the quoted paths, spread over as few commands as keep each under `maxLength`.
QStringList pathCommands(const QString &head, const QStringList &paths, qsizetype maxLength = 4000);
QStringList apkStatCommands(const QStringList &paths, qsizetype maxLength = 4000);
// What stat is given to find every part of the package whose base APK is `apkPath`: a package in a
// folder of its own (base.apk, or /system/app/<name>/<name>.apk) has all its parts there as *.apk;
// an APK among others' (/data/app/<package>-1.apk) is the package's only part.
QString apkPartsPattern(const QString &apkPath);
// The stat commands for the parts of every package.
QStringList apkPartsStatCommands(const QStringList &apkPaths, qsizetype maxLength = 4000);
// The files stat printed that are parts of the package whose base APK is `apkPath`.
QList<ApkFileStat> partsOf(const QString &apkPath, const QList<ApkFileStat> &files);
ApkStatListing parseApkStats(const QString &output);
// Runs the commands through `adb shell` and reads all their output.
ApkStatListing readApkStats(AdbClient &adb, const QStringList &commands);
