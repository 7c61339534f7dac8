#include "apps/appstorage.h"

#include "base/appstate.h"
#include "base/settingsstore.h"
#include "bridge/adbutils.h"

AppStorage &appStorage()
{
    static AppStorage storage;
    return storage;
}

void setAppStorageMode(AppStorage &storage, AppStorageType mode)
{
    const AppsAccess access = storage.access;
    switch (mode) {
    case AppStorageType::Asec:
        storage = {mode, QStringLiteral("/data/"), QStringLiteral("/mnt/"), QStringLiteral("/mnt/asec/"),
                   QStringLiteral("/mnt/asec/")};
        break;
    case AppStorageType::SdExt:
        storage = {mode, QStringLiteral("/sd-ext/"), QStringLiteral("/data/"), QStringLiteral("/sd-ext/app/"),
                   QStringLiteral("/sd-ext/app-private/")};
        break;
    case AppStorageType::SystemSd:
        storage = {mode, QStringLiteral("/system/sd/"), QString(), QStringLiteral("/system/sd/app/"),
                   QStringLiteral("/system/sd/app-private/")};
        break;
    case AppStorageType::Internal:
        storage = {mode, QStringLiteral("/data/"), QString(), QStringLiteral("/data/app/"),
                   QStringLiteral("/data/app-private/")};
        break;
    }
    storage.access = access;
}

void saveAppStorageOption(AdbClient &adb, int option)
{
    writeAppStorageOption(appState().settingsFile, adb.deviceSerial(), option);
}

void configurePhoneAppStorage(AdbClient &adb, AppStorage &storage, const std::function<int()> &chooseOption)
{
    // The choice is kept on the PC, per phone; the phone's storage is the user's and is only read.
    const QString serial = adb.deviceSerial();
    int stored = readAppStorageOption(appState().settingsFile, serial);
    if (stored < 0 && adb.pathExists(appsMarkerPath)) {
        // A choice made with an earlier version, which kept it on the phone.
        const QString marker = adb.runShell(QStringLiteral("cat ") + appsMarkerPath).trimmed();
        if (marker.size() == 1 && marker.at(0) >= u'0' && marker.at(0) <= u'4')
            stored = marker.at(0).unicode() - u'0';
    }
    if (stored < 0) {
        const int chosen = chooseOption ? chooseOption() : -1;
        stored = chosen >= 0 && chosen <= 4 ? chosen : 0;
    }
    writeAppStorageOption(appState().settingsFile, serial, stored);
    const QString value = QString::number(stored);
    // The marker holds the option picked: 0 detect, then the modes in the dialog's order.
    AppStorageType mode = storage.appStorageMode;
    switch (value.isEmpty() ? u' ' : value.at(0).unicode()) {
    case u'0':
        mode = adb.detectAppsStorage();
        break;
    case u'1':
        mode = AppStorageType::Internal;
        break;
    case u'2':
        mode = AppStorageType::Asec;
        break;
    case u'3':
        mode = AppStorageType::SdExt;
        break;
    case u'4':
        mode = AppStorageType::SystemSd;
        break;
    default:
        break;
    }
    setAppStorageMode(storage, mode);
}

AppsAccess detectAppsAccess(AdbClient &adb)
{
    // Android 5 moved every package into a folder of its own that only the package manager names.
    bool known = false;
    const int sdk = adb.runShell(QStringLiteral("getprop ro.build.version.sdk")).toInt(&known);
    if (known && sdk > 0)
        return sdk >= 21 ? AppsAccess::PackageManager : AppsAccess::Folders;
    const QString output = adb.listFolder(QStringLiteral("/data/app/"), QString());
    for (const QString &line : splitLines(output)) {
        const QString name = line.trimmed();
        if (name.isEmpty() || name.startsWith(QStringLiteral("[velbrook-end:")) ||
            name.startsWith(QStringLiteral("opendir failed")))
            continue;
        if (!name.endsWith(QStringLiteral(".apk")) && !name.endsWith(QStringLiteral(".zip")))
            return AppsAccess::PackageManager;
    }
    return AppsAccess::Folders;
}

QString storageModeCode(AppStorageType mode)
{
    switch (mode) {
    case AppStorageType::Internal:
        return QStringLiteral("1000");
    case AppStorageType::Asec:
        return QStringLiteral("0100");
    case AppStorageType::SdExt:
        return QStringLiteral("0001");
    case AppStorageType::SystemSd:
        return QStringLiteral("0010");
    }
    return QStringLiteral("0000");
}

AppMove appMove(const AppStorage &storage, const QString &fileName, bool forwardLocked)
{
    const QString sub = forwardLocked ? QStringLiteral("app-private/") : QStringLiteral("app/");
    const QString internal = QStringLiteral("/data/") + sub + fileName;
    const QString ext = QStringLiteral("/sd-ext/") + sub + fileName;
    const bool toExt = storage.appDir == QStringLiteral("/data/app/");
    return toExt ? AppMove{internal, ext, true} : AppMove{ext, internal, false};
}

QString dalvikCachePath(const QString &apk)
{
    const QString root = apk.startsWith(QStringLiteral("/sd-ext/")) ? QStringLiteral("/sd-ext/dalvik-cache/")
                                                                    : QStringLiteral("/data/dalvik-cache/");
    return root + apk.mid(1).replace(u'/', u'@') + QStringLiteral("@classes.dex");
}

QString packageDataPath(const QString &package)
{
    return QStringLiteral("/data/data/") + package;
}

void configureAppsStorage(AdbClient &adb, AppStorage &storage, const std::function<int()> &chooseOption)
{
    storage.access = detectAppsAccess(adb);
    if (storage.access == AppsAccess::Folders)
        configurePhoneAppStorage(adb, storage, chooseOption);
    else
        setAppStorageMode(storage, AppStorageType::Internal);
}
