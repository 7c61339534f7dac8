#include "device/storagestatus.h"

#include "apps/appstorage.h"
#include "lists/listitem.h"

namespace {

StorageButton button(const QString &prefix, const DiskFreeInfo &info)
{
    const QString available = info.available.trimmed();
    if (available.isEmpty() || available == QStringLiteral("0"))
        return {prefix + QStringLiteral("N/A"), false};
    return {prefix + formatStorageSize(info.available), true};
}

} // namespace

StorageStatus updateStorageStatus(AdbClient &adb, const AppStorage &storage)
{
    StorageStatus status;
    status.data = button(QStringLiteral("Data: "), adb.diskFree(QStringLiteral("/data"), QString()));
    status.sd = button(QStringLiteral("SD: "), adb.diskFree(QStringLiteral("/sdcard"), QString()));
    if (storage.appStorageMode == AppStorageType::SdExt || storage.appStorageMode == AppStorageType::SystemSd)
        status.ext = button(QStringLiteral("Ext: "), adb.diskFree(storage.appRoot, QString()));
    else
        status.ext = {QStringLiteral("Ext: N/A"), false};
    return status;
}

SizeInfo readSizeInfo(AdbClient &adb, StorageKind kind, const AppStorage &storage)
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
        path = storage.appRoot;
        break;
    }
    const DiskFreeInfo info = adb.diskFree(path, QString());
    size.total = info.total.trimmed().toLongLong();
    size.used = info.used.trimmed().toLongLong();
    size.totalText = formatStorageSize(info.total);
    // An unreadable total gives no share rather than a division by zero.
    const qint64 percent = size.total > 0 ? size.used * 100 / size.total : 0;
    size.usedText =
        formatStorageSize(info.used) + QStringLiteral(" (") + QString::number(percent) + QStringLiteral("%)");
    size.freeText = formatStorageSize(info.available);
    return size;
}
