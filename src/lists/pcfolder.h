#pragma once

#include "lists/listitem.h"

#include <QImage>
#include <QList>
#include <QStringList>

#include <functional>

// Files by name, or largest first; folders always by name.
enum class PcSort { Name, Size };

// What the PC pane shows of an APK: its package, label and version.
struct ApkDetails {
    QString package;
    QString label;
    QString versionName;
};

// How the PC pane lists a folder.
struct PcListOptions {
    bool showHidden = false;
    bool showApkDetails = false;
    PcSort sortMode = PcSort::Name;
    // Reads one APK's label, package and version; asked only while showApkDetails is on, on several threads at once.
    std::function<ApkDetails(const QString &apkPath)> readDetails;
};

// The rows of one PC folder: folders by name, then files by name or size. Sizes are in KB;
// folders carry "Date", files "pkgName", and APKs (with details on) their package in the Stamp.
// A folder that cannot be read gives no rows.
QList<ListItem> readPcFolder(const QString &folder, const PcListOptions &options);

// The path tabs of a PC folder.
QStringList fillPcPathTabs(const QString &folder);

// The cached icon of a package: iconsDir/<package>.apk.png, empty when there is none.
QString apkIconFile(const QString &iconsDir, const QString &package);
// One 24x24 image per row, aligned with the rows: the cached icon of the package in the row's
// Stamp, or `generic` when there is none or it cannot be read.
QList<QImage> loadApkRowIcons(const QList<ListItem> &rows, const QString &iconsDir, const QImage &generic);
