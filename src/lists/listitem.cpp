#include "lists/listitem.h"

namespace {

// A decimal integer as the sizes are written: optional leading blanks, optional sign, digits.
std::optional<qint64> readInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    const qint64 value = t.toLongLong(&ok, 10);
    if (!ok || (!text.isEmpty() && text.back().isSpace()))
        return std::nullopt;
    return value;
}

// value / unitSize with one decimal, rounded down, and the program's decimal comma.
QString withOneDecimal(qint64 value, qint64 unitSize, const QString &unit)
{
    const qint64 tenths = value * 10 / unitSize;
    return QString::number(tenths / 10) + u'.' + QString::number(tenths % 10) + unit;
}

QString formatTwoUnits(qint64 value, const QString &small, const QString &big)
{
    if (value < 1024)
        return QString::number(value) + small;
    return withOneDecimal(value, 1024, big);
}

} // namespace

QString ListItem::toText() const
{
    return (isProtected ? QStringLiteral("*") : QString()) + sizeText + u';' + stamp + u';' + name + u';' + label +
           u';';
}

ListItem ListItem::fromText(const QString &text)
{
    return splitItem(text);
}

ListItem splitItem(const QString &text)
{
    ListItem item;
    QString *fields[] = {&item.sizeText, &item.stamp, &item.name, &item.label};
    qsizetype start = 0;
    for (QString *field : fields) {
        const qsizetype end = text.indexOf(u';', start);
        if (end < 0)
            break;
        *field = text.mid(start, end - start);
        start = end + 1;
    }
    if (item.sizeText.startsWith(u'*')) {
        item.isProtected = true;
        item.sizeText.remove(0, 1);
    }
    item.kind = isDirName(item.name) ? ItemKind::Folder : isLinkName(item.name) ? ItemKind::Link : ItemKind::File;
    return item;
}

QString entryName(const ListItem &item)
{
    const QString &name = item.name;
    if ((item.kind == ItemKind::Folder || item.kind == ItemKind::Link) && !name.isEmpty() &&
        (name.back() == u'/' || name.back() == u'\\' || name.back() == u'@'))
        return name.left(name.size() - 1);
    return name;
}

QString escapeControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\n')
            shown += QStringLiteral("\\n");
        else if (c == u'\r')
            shown += QStringLiteral("\\r");
        else if (c == u'\t')
            shown += QStringLiteral("\\t");
        else if (c.unicode() < 32 || c.unicode() == 127)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString displayName(const ListItem &item)
{
    return escapeControls(entryName(item));
}

QString displayLabel(const ListItem &item)
{
    if (item.label.isEmpty() || item.label == item.name)
        return displayName(item);
    return escapeControls(item.label);
}

QString displayStamp(const QString &stamp)
{
    // Short form "hh:mm|yyyy-MM-dd", long form "hh:mm:ss|dd-MM-yyyy".
    const qsizetype bar = stamp.indexOf(u'|');
    if (bar == 5 && stamp.size() == 16)
        return stamp.mid(6) + u' ' + stamp.left(5);
    if (bar == 8 && stamp.size() == 19)
        return stamp.mid(15, 4) + u'-' + stamp.mid(12, 2) + u'-' + stamp.mid(9, 2) + u' ' + stamp.left(5);
    return stamp;
}

const QString &itemLabel(const ListItem &item)
{
    return item.label.isEmpty() ? item.name : item.label;
}

QString stripNameSuffix(const QString &name)
{
    if (name.endsWith(u'/') || name.endsWith(u'\\') || name.endsWith(u'@'))
        return name.left(name.size() - 1);
    return name;
}

bool isDirName(const QString &name)
{
    return name.endsWith(u'/') || name.endsWith(u'\\');
}

bool isApkFileName(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && QStringView(name).mid(dot) == u".apk";
}

bool isLinkName(const QString &name)
{
    return name.endsWith(u'@');
}

QString monthNumber(const QString &month)
{
    static const char *const names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    for (int i = 0; i < 12; ++i) {
        if (month == QLatin1String(names[i]))
            return QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0'));
    }
    return month;
}

QString padDay(const QString &day)
{
    bool ok = false;
    const int value = day.toInt(&ok);
    return ok && value < 10 ? QStringLiteral("0") + day : day;
}

std::optional<QDateTime> parseItemStamp(const QString &stamp, bool shortListing)
{
    auto number = [&stamp](int pos, int len) -> int {
        if (pos + len > stamp.size())
            return -1;
        int value = 0;
        for (int i = pos; i < pos + len; ++i) {
            const QChar c = stamp.at(i);
            if (c < u'0' || c > u'9')
                return -1;
            value = value * 10 + (c.unicode() - u'0');
        }
        return value;
    };
    int hour = 0, minute = 0, day = 0, month = 0, year = 0;
    if (shortListing) {
        hour = number(0, 2), minute = number(3, 2), year = number(6, 4), month = number(11, 2), day = number(14, 2);
    } else {
        hour = number(0, 2), minute = number(3, 2), day = number(9, 2), month = number(12, 2), year = number(15, 4);
    }
    const QDate date(year, month, day);
    const QTime time(hour, minute);
    if (hour < 0 || minute < 0 || !date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

QString formatSize(const QString &bytes)
{
    const auto value = readInteger(bytes);
    if (!value)
        return bytes;
    // A small file shown as "0 KB" reads as empty.
    if (*value < 1024)
        return *value == 1 ? QStringLiteral("1 byte") : QString::number(*value) + QStringLiteral(" bytes");
    return formatTwoUnits(*value / 1024, QStringLiteral(" KB"), QStringLiteral(" MB"));
}

QString formatSizeKb(const QString &kilobytes)
{
    const auto value = readInteger(kilobytes);
    return value ? formatTwoUnits(*value, QStringLiteral(" KB"), QStringLiteral(" MB")) : kilobytes;
}

QString formatStorageSize(const QString &kilobytes)
{
    const auto value = readInteger(kilobytes);
    if (!value)
        return kilobytes;
    if (*value < 1024)
        return QString::number(*value) + QStringLiteral(" KB");
    if (*value < 1024 * 1024)
        return withOneDecimal(*value, 1024, QStringLiteral(" MB"));
    return withOneDecimal(*value, 1024 * 1024, QStringLiteral(" GB"));
}
