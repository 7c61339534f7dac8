#include "device/storagestatus.h"

#include "apps/appstorage.h"
#include "lists/listitem.h"

namespace {

StorageButton button(const QString &prefix, const TDiskFreeInfo &info)
{
    const QString available = info.Available.trimmed();
    if (available.isEmpty() || available == QStringLiteral("0"))
        return {prefix + QStringLiteral("N/A"), false};
    return {prefix + FormatStorageSize(info.Available), true};
}

} // namespace

StorageStatus UpdateStorageStatus(TADB &adb, const AppStorage &storage)
{
    StorageStatus status;
    status.data = button(QStringLiteral("Data: "), adb.DiskFree(QStringLiteral("/data"), QString()));
    status.sd = button(QStringLiteral("SD: "), adb.DiskFree(QStringLiteral("/sdcard"), QString()));
    if (storage.AppStorageMode == AppStorageType::SdExt || storage.AppStorageMode == AppStorageType::SystemSd)
        status.ext = button(QStringLiteral("Ext: "), adb.DiskFree(storage.AppRoot, QString()));
    else
        status.ext = {QStringLiteral("Ext: N/A"), false};
    return status;
}

SizeInfo ReadSizeInfo(TADB &adb, StorageKind kind, const AppStorage &storage)
{
    SizeInfo size;
    QString path;
    switch (kind) {
    case StorageKind::Sd:
        size.title = QStringLiteral("SDCard");
        path = QStringLiteral("/sdcard");
        break;
    case StorageKind::Data:
        size.title = QStringLiteral("Phone Data");
        path = QStringLiteral("/data");
        break;
    case StorageKind::Ext:
        size.title = QStringLiteral("Ext Partition");
        path = storage.AppRoot;
        break;
    }
    const TDiskFreeInfo info = adb.DiskFree(path, QString());
    size.total = info.Total.trimmed().toLongLong();
    size.used = info.Used.trimmed().toLongLong();
    size.totalText = FormatStorageSize(info.Total);
    // An unreadable total gives no share rather than a division by zero.
    const qint64 percent = size.total > 0 ? size.used * 100 / size.total : 0;
    size.usedText =
        FormatStorageSize(info.Used) + QStringLiteral(" (") + QString::number(percent) + QStringLiteral("%)");
    size.freeText = FormatStorageSize(info.Available);
    return size;
}
