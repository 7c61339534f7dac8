#include "apps/badging.h"

#include "bridge/adbutils.h"
#include "platform/localfiles.h"
#include "base/appstate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// A value ends at the apostrophe that is followed by the line's end or by blanks and the next
// key=': labels may hold bare apostrophes (older aapt) or escaped ones (newer aapt).
qsizetype valueEnd(QStringView line)
{
    static const QRegularExpression closing(QStringLiteral("^(\\s*$|\\s+[A-Za-z][A-Za-z0-9_-]*=')"));
    for (qsizetype i = line.indexOf(u'\''); i >= 0; i = line.indexOf(u'\'', i + 1)) {
        if (closing.match(line.mid(i + 1)).hasMatch())
            return i;
    }
    return -1;
}

// Newer aapt writes \' for an apostrophe, \\ for a backslash and \" for a double quote.
QString unescape(QStringView value)
{
    QString text;
    text.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar next = value.at(i + 1);
            if (next == u'\'' || next == u'\\' || next == u'"') {
                text += next;
                ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}

QString aaptDump(AdbClient &adb, const QString &what, const QString &apkPath)
{
    const QString aapt = aaptPath();
    const QString apk = QDir::toNativeSeparators(apkPath);
    // The arguments go to aapt as they are; the text form is only for the log and for tests.
    const QString text = u'"' + aapt + QStringLiteral("\" dump ") + what + QStringLiteral(" \"") + apk + u'"';
    return adb.runAdb(CommandLine{aapt, {QStringLiteral("dump"), what, apk}, text}).output;
}

} // namespace

QString badgingValue(const QString &output, const QString &key)
{
    if (key.isEmpty())
        return QString();
    const QString pair = key + QStringLiteral("='");
    qsizetype at = output.indexOf(pair);
    while (at > 0 && !output.at(at - 1).isSpace())
        at = output.indexOf(pair, at + 1);
    if (at < 0)
        return QString();

    const qsizetype start = at + pair.size();
    qsizetype lineEnd = start;
    while (lineEnd < output.size() && !isLineBreak(output.at(lineEnd)))
        ++lineEnd;
    const QStringView line = QStringView(output).mid(start, lineEnd - start);
    const qsizetype end = valueEnd(line);
    return end < 0 ? QString() : unescape(line.left(end));
}

QString badgingLine(const QString &output, const QString &prefix)
{
    qsizetype from = 0;
    while (from < output.size()) {
        qsizetype to = from;
        while (to < output.size() && !isLineBreak(output.at(to)))
            ++to;
        if (QStringView(output).mid(from, to - from).startsWith(prefix))
            return output.mid(from, to - from);
        from = to + 1;
    }
    return QString();
}

QString largestBitmapIcon(const QString &output)
{
    static const QRegularExpression iconLine(QStringLiteral("^application-icon-(\\d+):'(.*)'[ \\t]*\\r?$"),
                                             QRegularExpression::MultilineOption);
    QString best;
    long long bestRank = -1;
    for (const QRegularExpressionMatch &m : iconLine.globalMatch(output)) {
        const QString path = unescape(m.capturedView(2));
        if (path.isEmpty() || path.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive))
            continue;
        // 65534 (anydpi) and 65535 (nodpi) are markers, not sizes: any real density beats them.
        long long rank = m.capturedView(1).toLongLong();
        if (rank >= 65534)
            rank -= 1000000;
        if (best.isEmpty() || rank > bestRank) {
            best = path;
            bestRank = rank;
        }
    }
    return best;
}

ApkBadging parseBadging(const QString &output)
{
    // Each value is read from its own line, so that an activity's or feature group's label
    // never stands in for the application's.
    const QString package = badgingLine(output, QStringLiteral("package:"));
    const QString application = badgingLine(output, QStringLiteral("application:"));
    ApkBadging badging;
    badging.label = badgingValue(application, QStringLiteral("label"));
    badging.package = badgingValue(package, QStringLiteral("name"));
    badging.versionName = badgingValue(package, QStringLiteral("versionName"));
    badging.versionCode = badgingValue(package, QStringLiteral("versionCode"));
    badging.iconPath = badgingValue(application, QStringLiteral("icon"));
    // An XML (adaptive or vector) icon cannot be shown as a picture: take the best bitmap instead.
    if (badging.iconPath.isEmpty() || badging.iconPath.endsWith(QStringLiteral(".xml"), Qt::CaseInsensitive))
        badging.iconPath = largestBitmapIcon(output);
    return badging;
}

QString parsePermissions(const QString &output)
{
    // aapt ends its lines in LF here and in CR LF elsewhere; the first line names the package.
    qsizetype from = 0;
    while (from < output.size() && !isLineBreak(output.at(from)))
        ++from;
    if (from == output.size())
        from = 0;
    return trimOutput(output.mid(from));
}

namespace {

// A tool in the program's folder when it is there, else the one on the search path.
QString toolPath(const QString &name)
{
    const QString local = appState().programDir + u'/' + platform::toolFileName(name);
    if (!appState().programDir.isEmpty() && QFileInfo(local).isFile())
        return QDir::toNativeSeparators(local);
    return name;
}

QString readBadgingOutput(AdbClient &adb, const QStringList &apkPaths, const QString &outputFile)
{
    const QString aapt2 = toolPath(QStringLiteral("aapt2"));
    QStringList arguments{QStringLiteral("dump"), QStringLiteral("badging")};
    QString text = u'"' + aapt2 + QStringLiteral("\" dump badging");
    for (const QString &apk : apkPaths) {
        arguments << QDir::toNativeSeparators(apk);
        text += QStringLiteral(" \"") + QDir::toNativeSeparators(apk) + u'"';
    }
    adb.runToFile(CommandLine{aapt2, arguments, text}, outputFile);
    QFile file(outputFile);
    const QString output = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    file.remove();
    return output;
}

// Splits the output at each "package:" line.
QStringList splitBadgings(const QString &output)
{
    QStringList blocks;
    for (const QString &line : output.split(u'\n')) {
        if (line.startsWith(QStringLiteral("package:")))
            blocks << QString();
        if (!blocks.isEmpty())
            blocks.last() += line + u'\n';
    }
    return blocks;
}

} // namespace

QString aaptPath()
{
    return toolPath(QStringLiteral("aapt"));
}

QList<ApkBadging> readBadgings(AdbClient &adb, const QStringList &apkPaths, const QString &outputFile)
{
    if (apkPaths.isEmpty())
        return {};
    const QStringList blocks = splitBadgings(readBadgingOutput(adb, apkPaths, outputFile));
    if (blocks.size() != apkPaths.size())
        return {};
    QList<ApkBadging> badgings;
    for (const QString &block : blocks)
        badgings << parseBadging(block);
    return badgings;
}

ApkBadging readBadging(AdbClient &adb, const QString &apkPath)
{
    return parseBadging(aaptDump(adb, QStringLiteral("badging"), apkPath));
}

QString readPermissions(AdbClient &adb, const QString &apkPath)
{
    return parsePermissions(aaptDump(adb, QStringLiteral("permissions"), apkPath));
}
