#pragma once

#include "apps/badging.h"
#include "bridge/packageanswer.h"

#include <QString>

class QDir;
class AdbClient;

// What was read from one installed package's APK.
struct AppInfo {
    bool ok = false; // aapt read a package name
    ApkBadging badging;
    QString iconFile;          // the icon written to the requested place; empty when none was found
    qint64 bytesFromPhone = 0; // what crossed the cable for this package
    QString error;             // why reading failed, for the log
};

// Reads labels and icons of installed APKs. Where the phone has unzip (Android 10 and later) only
// AndroidManifest.xml, resources.arsc and then the icon member are streamed with
// `adb exec-out unzip -p "<apk>" <member>` into a small local archive that aapt reads; elsewhere the
// whole APK is pulled. Temporary copies are always deleted, also when no icon was found.
class AppInfoReader {
public:
    AppInfoReader(AdbClient &adb, QString tempDir);

    // Whether members are streamed; decided by the caller (see phoneHasUnzip).
    void setStreaming(bool on) { m_streaming = on; }
    bool streaming() const { return m_streaming; }

    // Reads the APK at `devicePath` on the phone; a found icon is copied to `iconTarget`, replacing it.
    AppInfo read(const QString &devicePath, const QString &iconTarget);

    // The phone answers `unzip -l` of an APK it can read (one call).
    static bool phoneHasUnzip(AdbClient &adb, const QString &someApk);

private:
    // False when the phone sent no manifest, so that the whole APK is pulled instead.
    bool readStreamed(const QString &devicePath, const QString &iconTarget, const QDir &work, AppInfo &info);
    void readPulled(const QString &devicePath, const QString &iconTarget, const QDir &work, AppInfo &info);

    AdbClient &m_adb;
    QString m_tempDir;
    bool m_streaming = false;
};

// Reads a local APK and adds its record (package + ".apk", label, version code) to the catalogue of
// `dataDir`, and its icon unless one is cached already.
void writeApkInfoCache(AdbClient &adb, const QString &dataDir, const QString &tempDir, const QString &apkPath);
// The same with the badging read before.
void writeApkInfoCache(const ApkBadging &badging, const QString &dataDir, const QString &tempDir,
                       const QString &apkPath);

// What became of installing one package file.
struct InstallResult {
    QString output;       // what adb answered, or why adb was not asked, for the log
    PackageAnswer answer; // the verdict, with a reason when it failed
};

// Installs a package file from the PC with the installation options: an APK with "adb install", a
// bundle's parts (unpacked into a folder that is always removed) with "adb install-multiple". The
// catalogue learns the package only when the phone confirmed the install.
InstallResult installPackageFile(AdbClient &adb, const QString &path, const QString &options, const QString &dataDir,
                                 const QString &tempDir);

// Uninstalls a package for every user, or with `currentUserOnly` for the current user only (all a package that
// came with the system allows); judged as installs are.
InstallResult removePackage(AdbClient &adb, const QString &package, bool keepData, bool currentUserOnly = false);
