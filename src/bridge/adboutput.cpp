#include "bridge/adboutput.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

qsizetype lineBreakEnd(const QString &text, qsizetype from, qsizetype *breakStart)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            *breakStart = i;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                return i + 2;
            return i + 1;
        }
    }
    *breakStart = -1;
    return -1;
}

bool isDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// One value of the one-line df form: from `start` up to the "K" two characters before the next `label`.
QString oneLineValue(const QString &text, qsizetype start, const QString &label)
{
    const qsizetype at = start < 0 ? -1 : text.indexOf(label, start);
    if (at < 0 || at - 2 < start)
        return QStringLiteral("0");
    return text.mid(start, at - 2 - start);
}

// Position `skip` characters after the next `label` at or after `from`; -1 when there is none.
qsizetype after(const QString &text, const QString &label, qsizetype from, qsizetype skip)
{
    const qsizetype at = from < 0 ? -1 : text.indexOf(label, from);
    return at < 0 ? -1 : at + skip;
}

// Android 4-6 toolbox df prints sizes such as "719.3M" or "1.9G"; -1 for anything else.
qint64 kibibytesOf(const QString &field)
{
    static const QString units = QStringLiteral("KMGT");
    if (field.size() < 2)
        return -1;
    const qsizetype unit = units.indexOf(field.back());
    bool ok = false;
    const double value = field.left(field.size() - 1).toDouble(&ok);
    if (unit < 0 || !ok || value < 0)
        return -1;
    double kb = value;
    for (qsizetype i = 0; i < unit; ++i)
        kb *= 1024;
    return qint64(kb);
}

} // namespace

QString quoteDevicePath(const QString &path)
{
    QString escaped;
    escaped.reserve(path.size() + 8);
    for (const QChar c : path) {
        if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
            escaped += u'\\';
        escaped += c;
    }
    return u'"' + escaped + u'"';
}

QString trimOutput(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
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

DiskFreeInfo parseDiskFree(const QString &output, const QString &path)
{
    DiskFreeInfo info;
    if (output.endsWith(u')')) {
        // "/data: 167424K total, 112240K used, 55184K available (block size 4096)"
        const QString head = path + u':';
        const qsizetype start = output.startsWith(head) ? head.size() : after(output, QStringLiteral(":"), 0, 1);
        info.total = oneLineValue(output, start, QStringLiteral("total"));
        const qsizetype usedStart = after(output, QStringLiteral("total,"), start, 6);
        info.used = oneLineValue(output, usedStart, QStringLiteral("used"));
        const qsizetype availableStart = after(output, QStringLiteral("used,"), usedStart, 6);
        info.available = oneLineValue(output, availableStart, QStringLiteral("available"));
        return info;
    }

    // Column form: skip the header line and the file-system name, which may stand on a line of its own.
    qsizetype breakStart = -1;
    qsizetype from = lineBreakEnd(output, 0, &breakStart);
    if (from < 0)
        from = 0;
    const qsizetype blank = output.indexOf(u' ', from);
    if (blank < 0)
        return info;
    const QStringList fields =
        output.mid(blank + 1).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QString *values[] = {&info.total, &info.used, &info.available};
    for (int i = 0; i < 3 && i < fields.size(); ++i) {
        const QString &field = fields.at(i);
        if (isDigits(field) && !field.isEmpty())
            *values[i] = field;
        else if (const qint64 kb = kibibytesOf(field); kb >= 0)
            *values[i] = QString::number(kb);
    }
    return info;
}

qsizetype shellTextLimit(const QString &features)
{
    return features.contains(QStringLiteral("shell_v2")) ? 60000 : 4000;
}

qsizetype namedPath(const QString &line, const QStringList &paths)
{
    const QLatin1StringView colon(": ");
    qsizetype best = -1;
    // adb's report starts with the path; only other lines need a search.
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        if ((best < 0 || path.size() > paths.at(best).size()) && line.startsWith(path) &&
            QStringView(line).mid(path.size()).startsWith(colon))
            best = i;
    }
    if (best >= 0)
        return best;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        if (best >= 0 && path.size() <= paths.at(best).size())
            continue;
        bool names = false;
        for (qsizetype at = line.indexOf(path); !names && at > 0; at = line.indexOf(path, at + 1)) {
            const QStringView after = QStringView(line).mid(at + path.size());
            // "rm: <path>: ...", "'<path>'", and the old toolbox's "rm failed for <path>, <reason>".
            names = (line.at(at - 1) == u' ' && after.startsWith(colon)) ||
                    (line.at(at - 1) == u'\'' && after.startsWith(u'\'')) ||
                    (QStringView(line).left(at).endsWith(u"failed for ") && after.startsWith(u", "));
        }
        if (names)
            best = i;
    }
    return best;
}

QString rowMarkerCommand(int row)
{
    return QStringLiteral("echo \"[velbrook-row:") + QString::number(row) + QStringLiteral(":$?]\"");
}

std::optional<RowMarker> readRowMarker(const QString &line)
{
    static const QRegularExpression marker(QStringLiteral("\\[velbrook-row:(\\d+):(\\d+)\\]$"));
    const QRegularExpressionMatch match = marker.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    // A complaint without a final line break runs into the marker.
    return RowMarker{line.left(match.capturedStart()), match.captured(1).toInt(), match.captured(2).toInt()};
}

bool isAdbError(QStringView line)
{
    const QStringView text = line.trimmed();
    if (text.startsWith(u"adb: "))
        return !text.startsWith(u"adb: warning:");
    return text.startsWith(u"error: ") || text.startsWith(u"- waiting for ");
}

bool transferFailed(const QString &adbOutput)
{
    if (trimOutput(adbOutput) == QStringLiteral("error"))
        return true;
    // A transferred file's own name never starts a line: adb names it with the whole path it was given.
    for (const QString &line : splitLines(adbOutput)) {
        const QStringView text = QStringView(line).trimmed();
        if (isAdbError(text) || text.startsWith(u"failed to ") || text.startsWith(u"remote object ") ||
            text.startsWith(u"cannot stat "))
            return true;
    }
    return false;
}

bool pulledWhole(const QString &adbOutput, const QString &localFile, const QString &expectedSize)
{
    const QFileInfo info(localFile);
    if (!info.exists() || transferFailed(adbOutput))
        return false;
    bool numeric = false;
    const qint64 expected = expectedSize.toLongLong(&numeric);
    return !numeric || info.size() == expected;
}

bool isNetworkHost(const QString &host)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?:[A-Za-z0-9][A-Za-z0-9.-]*|\\[[0-9A-Fa-f:.]+\\]|[0-9A-Fa-f.]*:[0-9A-Fa-f:.]*)$"));
    return host.size() <= 253 && pattern.match(host).hasMatch();
}
