#include "apps/badging.h"

#include "bridge/adbutils.h"
#include "platform/localfiles.h"
#include "base/appstate.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

bool isLineBreak(QChar c)
{
    return c == u'\r' || c == u'\n';
}

QString aaptDump(TADB &adb, const QString &what, const QString &apkPath)
{
    const QString aapt = AaptPath();
    const QString apk = QDir::toNativeSeparators(apkPath);
    // The arguments go to aapt as they are; the text form is only for the log and for tests.
    const QString text = u'"' + aapt + QStringLiteral("\" dump ") + what + QStringLiteral(" \"") + apk + u'"';
    return adb.Run(CommandLine{aapt, {QStringLiteral("dump"), what, apk}, text}, true);
}

} // namespace

QString BadgingValue(const QString &output, const QString &key)
{
    if (key.isEmpty())
        return QString();
    const QString pair = key + QStringLiteral("='");
    qsizetype at = output.indexOf(pair);
    while (at > 0 && !output.at(at - 1).isSpace())
        at = output.indexOf(pair, at + 1);
    if (at < 0)
        return QString();

    // Labels may hold apostrophes, which aapt prints as they are: the value ends at the apostrophe
    // before the next pair on the line, or at the line's last apostrophe.
    const qsizetype start = at + pair.size();
    qsizetype lineEnd = start;
    while (lineEnd < output.size() && !isLineBreak(output.at(lineEnd)))
        ++lineEnd;
    const QStringView line = QStringView(output).mid(start, lineEnd - start);
    static const QRegularExpression nextPair(QStringLiteral("'\\s+[A-Za-z][A-Za-z0-9_-]*='"));
    const QRegularExpressionMatch match = nextPair.match(line);
    const qsizetype end = match.hasMatch() ? match.capturedStart() : line.lastIndexOf(u'\'');
    return end < 0 ? QString() : line.left(end).toString();
}

TApkBadging ParseBadging(const QString &output)
{
    return TApkBadging{BadgingValue(output, QStringLiteral("label")), BadgingValue(output, QStringLiteral("name")),
                       BadgingValue(output, QStringLiteral("versionName")),
                       BadgingValue(output, QStringLiteral("icon"))};
}

QString ParsePermissions(const QString &output)
{
    // aapt ends its lines in LF here and in CR LF elsewhere; the first line names the package.
    qsizetype from = 0;
    while (from < output.size() && !isLineBreak(output.at(from)))
        ++from;
    if (from == output.size())
        from = 0;
    return trimOutput(output.mid(from));
}

QString AaptPath()
{
    const QString local = appState().ProgramDir + u'/' + platform::toolFileName(QStringLiteral("aapt"));
    if (!appState().ProgramDir.isEmpty() && QFileInfo(local).isFile())
        return QDir::toNativeSeparators(local);
    return QStringLiteral("aapt");
}

TApkBadging ReadBadging(TADB &adb, const QString &apkPath)
{
    return ParseBadging(aaptDump(adb, QStringLiteral("badging"), apkPath));
}

QString ReadPermissions(TADB &adb, const QString &apkPath)
{
    return ParsePermissions(aaptDump(adb, QStringLiteral("permissions"), apkPath));
}
