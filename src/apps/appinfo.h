#pragma once

#include "apps/badging.h"
#include "bridge/packageanswer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class QDir;
class AdbClient;

// One package whose label and icon are to be read from its APK on the phone.
struct InfoReadJob {
    QString key;         // its catalogue key
    QString devicePath;  // the base APK
    QString versionCode; // installed, as the package manager says; empty where it does not
};

// What was read from one installed package's APK.
struct AppInfo {
    bool ok = false; // aapt read a package name
    ApkBadging badging;
    QString iconFile;          // the icon written to the requested place; empty when none was found
    qint64 bytesFromPhone = 0; // what crossed the cable for this package
    QString error;             // why reading failed, for the log
};

// Reads labels and icons of installed APKs. Where the phone has unzip (Android 10 and later) only
// AndroidManifest.xml, resources.arsc and the icon member most packages so far named are streamed for a group of
// packages in one `adb exec-out` call, into small local archives that one aapt2 run reads; the icons that were not
// that member come in one more call. Two groups are read at once.
// Elsewhere, and for an APK the phone's unzip cannot read, the whole APK is pulled. Temporary copies are always
// deleted, also when no icon was found.
class AppInfoReader {
public:
    AppInfoReader(AdbClient &adb, QString tempDir);

    // Whether members are streamed; decided by the caller (see phoneHasUnzip).
    void setStreaming(bool on) { m_streaming = on; }
    bool streaming() const { return m_streaming; }
    // The longest command the phone's shell takes.
    void setCommandLimit(qsizetype characters) { m_commandLimit = characters; }
    // An icon member a package of this phone named: asked for with the tables from the first group on.
    void setIconHint(const QString &member) { m_iconHint = member; }

    // Reads the APK at `devicePath` on the phone; a found icon is copied to `iconTarget`, replacing it.
    AppInfo read(const QString &devicePath, const QString &iconTarget);

    // Reads every job, a group at a time; `done(i, info)` follows for each job of a group once its icons came, in
    // order. Stops early when cancelled: the jobs after it are not reported.
    void readMany(const QList<InfoReadJob> &jobs, const std::function<QString(const InfoReadJob &)> &iconTarget,
                  const std::function<void(int, const AppInfo &)> &done);

    // The phone answers `unzip -l` of an APK it can read (one call).
    static bool phoneHasUnzip(AdbClient &adb, const QString &someApk);
    // The icon member the APK names, from its streamed manifest and table; empty where they did not stream. Never
    // pulls the APK.
    static QString streamedIconMember(AdbClient &adb, const QString &devicePath, const QString &tempDir);

private:
    struct Group;
    class IconGuess;
    void readGroup(AdbClient &adb, Group &group, IconGuess &guess, const QDir &work);
    void readPulled(AdbClient &adb, const QString &devicePath, const QString &iconTarget, const QDir &work, AppInfo &info);

    AdbClient &m_adb;
    QString m_tempDir;
    bool m_streaming = false;
    qsizetype m_commandLimit = 4000;
    QString m_iconHint;
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
