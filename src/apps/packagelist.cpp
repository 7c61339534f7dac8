#include "apps/packagelist.h"

#include "bridge/adbutils.h"

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

QStringList apkStatCommands(const QStringList &paths, qsizetype maxLength)
{
    return pathCommands(QStringLiteral("stat -c '%s %Y %n'"), paths, maxLength);
}

QStringList pathCommands(const QString &head, const QStringList &paths, qsizetype maxLength)
{
    QStringList commands;
    QString command;
    for (const QString &path : paths) {
        const QString quoted = quoteDevicePath(path);
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

ApkStatListing readApkStats(AdbClient &adb, const QStringList &paths, qsizetype maxLength)
{
    ApkStatListing all;
    for (const QString &command : apkStatCommands(paths, maxLength)) {
        const ApkStatListing part = parseApkStats(adb.runShell(command));
        all.files += part.files;
        all.notes += part.notes;
    }
    return all;
}
