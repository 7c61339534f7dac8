#pragma once

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QPixmap>
#include <QRect>
#include <QSize>
#include <QStringList>

class QPainter;
class QStyleOptionViewItem;

// What the list delegates share: the colours of a row and its check box.
inline const QColor kRowHighlight(0xC0, 0xDC, 0xC0);
inline const QColor kRowGrey(0x80, 0x80, 0x80);

// Draws the check box of a row (option prepared by initStyleOption) where the style places it,
// without the focus frame; returns its rectangle.
QRect paintRowCheck(QPainter *painter, const QStyleOptionViewItem &option);

// A row of a package list: check box, the 32 x 32 icon in a column kept white when the row is
// selected, a first line in `labelColour`, and grey detail lines in a small font.
struct PackageRowText {
    QString label;
    QColor labelColour = Qt::black;
    QStringList details;
};
void paintPackageRow(QPainter *painter, const QStyleOptionViewItem &option, const QPixmap &icon,
                     const PackageRowText &text);
// 38 pixels, or more when the fonts need it for the label and `detailLines` lines.
int packageRowHeight(const QStyleOptionViewItem &option, int detailLines = 2);

// Row icons decoded and scaled once per file while the file is unchanged: a refresh or a re-sort
// draws the same icons again.
class RowIconCache {
public:
    // The file's 32 x 32 icon, or `fallback` when it is missing or unreadable.
    QPixmap icon(const QString &file, const QPixmap &fallback);

private:
    struct Entry {
        QDateTime modified;
        qint64 size = -1;
        QPixmap pixmap;
    };
    QHash<QString, Entry> m_entries;
};
