#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// What a row is, from the listing's mode column or the file system; never judged from the name,
// which may end in "@", "/" or "\\" like any other character.
enum class ItemKind { File, Folder, Link, Other };

// One row of the program's lists: four fields and the protected mark. Held as a record so that a
// name containing ";" neither breaks the row nor makes an operation act on another file.
// Folder names carry a "/" and link names an "@" for display and the text form.
struct ListItem {
    QString SizeText;
    QString Stamp;
    QString Name;
    QString Label;
    bool Protected = false; // a forward-locked application
    ItemKind Kind = ItemKind::File;

    // The ";"-terminated text form: [*]SizeText;Stamp;Name;Label; (the kind is read back from the
    // name's suffix, as stored rows were always written)
    QString toText() const;
    static ListItem fromText(const QString &text);

    bool operator==(const ListItem &other) const = default;
};

// Field access as the rows are read everywhere else.
ListItem SplitItem(const QString &text);
inline const QString &ItemName(const ListItem &item)
{
    return item.Name;
}
inline const QString &ItemStamp(const ListItem &item)
{
    return item.Stamp;
}
const QString &ItemLabel(const ListItem &item);
// The size field without the protected mark.
inline const QString &ItemSize(const ListItem &item)
{
    return item.SizeText;
}

QString StripNameSuffix(const QString &name);
bool IsDirName(const QString &name);
bool IsLinkName(const QString &name);
// A name ending in exactly ".apk" (case counts).
bool IsApkFileName(const QString &name);

inline bool IsFolder(const ListItem &item)
{
    return item.Kind == ItemKind::Folder;
}
inline bool IsLink(const ListItem &item)
{
    return item.Kind == ItemKind::Link;
}
// The file's own name: without the "/" of a folder row or the "@" of a link row.
QString EntryName(const ListItem &item);
// The name as shown: line breaks and other control characters escaped.
QString DisplayName(const ListItem &item);
// The row's first line: its label, or its name when the label is the name.
QString DisplayLabel(const ListItem &item);
QString EscapeControls(const QString &text);
// A stamp as shown, one form for every phone: "yyyy-MM-dd hh:mm"; "?" when unknown.
QString DisplayStamp(const QString &stamp);

QString MonthNumber(const QString &month);
QString PadDay(const QString &day);

// Reads a stamp in the short ("hh:mm|yyyy-MM-dd") or long ("hh:mm:ss|dd-MM-yyyy") form.
std::optional<QDateTime> ParseItemStamp(const QString &stamp, bool shortListing);

// Human-readable sizes for the rows: "N KB" below 1024 KB, else "M,d MB" (one decimal, rounded down).
QString FormatSize(const QString &bytes);
QString FormatSizeKB(const QString &kilobytes);
// Free-space sizes from kibibytes: KB, then MB and GB with one decimal rounded down ("3,8 GB").
QString FormatStorageSize(const QString &kilobytes);
