#include "apps/applisting.h"

#include "bridge/adbutils.h"

#include <QDateTime>
#include <QRegularExpression>

namespace {

// Cuts `count` tokens from the end: a boundary is a blank whose left neighbour is not a blank, so a
// run of blanks stays, minus one, in front of the token to its right. tokens[0] is the last one.
QStringList tokensFromEnd(const QString &line, int count)
{
    QStringList tokens;
    qsizetype end = line.size();
    qsizetype i = end - 1;
    while (tokens.size() < count - 1 && i > 0) {
        if (line.at(i) == u' ' && line.at(i - 1) != u' ') {
            tokens << line.mid(i + 1, end - i - 1);
            end = i;
        }
        --i;
    }
    tokens << line.left(end);
    while (tokens.size() < count)
        tokens << QString();
    return tokens;
}

bool isAppLine(const QString &line)
{
    const qsizetype n = line.size();
    return line.endsWith(QStringLiteral("apk")) || (n >= 7 && QStringView(line).mid(n - 7, 3) == u"apk");
}

} // namespace

ListItem buildAppItem(const QString &line, bool shortListing)
{
    ListItem item;
    if (shortListing) {
        const QStringList t = tokensFromEnd(line, 5);
        item.name = t.at(0);
        item.stamp = t.at(1) + u'|' + t.at(2);
        item.sizeText = t.at(3).trimmed();
    } else {
        const QStringList t = tokensFromEnd(line, 8);
        item.name = t.at(0);
        item.stamp = t.at(2) + u'|' + padDay(t.at(3).trimmed()) + u'-' + monthNumber(t.at(4)) + u'-' + t.at(1);
        item.sizeText = t.at(6).trimmed();
    }
    return item;
}

QList<ListItem> parseAppFolderListing(const QString &output, bool shortListing, bool protectedRows)
{
    QList<ListItem> rows;
    for (const QString &raw : splitLines(output)) {
        if (!isAppLine(raw))
            continue;
        const QString line = raw.trimmed();
        if (!line.startsWith(u'-'))
            continue;
        ListItem item = buildAppItem(line, shortListing);
        item.isProtected = protectedRows;
        rows << item;
    }
    return rows;
}

ListItem buildSecureAppItem(const QString &output, const QString &container, bool shortListing)
{
    const QStringList lines = splitLines(output);
    ListItem item = buildAppItem(lines.isEmpty() ? QString() : lines.first().trimmed(), shortListing);
    item.name = container + QStringLiteral("/pkg.apk");
    return item;
}

QStringList parseContainerNames(const QString &output)
{
    QStringList names;
    for (const QString &line : splitLines(output)) {
        const QString name = line.trimmed();
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

QString stampFromSecs(qint64 secs, bool shortListing)
{
    const QDateTime time = QDateTime::fromSecsSinceEpoch(secs);
    return shortListing ? time.toString(QStringLiteral("hh:mm|yyyy-MM-dd"))
                        : time.toString(QStringLiteral("hh:mm:ss|dd-MM-yyyy"));
}

ListItem packageRow(const PackageRecord &package, const QList<ApkFileStat> &parts, const PackageDump *dump,
                    bool shortListing)
{
    ListItem item;
    // The row's name is the package's catalogue key; the APK's own name is in its facts.
    item.name = package.package + QStringLiteral(".apk");
    qint64 size = 0;
    qint64 newest = 0;
    for (const ApkFileStat &part : parts) {
        size += part.size;
        newest = qMax(newest, part.modifiedSecs);
    }
    PackageFacts &facts = item.facts;
    facts.package = package.package;
    facts.apkPath = package.apkPath;
    facts.apkParts = int(parts.size());
    facts.versionCode = package.versionCode;
    if (dump) {
        if (facts.versionCode.isEmpty())
            facts.versionCode = dump->versionCode;
        facts.versionName = dump->versionName;
        facts.installedSecs = dump->firstInstallSecs;
        facts.updatedSecs = dump->lastUpdateSecs;
    }
    const qint64 updated = facts.updatedSecs > 0 ? facts.updatedSecs : newest;
    // A package whose APK stat could not read still gets its row; "?" sorts last.
    item.sizeText = parts.isEmpty() ? QStringLiteral("?") : QString::number(size);
    item.stamp = updated > 0 ? stampFromSecs(updated, shortListing) : QStringLiteral("?");
    return item;
}

QString packageOfAppName(const QString &name)
{
    static const QRegularExpression installSuffix(QStringLiteral("-\\d+$"));
    QString base = name;
    const qsizetype slash = base.indexOf(u'/');
    if (slash >= 0)
        base.truncate(slash);
    else if (base.endsWith(QStringLiteral(".apk")))
        base.chop(4);
    base.remove(installSuffix);
    return base;
}

QString appCatalogueKey(const ListItem &row)
{
    const qsizetype slash = row.name.indexOf(u'/');
    return slash < 0 ? row.name : row.name.left(slash) + QStringLiteral(".apk");
}

bool isSystemApkPath(const QString &path)
{
    for (const char *root : {"/system/", "/product/", "/vendor/", "/system_ext/", "/apex/", "/odm/"}) {
        if (path.startsWith(QLatin1String(root)))
            return true;
    }
    return false;
}
