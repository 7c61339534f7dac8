#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// What a row is, from the listing's mode column or the file system; never judged from the name,
// which may end in "@", "/" or "\\" like any other character.
enum class ItemKind { File, Folder, Link, Other };

// What the phone (or the APK read into the catalogue) says of an installed package; empty in file rows.
struct PackageFacts {
    QString package;
    QString apkPath; // the base APK as the phone names it
    QString versionCode;
    QString versionName;
    int apkParts = 0;         // APK files of the package; more than one: base and splits
    qint64 installedSecs = 0; // first installed, seconds since 1970; 0 where the phone does not say
    qint64 updatedSecs = 0;   // last updated; 0 where the phone does not say

    bool operator==(const PackageFacts &other) const = default;
};

// One row of the program's lists: four fields and the protected mark. Held as a record so that a
// name containing ";" neither breaks the row nor makes an operation act on another file.
// Folder names carry a "/" and link names an "@" for display and the text form.
struct ListItem {
    QString sizeText;
    QString stamp;
    QString name;
    QString label;
    bool isProtected = false; // a forward-locked application
    ItemKind kind = ItemKind::File;
    PackageFacts facts{}; // applications list only; not part of the text form

    // The ";"-terminated text form: [*]sizeText;Stamp;Name;Label; (the kind is read back from the
    // name's suffix, as stored rows were always written)
    QString toText() const;
    static ListItem fromText(const QString &text);

    bool operator==(const ListItem &other) const = default;
};

// Field access as the rows are read everywhere else.
ListItem splitItem(const QString &text);
inline const QString &itemName(const ListItem &item)
{
    return item.name;
}
inline const QString &itemStamp(const ListItem &item)
{
    return item.stamp;
}
const QString &itemLabel(const ListItem &item);
// The size field without the protected mark.
inline const QString &itemSize(const ListItem &item)
{
    return item.sizeText;
}

QString stripNameSuffix(const QString &name);
bool isDirName(const QString &name);
bool isLinkName(const QString &name);
// A name ending in exactly ".apk" (case counts).
bool isApkFileName(const QString &name);

inline bool isFolder(const ListItem &item)
{
    return item.kind == ItemKind::Folder;
}
inline bool isLink(const ListItem &item)
{
    return item.kind == ItemKind::Link;
}
// The file's own name: without the "/" of a folder row or the "@" of a link row.
QString entryName(const ListItem &item);
// The name as shown: line breaks and other control characters escaped.
QString displayName(const ListItem &item);
// The row's first line: its label, or its name when the label is the name.
QString displayLabel(const ListItem &item);
QString escapeControls(const QString &text);
// A stamp as shown, one form for every phone: "yyyy-MM-dd hh:mm"; "?" when unknown.
QString displayStamp(const QString &stamp);

QString monthNumber(const QString &month);
QString padDay(const QString &day);

// Reads a stamp in the short ("hh:mm|yyyy-MM-dd") or long ("hh:mm:ss|dd-MM-yyyy") form.
std::optional<QDateTime> parseItemStamp(const QString &stamp, bool shortListing);

// Human-readable sizes for the rows: "N KB" below 1024 KB, else "M,d MB" (one decimal, rounded down).
QString formatSize(const QString &bytes);
QString formatSizeKb(const QString &kilobytes);
// Free-space sizes from kibibytes: KB, then MB and GB with one decimal rounded down ("3.8 GB").
QString formatStorageSize(const QString &kilobytes);
