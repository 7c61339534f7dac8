#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

// One row of the program's lists: four fields and the protected mark. Held as a record so that a
// name containing ";" neither breaks the row nor makes an operation act on another file.
struct ListItem {
    QString SizeText;
    QString Stamp;
    QString Name;
    QString Label;
    bool Protected = false; // a forward-locked application

    // The ";"-terminated text form: [*]SizeText;Stamp;Name;Label;
    QString toText() const;
    static ListItem fromText(const QString &text);

    bool operator==(const ListItem &other) const = default;
};

// Field access as the rows are read everywhere else.
ListItem SplitItem(const QString &text);
inline const QString &ItemName(const ListItem &item) { return item.Name; }
inline const QString &ItemStamp(const ListItem &item) { return item.Stamp; }
const QString &ItemLabel(const ListItem &item);
// The size field without the protected mark.
inline const QString &ItemSize(const ListItem &item) { return item.SizeText; }

QString StripNameSuffix(const QString &name);
bool IsDirName(const QString &name);
bool IsLinkName(const QString &name);

QString MonthNumber(const QString &month);
QString PadDay(const QString &day);

// Reads a stamp in the short ("hh:mm|yyyy-MM-dd") or long ("hh:mm:ss|dd-MM-yyyy") form.
std::optional<QDateTime> ParseItemStamp(const QString &stamp, bool shortListing);

// Human-readable sizes for the rows: "N KB" below 1024 KB, else "M,R MB" (R the remaining KB).
QString FormatSize(const QString &bytes);
QString FormatSizeKB(const QString &kilobytes);
// Free-space sizes from kibibytes: KB, MB, or "G,R GB" (R the remaining MB).
QString FormatStorageSize(const QString &kilobytes);
