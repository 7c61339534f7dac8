#include "files/listingparser.h"

#include "bridge/adbutils.h"
#include "files/listengine.h"

namespace {

// "-rw-r--r--", "drwxrwx--x+": an error message that happens to have enough words is not a row.
bool isModeToken(QStringView token)
{
    static const QString types = QStringLiteral("-dlcbpsDt");
    static const QString bits = QStringLiteral("-rwxsStTl");
    if (token.size() < 10 || !types.contains(token.at(0)))
        return false;
    for (int i = 1; i < 10; ++i) {
        if (!bits.contains(token.at(i)))
            return false;
    }
    return true;
}

QString typedName(QChar type, QStringView name)
{
    switch (type.unicode()) {
    case u'd':
    case u'p':
    case u't':
        return name + u'/';
    case u'l': {
        const qsizetype arrow = name.indexOf(QStringLiteral(" -> "));
        return (arrow < 0 ? QString() : name.left(arrow).toString()) + u'@';
    }
    default:
        return name.toString();
    }
}

// Blanks and control characters in front; only control characters at the end, so that a name
// ending in blanks keeps them.
QStringView trimLine(QStringView line)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && line.at(end - 1).unicode() < 32)
        --end;
    return line.mid(begin, end - begin);
}

// Newer phones' toybox prints the short date form with a link count after the mode, and a
// "total" line first; `linkCount` reads that variant.
std::optional<ListItem> parseLine(QStringView line, bool shortListing, bool linkCount = false)
{
    const int extra = shortListing && linkCount ? 1 : 0;
    const int nameSlot = (shortListing ? 6 : 10) + extra;
    const int sizeSlot = (shortListing ? 3 : 4) + extra;
    QStringView cols[11];
    int slot = 0;
    qsizetype start = 0;
    const qsizetype n = line.size();
    bool named = false;
    for (qsizetype pos = 0; pos < n && !named; ++pos) {
        const bool boundary = (line.at(pos) == u' ' && pos + 1 < n && line.at(pos + 1) != u' ') || pos == n - 1;
        if (!boundary)
            continue;
        const QStringView token = line.mid(start, pos - start + 1).trimmed();
        qsizetype tokenEnd = pos + 1;
        while (tokenEnd > start && line.at(tokenEnd - 1) == u' ')
            --tokenEnd;
        start = pos + 1;
        if (slot == sizeSlot && token.endsWith(u','))
            continue; // a device's major number: the minor number that follows is the size
        cols[slot] = token;
        if (slot == sizeSlot && !TADB::IsNumber(token)) {
            // No size printed (folders and links in the short form): the token is the next column.
            cols[slot] = u"0";
            cols[++slot] = token;
        }
        if (++slot == nameSlot) {
            // The name is the rest of the line after the one blank that follows the previous column,
            // so leading blanks and the " -> " of a link stay.
            if (tokenEnd + 1 >= n)
                return std::nullopt;
            cols[nameSlot] = line.mid(tokenEnd + 1);
            named = true;
        }
    }
    if (!named || !isModeToken(cols[0]))
        return std::nullopt;

    ListItem item;
    item.Name = typedName(line.at(0), cols[nameSlot]);
    item.Label = item.Name;
    if (shortListing) {
        item.SizeText = cols[sizeSlot].toString();
        item.Stamp = cols[sizeSlot + 2] + u'|' + cols[sizeSlot + 1];
    } else {
        item.SizeText = cols[4].toString();
        const QStringView day = cols[7];
        item.Stamp = cols[8] + u'|' + (day.size() == 1 ? QStringLiteral("0") : QString()) + day + u'-' +
                     MonthNumber(cols[6].toString()) + u'-' + cols[9];
    }
    return item;
}

} // namespace

std::optional<ListItem> ParseListingLine(const QString &line, bool shortListing)
{
    return parseLine(line, shortListing);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

bool ParseDeviceListing(const QString &output, const QString &path, bool shortListing, int sortMode,
                        QList<ListItem> &rows)
{
    rows.clear();
    const QString text = trimOutput(output);
    if (text.isEmpty() || text == QStringLiteral("opendir failed, Permission denied") ||
        text == QStringLiteral("ls: ") + path + QStringLiteral(": No such file or directory"))
        return true;

    QList<ListItem> files;
    qsizetype from = 0;
    const qsizetype n = text.size();
    bool linkCount = false;
    if (shortListing && text.startsWith(QStringLiteral("total "))) {
        linkCount = true;
        while (from < n && text.at(from) != u'\r' && text.at(from) != u'\n')
            ++from;
    }
    while (from < n) {
        qsizetype end = from;
        while (end < n && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        const QStringView line = trimLine(QStringView(text).mid(from, end - from));
        from = end + (end + 1 < n && text.at(end) == u'\r' && text.at(end + 1) == u'\n' ? 2 : 1);
        if (line.isEmpty())
            continue;
        std::optional<ListItem> item = parseLine(line, shortListing, linkCount);
        if (!item)
            return false;
        if (line.at(0) == u'd') {
            if (item->Name != QStringLiteral("./") && item->Name != QStringLiteral("../"))
                rows << std::move(*item);
        } else {
            files << std::move(*item);
        }
    }
    const int dirKey = sortMode == 1 ? SortByDate : SortByName;
    const int fileKey = sortMode == 1 ? SortByDate : sortMode == 2 ? SortBySize : SortByName;
    if (!SortItems(rows, dirKey, shortListing) || !SortFileItems(files, fileKey, shortListing))
        return false;
    rows += files;
    return true;
}

DeviceListing ListDeviceFolder(TADB &adb, const QString &path, bool shortListing, int sortMode)
{
    DeviceListing listing{path, {}};
    const QString options = shortListing ? QStringLiteral("-l -a") : QStringLiteral("-l -a -e");
    for (;;) {
        const QString output = adb.List(listing.path, options, false);
        if (ParseDeviceListing(output, listing.path, shortListing, sortMode, listing.rows))
            return listing;
        listing.rows.clear();
        if (listing.path == QStringLiteral("/"))
            return listing;
        listing.path = TADB::ParentDir(listing.path);
    }
}

QStringList FillPathTabs(const QString &path)
{
    QStringList tabs{QStringLiteral("/")};
    QString current;
    for (qsizetype i = 1; i < path.size(); ++i) {
        current += path.at(i);
        if (path.at(i) == u'/') {
            tabs << StripNameSuffix(current);
            current.clear();
        }
    }
    return tabs;
}
