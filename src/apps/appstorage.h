#pragma once

#include "bridge/appstoragetype.h"

#include <QString>

#include <functional>

class AdbClient;

// How the phone tells which applications it has: by the APK files in its application folders
// (before Android 5), or only through its package manager (one folder per package).
enum class AppsAccess { Folders, PackageManager };

// Where the phone keeps installed applications. All paths end in "/".
struct AppStorage {
    AppStorageType appStorageMode = AppStorageType::Internal;
    QString appRoot;
    QString altAppRoot;
    QString appDir;
    QString privateAppDir;
    AppsAccess access = AppsAccess::Folders;
};

AppStorage &appStorage();

// Where earlier versions kept the storage option on the phone; read once, never written.
inline const QString appsMarkerPath = QStringLiteral("/sdcard/.velbrook");

// Keeps the storage option (0 detect, 1..4 the modes in the dialog's order) in the settings, for this phone.
void saveAppStorageOption(AdbClient &adb, int option);

// Sets the four paths of a storage mode.
void setAppStorageMode(AppStorage &storage, AppStorageType mode);

// Reads the user's choice for this phone from the settings (or an earlier version's marker file on the
// phone), or asks for it (`chooseOption` returns the chosen option index 0..4, or -1 when the dialog was
// not confirmed) and keeps it; "detect" runs the storage probe.
void configurePhoneAppStorage(AdbClient &adb, AppStorage &storage, const std::function<int()> &chooseOption);

// By the phone's Android version (before 5: APK files in the application folders), or where it does
// not say, by what one `ls` of /data/app/ shows.
AppsAccess detectAppsAccess(AdbClient &adb);

// Detects how the phone keeps its applications; only phones that keep them in folders have storage
// modes to read or ask for.
void configureAppsStorage(AdbClient &adb, AppStorage &storage, const std::function<int()> &chooseOption);

// An APK's move between the internal memory and the ext partition, the way the storage is set now.
struct AppMove {
    QString from;
    QString to;
    bool toExt = false;
};
AppMove appMove(const AppStorage &storage, const QString &fileName, bool forwardLocked);

// The compiled code of an APK on an old phone: "/data/dalvik-cache/data@app-private@x-1.apk@classes.dex", in
// the ext partition's own cache for an APK there.
QString dalvikCachePath(const QString &apk);

// The folder of a package's own data.
QString packageDataPath(const QString &package);

// The four-digit code of a storage mode in the diagnostics file.
QString storageModeCode(AppStorageType mode);
