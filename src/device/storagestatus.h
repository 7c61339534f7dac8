#pragma once

#include "bridge/adbutils.h"

#include <QString>

struct AppStorage;

// Caption and state of one free-space button.
struct StorageButton {
    QString caption;
    bool available = false;
};

struct StorageStatus {
    StorageButton data;
    StorageButton sd;
    StorageButton ext;
};

// Free space on the data partition, the SD card and, in the ext and old-style storage modes, the
// applications partition.
StorageStatus updateStorageStatus(AdbClient &adb, const AppStorage &storage);

// The partitions whose free space the status strip shows.
enum class StorageKind { Data, Sd, Ext };

// What the size window shows for one of them.
struct SizeInfo {
    QString title;
    qint64 total = 0;
    qint64 used = 0;
    QString totalText;
    QString usedText;
    QString freeText;
};
SizeInfo readSizeInfo(AdbClient &adb, StorageKind kind, const AppStorage &storage);
