#pragma once

#include <QString>

class AdbClient;

// What aapt tells about one APK file; each value may be empty.
struct ApkBadging {
    QString label;
    QString package;
    QString versionName;
    QString iconPath; // a bitmap member inside the APK, e.g. res/drawable/icon.png; empty: the generic image
    QString versionCode = {};
};

// The value of one key='value' pair of aapt's output: the first pair whose key stands on its own
// (at the start or after a blank), so that "name" does not match inside "versionName" or a package
// name. Newer aapt escapes apostrophes and backslashes (\' and \\), older aapt prints them bare;
// both are read. Empty when there is none or the value is not closed on its line.
QString badgingValue(const QString &output, const QString &key);
// The first line that starts with `prefix` (e.g. "application:"), without its line break.
QString badgingLine(const QString &output, const QString &prefix);
// The bitmap with the highest density among the application-icon-<density> lines (XML icons
// skipped); empty when there is none.
QString largestBitmapIcon(const QString &output);
ApkBadging parseBadging(const QString &output);
// The permission lines of "aapt dump permissions": everything after the first line, trimmed.
QString parsePermissions(const QString &output);

// aapt in the program's folder when it is there, else the one on the search path.
QString aaptPath();

// The badging of every archive from one `"<aapt2>" dump badging "<apk>"...` run (aapt2 beside aapt): a process
// start costs more than reading an archive. Only its standard output is read, through `outputFile`, since a warning
// on standard error could land inside a line. Empty when the answers cannot be told apart (an archive aapt2 could
// not read says nothing), so that the caller reads each archive alone.
QList<ApkBadging> readBadgings(AdbClient &adb, const QStringList &apkPaths, const QString &outputFile);

// Runs `"<aapt>" dump badging "<apk>"`; a tool that cannot be started gives empty values.
ApkBadging readBadging(AdbClient &adb, const QString &apkPath);
// Runs `"<aapt>" dump permissions "<apk>"`: one permission line per line.
QString readPermissions(AdbClient &adb, const QString &apkPath);
