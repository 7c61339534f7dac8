#pragma once

#include "apps/packagelist.h"
#include "lists/listitem.h"

#include <QList>
#include <QString>
#include <QStringList>

// Rows of the applications list, built from what the phone printed. The label is left empty:
// the catalogue fills it.

// An application folder's `ls -l` (or `ls -l -e`): one row per regular file whose line ends in
// "apk" (or in "apk" and four more characters); other lines, folders and complaints give none.
QList<ListItem> parseAppFolderListing(const QString &output, bool shortListing, bool protectedRows);
// One listing line cut into tokens from its end: name, time, date, size (short form) or name,
// year, time, day, month, weekday, size (long form).
ListItem buildAppItem(const QString &line, bool shortListing);
// A secure container's pkg.apk: the row is named "<container>/pkg.apk" whatever was listed.
ListItem buildSecureAppItem(const QString &output, const QString &container, bool shortListing);
// The container names of /mnt/asec/, one a line.
QStringList parseContainerNames(const QString &output);

// A package the package manager listed: the size of all its parts that stat printed, and the time of
// its last update where the package manager's record says it, else of its newest part.
ListItem packageRow(const PackageRecord &package, const QList<ApkFileStat> &parts, const PackageDump *dump,
                    bool shortListing);
// A time in the stamp form of the rows ("hh:mm|yyyy-MM-dd" short, "hh:mm:ss|dd-MM-yyyy" long).
QString stampFromSecs(qint64 secs, bool shortListing);

// The package an application row stands for: "com.x.apk" and "com.x-1.apk" give "com.x", a
// secure container's "com.x-1/pkg.apk" gives "com.x".
QString packageOfAppName(const QString &name);
// The catalogue key of a row: its name, or for a secure container the container plus ".apk".
QString appCatalogueKey(const ListItem &row);
// Packages under these folders come with the phone's system image.
bool isSystemApkPath(const QString &path);
