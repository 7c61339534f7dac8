#include "apps/packagelist.h"

#include "bridge/adbutils.h"

#include <QDateTime>

namespace {

const QString kPackagePrefix = QStringLiteral("package:");

// "versionCode:12 uid:10123" in any order; unknown fields are skipped.
void readFields(PackageRecord &record, const QStringList &fields)
{
    for (const QString &field : fields) {
        const qsizetype colon = field.indexOf(u':');
        if (colon <= 0)
            continue;
        const QStringView name = QStringView(field).left(colon);
        if (name == u"versionCode")
            record.versionCode = field.mid(colon + 1);
        else if (name == u"uid")
            record.uid = field.mid(colon + 1);
    }
}

} // namespace

PackageListing parsePackageList(const QString &output)
{
    PackageListing listing;
    for (const QString &raw : splitLines(output)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (!line.startsWith(kPackagePrefix)) {
            listing.notes << line;
            continue;
        }
        const QString rest = line.mid(kPackagePrefix.size());
        // Android 11 paths hold "=" (~~<base64>==), a package name never does.
        const qsizetype split = rest.lastIndexOf(QStringLiteral(".apk="));
        PackageRecord record;
        QString after = rest;
        if (split >= 0) {
            record.apkPath = rest.left(split + 4);
            after = rest.mid(split + 5);
        }
        QStringList fields = after.split(u' ', Qt::SkipEmptyParts);
        const auto notAPackage = [](const QString &name) {
            return name.contains(u':') || name.contains(u'=') || name.contains(u'/');
        };
        if (fields.isEmpty() || notAPackage(fields.first())) {
            listing.notes << line;
            continue;
        }
        record.package = fields.takeFirst();
        readFields(record, fields);
        listing.packages << record;
    }
    return listing;
}

PackageListing parsePackagePaths(const QString &output)
{
    PackageListing listing;
    for (const QString &raw : splitLines(output)) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(kPackagePrefix) && line.size() > kPackagePrefix.size()) {
            PackageRecord record;
            record.apkPath = line.mid(kPackagePrefix.size());
            listing.packages << record;
        } else {
            listing.notes << line;
        }
    }
    return listing;
}

namespace {

const QString kStatHead = QStringLiteral("stat -c '%s %Y %n'");

// `head` followed by words already quoted for the phone's sh.
QStringList quotedCommands(const QString &head, const QStringList &words, qsizetype maxLength)
{
    QStringList commands;
    QString command;
    for (const QString &quoted : words) {
        if (!command.isEmpty() && command.size() + 1 + quoted.size() > maxLength) {
            commands << command;
            command.clear();
        }
        if (command.isEmpty())
            command = head;
        command += u' ' + quoted;
    }
    if (!command.isEmpty())
        commands << command;
    return commands;
}

qint64 dumpTime(const QString &text)
{
    const QDateTime time = QDateTime::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // Phones that never set a time print 1970; that says nothing either.
    return time.isValid() && time.toSecsSinceEpoch() > 0 ? time.toSecsSinceEpoch() : 0;
}

// The folder a package has to itself, or empty when its APK lies among others'.
QString ownFolder(const QString &apkPath)
{
    const qsizetype slash = apkPath.lastIndexOf(u'/');
    if (slash <= 0)
        return QString();
    const QString folder = apkPath.left(slash);
    const QString file = apkPath.mid(slash + 1);
    const QString folderName = folder.section(u'/', -1);
    if (file == QLatin1String("base.apk") || file == folderName + QStringLiteral(".apk"))
        return folder;
    return QString();
}

} // namespace

QStringList apkStatCommands(const QStringList &paths, qsizetype maxLength)
{
    return pathCommands(kStatHead, paths, maxLength);
}

QStringList pathCommands(const QString &head, const QStringList &paths, qsizetype maxLength)
{
    QStringList words;
    for (const QString &path : paths)
        words << quoteDevicePath(path);
    return quotedCommands(head, words, maxLength);
}

QString apkPartsPattern(const QString &apkPath)
{
    const QString folder = ownFolder(apkPath);
    // The folder quoted, the pattern not: sh expands it to the parts that are there.
    return folder.isEmpty() ? quoteDevicePath(apkPath) : quoteDevicePath(folder) + QStringLiteral("/*.apk");
}

QStringList apkPartsStatCommands(const QStringList &apkPaths, qsizetype maxLength)
{
    QStringList words;
    for (const QString &path : apkPaths)
        words << apkPartsPattern(path);
    return quotedCommands(kStatHead, words, maxLength);
}

QList<ApkFileStat> partsOf(const QString &apkPath, const QList<ApkFileStat> &files)
{
    const QString folder = ownFolder(apkPath);
    QList<ApkFileStat> parts;
    for (const ApkFileStat &file : files) {
        const bool part = folder.isEmpty()
                              ? file.path == apkPath
                              : file.path.startsWith(folder + u'/') && !file.path.mid(folder.size() + 1).contains(u'/');
        if (part)
            parts << file;
    }
    return parts;
}

QHash<QString, PackageDump> parsePackageDump(const QString &output)
{
    QHash<QString, PackageDump> packages;
    static const QString blockHead = QStringLiteral("  Package [");
    bool inPackages = false;
    PackageDump *current = nullptr;
    for (const QString &line : splitLines(output)) {
        if (!line.isEmpty() && !line.at(0).isSpace()) {
            inPackages = line.trimmed() == QLatin1String("Packages:");
            current = nullptr;
            continue;
        }
        if (!inPackages)
            continue;
        if (line.startsWith(blockHead)) {
            const qsizetype close = line.indexOf(u']', blockHead.size());
            current = close < 0 ? nullptr : &packages[line.mid(blockHead.size(), close - blockHead.size())];
            continue;
        }
        // The package's own fields are indented by four; deeper lines belong to its users and permissions.
        if (!current || line.size() <= 4 || !line.startsWith(QLatin1String("    ")) || line.at(4).isSpace())
            continue;
        const QString field = line.mid(4);
        const qsizetype equals = field.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QStringView name = QStringView(field).left(equals);
        const QString value = field.mid(equals + 1);
        if (name == u"versionCode")
            current->versionCode = value.section(u' ', 0, 0);
        else if (name == u"versionName")
            current->versionName = value;
        else if (name == u"firstInstallTime")
            current->firstInstallSecs = dumpTime(value);
        else if (name == u"lastUpdateTime")
            current->lastUpdateSecs = dumpTime(value);
    }
    return packages;
}

ApkStatListing parseApkStats(const QString &output)
{
    ApkStatListing listing;
    for (const QString &line : splitLines(output)) {
        if (line.isEmpty())
            continue;
        // "<size> <mtime> <path>": the path is the rest of the line and may hold blanks.
        const qsizetype first = line.indexOf(u' ');
        const qsizetype second = first < 0 ? -1 : line.indexOf(u' ', first + 1);
        bool sizeOk = false;
        bool timeOk = false;
        ApkFileStat stat;
        if (second > first + 1) {
            stat.size = QStringView(line).left(first).toLongLong(&sizeOk);
            stat.modifiedSecs = QStringView(line).mid(first + 1, second - first - 1).toLongLong(&timeOk);
            stat.path = line.mid(second + 1);
        }
        if (sizeOk && timeOk && stat.size >= 0 && !stat.path.isEmpty())
            listing.files << stat;
        else if (!line.trimmed().isEmpty())
            listing.notes << line.trimmed();
    }
    return listing;
}

ApkStatListing readApkStats(AdbClient &adb, const QStringList &commands)
{
    ApkStatListing all;
    for (const QString &command : commands) {
        const ApkStatListing part = parseApkStats(adb.runShell(command));
        all.files += part.files;
        all.notes += part.notes;
    }
    return all;
}
