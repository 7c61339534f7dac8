#pragma once

#include "lists/listitem.h"

#include <QList>
#include <QPixmap>

// The row icons, by index: 0 APK, 1 folder, 2 file, 3 link, 4 video, 5 picture, 6 audio, 7 ZIP, 8 database.
enum FileIcon { IconApk, IconFolder, IconFile, IconLink, IconVideo, IconPicture, IconAudio, IconZip, IconDatabase };
const QList<QPixmap> &fileIcons();

// The icon of a row by its name: folders, then the lower-cased extension, then links.
int iconIndexFor(const ListItem &row);
