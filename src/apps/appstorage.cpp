#include "apps/appstorage.h"

#include "bridge/adbutils.h"

AppStorage &appStorage()
{
    static AppStorage storage;
    return storage;
}

void setAppStorageMode(AppStorage &storage, int mode)
{
    switch (mode) {
    case 1:
        storage = {1, QStringLiteral("/data/"), QStringLiteral("/mnt/"), QStringLiteral("/mnt/asec/"),
                   QStringLiteral("/mnt/asec/")};
        break;
    case 2:
        storage = {2, QStringLiteral("/sd-ext/"), QStringLiteral("/data/"), QStringLiteral("/sd-ext/app/"),
                   QStringLiteral("/sd-ext/app-private/")};
        break;
    case 3:
        storage = {3, QStringLiteral("/system/sd/"), QString(), QStringLiteral("/system/sd/app/"),
                   QStringLiteral("/system/sd/app-private/")};
        break;
    default:
        storage = {mode, QStringLiteral("/data/"), QString(), QStringLiteral("/data/app/"),
                   QStringLiteral("/data/app-private/")};
        break;
    }
}

void ConfigureAppStorage(TADB &adb, AppStorage &storage, const std::function<int()> &chooseOption)
{
    QString value;
    if (adb.PathExists(AppsMarkerPath)) {
        value = adb.Shell(QStringLiteral("cat ") + AppsMarkerPath);
    } else {
        const int option = chooseOption ? chooseOption() : -1;
        value = option >= 0 && option <= 4 ? QString::number(option) : QStringLiteral("0");
        adb.Shell(QStringLiteral("echo ") + value + QStringLiteral(" > ") + AppsMarkerPath);
    }
    int mode = storage.AppStorageMode;
    switch (value.isEmpty() ? u' ' : value.at(0).unicode()) {
    case u'0':
        mode = adb.DetectAppsStorage();
        break;
    case u'1':
        mode = 0;
        break;
    case u'2':
        mode = 1;
        break;
    case u'3':
        mode = 2;
        break;
    case u'4':
        mode = 3;
        break;
    default:
        break;
    }
    setAppStorageMode(storage, mode);
}

QString storageModeCode(int mode)
{
    switch (mode) {
    case 0:
        return QStringLiteral("1000");
    case 1:
        return QStringLiteral("0100");
    case 2:
        return QStringLiteral("0001");
    case 3:
        return QStringLiteral("0010");
    default:
        return QStringLiteral("0000");
    }
}
