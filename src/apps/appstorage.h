#pragma once

#include "bridge/appstoragetype.h"

#include <QString>

#include <functional>

class TADB;

// How the phone tells which applications it has: its application folders can be listed (old
// phones, rooted phones), or only its package manager answers (Android 4.1 and later without root).
enum class AppsAccess { Folders, PackageManager };

// Where the phone keeps installed applications. All paths end in "/".
struct AppStorage {
    AppStorageType AppStorageMode = AppStorageType::Internal;
    QString AppRoot;
    QString AltAppRoot;
    QString AppDir;
    QString PrivateAppDir;
    AppsAccess Access = AppsAccess::Folders;
};

AppStorage &appStorage();

inline const QString AppsMarkerPath = QStringLiteral("/sdcard/.velbrook");

// Sets the four paths of a storage mode.
void setAppStorageMode(AppStorage &storage, AppStorageType mode);

// Reads the user's choice from the marker file on the phone, or asks for it (`chooseOption`
// returns the chosen option index 0..4, or -1 when the dialog was not confirmed) and writes it
// there; "detect" runs the storage probe.
void ConfigureAppStorage(TADB &adb, AppStorage &storage, const std::function<int()> &chooseOption);

// One `ls` of /data/app/: a folder of APK files is listed by folders; anything else (refused, or
// one folder per package) goes through the package manager.
AppsAccess DetectAppsAccess(TADB &adb);

// The four-digit code of a storage mode in the diagnostics file.
QString storageModeCode(AppStorageType mode);
