#include "bridge/listingparser.h"

#include "bridge/adbutils.h"
#include "lists/listengine.h"

#include <QRegularExpression>

#include <algorithm>

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

ItemKind kindOf(QChar type)
{
    switch (type.unicode()) {
    case u'd':
        return ItemKind::Folder;
    case u'l':
        return ItemKind::Link;
    case u'-':
        return ItemKind::File;
    default:
        return ItemKind::Other; // devices, pipes, sockets
    }
}

// The link's own name out of "name -> target". A name may itself hold " -> ": then the folder's
// plain names say where it ends; without them the first arrow is taken and `ambiguous` set.
QString linkName(QStringView text, const QSet<QString> *names, bool *ambiguous)
{
    const QString arrow = QStringLiteral(" -> ");
    const qsizetype first = text.indexOf(arrow);
    if (first < 0)
        return text.toString();
    if (text.indexOf(arrow, first + 1) < 0)
        return text.left(first).toString();
    if (names) {
        for (qsizetype at = first; at >= 0; at = text.indexOf(arrow, at + 1)) {
            const QString candidate = text.left(at).toString();
            if (names->contains(candidate))
                return candidate;
        }
    }
    if (ambiguous)
        *ambiguous = true;
    return text.left(first).toString();
}

ListItem makeItem(QChar type, QStringView name, const QSet<QString> *names, bool *ambiguous)
{
    ListItem item;
    item.kind = kindOf(type);
    switch (item.kind) {
    case ItemKind::Folder:
        item.name = name + u'/';
        break;
    case ItemKind::Link:
        item.name = linkName(name, names, ambiguous) + u'@';
        break;
    default:
        item.name = name.toString();
    }
    item.label = item.name;
    return item;
}

// Blanks and control characters in front; at the end only control characters, and none with `keepEnd`
// (a line cut at the phone's own line break ends in the name's last character, a CR included).
QStringView trimLine(QStringView line, bool keepEnd)
{
    qsizetype begin = 0;
    qsizetype end = line.size();
    while (begin < end && line.at(begin).unicode() <= 32)
        ++begin;
    while (!keepEnd && end > begin && line.at(end - 1).unicode() < 32)
        --end;
    return line.mid(begin, end - begin);
}

QString trimEnd(const QString &line)
{
    qsizetype end = line.size();
    while (end > 0 && line.at(end - 1).unicode() < 32)
        --end;
    return line.left(end);
}

bool isTotalLine(QStringView line)
{
    const QStringView t = line.trimmed();
    return t.startsWith(u"total ") && AdbClient::isNumber(t.mid(6)) && t.size() > 6;
}

const QStringList &knownReasons()
{
    static const QStringList reasons{
        QStringLiteral("Permission denied"),  QStringLiteral("No such file or directory"),
        QStringLiteral("Not a directory"),    QStringLiteral("Operation not permitted"),
        QStringLiteral("Input/output error"), QStringLiteral("Too many levels of symbolic links")};
    return reasons;
}

// What ls and the shell print instead of a row.
bool isComplaint(QStringView line)
{
    const QStringView t = line.trimmed();
    // adb's own errors too: the phone went away, is offline, or was never there.
    if (t.startsWith(u"ls: ") || t.startsWith(u"lstat '") || t.startsWith(u"opendir failed") || isAdbError(t))
        return true;
    for (const QString &reason : knownReasons()) {
        if (t.endsWith(QString(u": " + reason)) || t.endsWith(QString(u", " + reason)))
            return true;
    }
    return false;
}

QString reasonOf(const QString &line)
{
    for (const QString &reason : knownReasons()) {
        if (line.endsWith(reason))
            return reason;
    }
    return line.trimmed();
}

// An entry the shell may not stat (toybox: "d?????????   ? ?      ?      ?      ? metadata"): a row
// with unknown size and date.
std::optional<ListItem> parseUnknownLine(QStringView line, const QSet<QString> *names, bool *ambiguous)
{
    if (line.size() < 12 || !QStringLiteral("-dlcbps").contains(line.at(0)) || line.mid(1, 9) != u"?????????")
        return std::nullopt;
    qsizetype pos = 10;
    qsizetype nameStart = -1;
    for (int fields = 0; fields < 5; ++fields) {
        while (pos < line.size() && line.at(pos) == u' ')
            ++pos;
        if (pos + 1 >= line.size() || line.at(pos) != u'?' || line.at(pos + 1) != u' ')
            break;
        nameStart = pos + 2;
        pos += 1;
    }
    if (nameStart < 0 || nameStart >= line.size())
        return std::nullopt;
    ListItem item = makeItem(line.at(0), line.mid(nameStart), names, ambiguous);
    item.sizeText = QStringLiteral("?");
    item.stamp = QStringLiteral("?");
    return item;
}

// Newer phones' toybox prints the short date form with a link count after the mode, and a
// "total" line first; `linkCount` reads that variant.
std::optional<ListItem> parseLine(QStringView line, bool shortListing, bool linkCount = false,
                                  const QSet<QString> *names = nullptr, bool *ambiguous = nullptr)
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
        if (slot == sizeSlot && !AdbClient::isNumber(token)) {
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

    ListItem item = makeItem(line.at(0), cols[nameSlot], names, ambiguous);
    if (shortListing) {
        item.sizeText = cols[sizeSlot].toString();
        item.stamp = cols[sizeSlot + 2] + u'|' + cols[sizeSlot + 1];
    } else {
        item.sizeText = cols[4].toString();
        const QStringView day = cols[7];
        item.stamp = cols[8] + u'|' + (day.size() == 1 ? QStringLiteral("0") : QString()) + day + u'-' +
                     monthNumber(cols[6].toString()) + u'-' + cols[9];
    }
    return item;
}

// "2026-12-07"
bool isDate(QStringView token)
{
    return token.size() == 10 && token.at(4) == u'-' && token.at(7) == u'-' && AdbClient::isNumber(token.left(4)) &&
           AdbClient::isNumber(token.mid(5, 2)) && AdbClient::isNumber(token.mid(8));
}

// Whether a short-form line has toybox's link count: a number after the mode, two owner columns, the size
// (or a device's "major, minor") and a YYYY-MM-DD date. The old toolbox has no link count, so its date
// comes one column earlier, and a folder of its has no size at all.
bool hasLinkCount(QStringView line)
{
    const QList<QStringView> tokens = line.split(u' ', Qt::SkipEmptyParts);
    // A toolbox device whose owners show as numbers ("1000 1000 10,   1") has its major in the fourth column.
    if (tokens.size() < 8 || !AdbClient::isNumber(tokens.at(1)) || tokens.at(3).endsWith(u','))
        return false;
    qsizetype date = 5;
    if (tokens.at(4).endsWith(u','))
        date = 6; // "10,   1"
    else if (!AdbClient::isNumber(tokens.at(4)))
        return false;
    return tokens.size() > date + 2 && isDate(tokens.at(date));
}

} // namespace

std::optional<ListItem> parseListingLine(const QString &line, bool shortListing)
{
    // A single file's listing has no "total" line to tell toybox by: its columns do.
    return parseLine(line, shortListing, shortListing && hasLinkCount(line));
}

qint64 listedFileSize(AdbClient &adb, const QString &path, bool shortListing)
{
    const QString options = shortListing ? QStringLiteral("ls -l ") : QStringLiteral("ls -l -e ");
    for (const QString &line : splitLines(adb.runShell(options + quoteDevicePath(path)))) {
        const std::optional<ListItem> row = parseListingLine(line, shortListing);
        if (row && row->kind == ItemKind::File && AdbClient::isNumber(row->sizeText) && !row->sizeText.isEmpty())
            return row->sizeText.toLongLong();
    }
    return -1;
}

QString listingEndMarker()
{
    return QStringLiteral("[velbrook-end:");
}

DeviceListing parseDeviceListing(const QString &output, const QString &path, bool shortListing, DeviceSort sort,
                                 const QSet<QString> *names)
{
    DeviceListing listing;
    listing.path = path;
    // The shell echoes the marker once ls has ended; without it the phone stopped answering midway. Phones
    // that keep standard error apart (shell protocol) may deliver ls's complaints around it, even in the
    // middle of a complaint's line.
    static const QRegularExpression marker(QRegularExpression::escape(listingEndMarker()) +
                                           QStringLiteral("[0-9]+\\]"));
    QString text = output;
    QRegularExpressionMatch last;
    for (auto it = marker.globalMatch(text); it.hasNext();)
        last = it.next();
    const bool complete = last.hasMatch();
    // Where each line ends. Old phones answer through a terminal, which turns every LF into CR LF; current ones
    // print plain LF, as the marker's own line shows. Any other break is part of a name: through a terminal a
    // name's LF shows as CR LF and its CR as a lone CR, so "a\rb" and "a\nb" are two files. A phone never
    // ends a line with a lone CR. Output that mixes the forms is no phone's: its names are not read.
    QString lineEnd;
    if (complete) {
        const QStringView after = QStringView(text).mid(last.capturedEnd());
        const qsizetype markerEnd = after.startsWith(u"\r\n") ? 2 : after.startsWith(u'\n') ? 1 : 0;
        text.remove(last.capturedStart(), last.capturedLength() + markerEnd);
        static const QRegularExpression loneLf(QStringLiteral("(^|[^\r])\n"));
        if (!text.contains(loneLf) && text.contains(QStringLiteral("\r\n")))
            lineEnd = QStringLiteral("\r\n");
        else if (markerEnd == 1)
            lineEnd = QStringLiteral("\n");
    }
    const bool exact = !lineEnd.isEmpty();
    QStringList lines;
    if (exact) {
        lines = text.split(lineEnd);
        if (text.endsWith(lineEnd))
            lines.removeLast();
    } else {
        // Cut at every break: a name that goes on to the next line is not read (below).
        lines = splitLines(text);
        for (QString &line : lines)
            line = trimEnd(line);
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
    }

    // toybox prints a "total" line (not always first) and a link count after the mode.
    bool linkCount = false;
    if (shortListing)
        linkCount = std::any_of(lines.cbegin(), lines.cend(), [](const QString &l) { return isTotalLine(l); });

    QStringList raw; // each row's line, with the lines its name went on to
    QList<ListItem> parsed;
    auto parse = [&](const QString &text) -> std::optional<ListItem> {
        const QStringView trimmed = trimLine(text, exact);
        if (trimmed.isEmpty())
            return std::nullopt;
        if (auto unknown = parseUnknownLine(trimmed, names, &listing.needsNames))
            return unknown;
        return parseLine(trimmed, shortListing, linkCount, names, &listing.needsNames);
    };
    bool afterRow = false;
    for (const QString &line : std::as_const(lines)) {
        // ls prints no empty line inside one folder: after a row it is the rest of a name ending in LF.
        if ((line.trimmed().isEmpty() && !(exact && afterRow)) || isTotalLine(line)) {
            afterRow = false;
            continue;
        }
        if (std::optional<ListItem> item = parse(line)) {
            raw << line;
            parsed << std::move(*item);
            afterRow = true;
        } else if (isComplaint(line) || !afterRow) {
            listing.problems << line.trimmed();
            afterRow = false;
        } else if (!exact) {
            // The previous row's name went on, but whether after a CR or an LF cannot be told: that entry
            // is not shown, so that no command reaches its twin.
            parsed.removeLast();
            listing.problems << QString(raw.takeLast() + u'\n' + line).trimmed();
            afterRow = false;
        } else if (std::optional<ListItem> joined = parse(raw.last() + u'\n' + line)) {
            // ls printed a line break that is part of the previous name.
            raw.last() += u'\n' + line;
            parsed.last() = std::move(*joined);
        } else {
            listing.problems << line.trimmed();
        }
    }

    if (!complete) {
        listing.ok = false;
        const auto adbError = std::find_if(listing.problems.cbegin(), listing.problems.cend(),
                                           [](const QString &l) { return isAdbError(l); });
        listing.error = adbError != listing.problems.cend()
                            ? *adbError
                            : QStringLiteral("the listing ended before the phone finished it");
        return listing;
    }
    if (parsed.isEmpty() && !listing.problems.isEmpty()) {
        listing.ok = false;
        listing.error = reasonOf(listing.problems.first());
        return listing;
    }

    QList<ListItem> files;
    for (ListItem &item : parsed) {
        if (item.kind == ItemKind::Folder) {
            if (item.name != QStringLiteral("./") && item.name != QStringLiteral("../"))
                listing.rows << std::move(item);
        } else {
            files << std::move(item);
        }
    }
    const SortKey dirKey = sort == DeviceSort::Date ? SortKey::Date : SortKey::Name;
    const SortKey fileKey = sort == DeviceSort::Date   ? SortKey::Date
                            : sort == DeviceSort::Size ? SortKey::Size
                                                       : SortKey::Name;
    // A row whose date or size does not convert leaves its group in the phone's order.
    sortItems(listing.rows, dirKey, shortListing);
    sortFileItems(files, fileKey, shortListing);
    listing.rows += files;
    return listing;
}

DeviceListing listDeviceFolder(AdbClient &adb, const QString &path, bool shortListing, DeviceSort sort)
{
    const QString options = shortListing ? QStringLiteral("-l -a") : QStringLiteral("-l -a -e");
    DeviceListing listing = parseDeviceListing(adb.listFolder(path, options), path, shortListing, sort);
    if (listing.ok && listing.needsNames) {
        const QStringList plain = adb.listNames(path);
        const QSet<QString> names(plain.cbegin(), plain.cend());
        listing = parseDeviceListing(adb.listFolder(path, options), path, shortListing, sort, &names);
    }
    return listing;
}

QString userStorageFolder(AdbClient &adb, bool shortListing)
{
    for (const QString &folder : {QStringLiteral("/sdcard/"), QStringLiteral("/storage/emulated/0/")}) {
        if (listDeviceFolder(adb, folder, shortListing, DeviceSort::Name).ok)
            return folder;
    }
    return QStringLiteral("/");
}

QString listingNote(const DeviceListing &listing)
{
    if (!listing.ok)
        return QStringLiteral("Cannot open ") + escapeControls(listing.path) + QStringLiteral(": ") + listing.error;
    const qsizetype n = listing.problems.size();
    if (n == 0)
        return QString();
    return n == 1 ? QStringLiteral("1 entry could not be read")
                  : QString::number(n) + QStringLiteral(" entries could not be read");
}

QStringList fillPathTabs(const QString &path)
{
    QStringList tabs{QStringLiteral("/")};
    QString current;
    for (qsizetype i = 1; i < path.size(); ++i) {
        current += path.at(i);
        if (path.at(i) == u'/') {
            tabs << stripNameSuffix(current);
            current.clear();
        }
    }
    return tabs;
}
