#include "apps/appsloader.h"

#include "apps/appinfo.h"
#include "apps/applisting.h"
#include "apps/catalogue.h"
#include "apps/packagelist.h"
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "lists/listengine.h"

#include <QFile>

#include <optional>

namespace {

SortKey sortKeyOf(AppsSort sort)
{
    switch (sort) {
    case AppsSort::Date:
        return SortKey::Date;
    case AppsSort::Size:
        return SortKey::Size;
    case AppsSort::AppName:
        return SortKey::Label;
    case AppsSort::FileName:
        return SortKey::Name;
    }
    return SortKey::Date;
}

// Cancel in the log stops the running command and the rows after it.
void beginLog(TADB &adb, OperationLog &log)
{
    const std::shared_ptr<CancelToken> token = adb.cancelToken();
    if (token)
        token->reset();
    log.BeginOperation([token] {
        if (token)
            token->cancel();
    });
}

} // namespace

AppsLoader::AppsLoader(TADB &adb, const AppStorage &storage, QString dataDir)
    : m_adb(adb), m_storage(storage), m_dataDir(std::move(dataDir))
{
}

bool AppsLoader::showsSecure(bool secureTab) const
{
    return access() == AppsAccess::Folders && m_storage.AppStorageMode == AppStorageType::Asec && secureTab;
}

AppsLoad AppsLoader::load(AppsFilter filter, AppsSort sort, bool shortListing, bool secureTab)
{
    AppsLoad result;
    result.secure = showsSecure(secureTab);
    m_lastSecure = result.secure;
    if (access() == AppsAccess::PackageManager)
        loadPackages(result, filter, shortListing);
    else if (result.secure)
        loadSecure(result, shortListing);
    else
        loadFolders(result, filter, shortListing);

    TCatalogue catalogue = TCatalogue::forDataDir(m_dataDir);
    catalogue.load();
    for (ListItem &row : result.rows) {
        const CatalogueRecord *record = catalogue.find(AppCatalogueKey(row));
        row.Label = record ? record->Label : QString();
        if (row.Label.isEmpty())
            ++result.missing;
        else if (record && IsStale(*record, versionCode(row)))
            result.stale << row;
    }
    // A size or date that does not convert leaves the listing's order.
    SortItems(result.rows, sortKeyOf(sort), shortListing);
    return result;
}

void AppsLoader::loadFolders(AppsLoad &result, AppsFilter filter, bool shortListing)
{
    const QString options = shortListing ? QStringLiteral("-l") : QStringLiteral("-l -e");
    std::optional<QString> packages; // asked once per load, only when a folder is closed
    auto add = [&](const QString &dir, bool protectedRows) {
        const QString output = m_adb.List(dir, options, false);
        // Without root the shell may not open the folders, but it may list the files in them.
        if (output.contains(QStringLiteral("Permission denied")))
            result.rows += listNamedFiles(dir, options, shortListing, protectedRows, packages);
        else
            result.rows += ParseAppFolderListing(output, shortListing, protectedRows);
    };
    if (filter == AppsFilter::Protected || filter == AppsFilter::All)
        add(m_storage.PrivateAppDir, true);
    if (filter == AppsFilter::Unprotected || filter == AppsFilter::All)
        add(m_storage.AppDir, false);
}

QList<ListItem> AppsLoader::listNamedFiles(const QString &dir, const QString &options, bool shortListing,
                                           bool protectedRows, std::optional<QString> &packages)
{
    if (!packages)
        packages = m_adb.Shell(QStringLiteral("pm list packages -f"));
    QStringList paths;
    for (const PackageRecord &package : ParsePackageList(*packages).Packages) {
        if (package.ApkPath.startsWith(dir) && !package.ApkPath.mid(dir.size()).contains(u'/'))
            paths << package.ApkPath;
    }
    QList<ListItem> rows;
    for (const QString &command : PathCommands(QStringLiteral("ls ") + options, paths)) {
        for (ListItem row : ParseAppFolderListing(m_adb.Shell(command), shortListing, protectedRows)) {
            // busybox prints the path as given, toolbox the file's name.
            row.Name = row.Name.section(u'/', -1);
            rows << row;
        }
    }
    return rows;
}

void AppsLoader::loadSecure(AppsLoad &result, bool shortListing)
{
    const QString output = m_adb.List(m_storage.AppDir, shortListing ? QString() : QStringLiteral("-1"), false);
    const QString options = shortListing ? QStringLiteral("-l") : QStringLiteral("-l -e");
    for (const QString &container : ParseContainerNames(output)) {
        const QString line = m_adb.List(m_storage.AppDir + container + QStringLiteral("/pkg.apk"), options, false);
        result.rows << BuildSecureAppItem(line, container, shortListing);
    }
}

QString AppsLoader::packageListCommand(AppsFilter filter) const
{
    QString command = m_cmdWorks == 0 ? QStringLiteral("pm list packages -f")
                                      : QStringLiteral("cmd package list packages -f -U --show-versioncode");
    if (filter == AppsFilter::Protected)
        command += QStringLiteral(" -3");
    else if (filter == AppsFilter::Unprotected)
        command += QStringLiteral(" -s");
    return command;
}

QString AppsLoader::runPackageList(AppsFilter filter)
{
    if (m_cmdWorks < 0) {
        // `cmd` came with Android 7; older package managers do not know the flags either.
        const QString features = m_adb.Features();
        m_cmdWorks = features.contains(QStringLiteral("cmd")) ? 1 : 0;
        m_maxCommand = shellTextLimit(features);
    }
    QString output = m_adb.Shell(packageListCommand(filter));
    if (m_cmdWorks == 1 && !output.contains(QStringLiteral("package:"))) {
        m_cmdWorks = 0;
        output = m_adb.Shell(packageListCommand(filter));
    }
    return output;
}

void AppsLoader::loadPackages(AppsLoad &result, AppsFilter filter, bool shortListing)
{
    const PackageListing listing = ParsePackageList(runPackageList(filter));
    result.notes += listing.Notes;
    QStringList paths;
    for (const PackageRecord &package : listing.Packages)
        paths << package.ApkPath;
    const ApkStatListing stats = ReadApkStats(m_adb, paths, m_maxCommand);
    QHash<QString, const ApkFileStat *> byPath;
    for (const ApkFileStat &stat : stats.Files)
        byPath.insert(stat.Path, &stat);
    for (const PackageRecord &package : listing.Packages) {
        const ListItem row = PackageRow(package, byPath.value(package.ApkPath), shortListing);
        m_packages.insert(row.Name, {package.ApkPath, package.VersionCode, IsSystemApkPath(package.ApkPath)});
        result.rows << row;
    }
}

QString AppsLoader::devicePath(const ListItem &row) const
{
    if (access() == AppsAccess::PackageManager)
        return m_packages.value(row.Name).apkPath;
    return (row.Protected ? m_storage.PrivateAppDir : m_storage.AppDir) + row.Name;
}

QStringList AppsLoader::deviceParts(const ListItem &row)
{
    if (access() != AppsAccess::PackageManager)
        return {devicePath(row)};
    const PackageListing parts =
        ParsePackagePaths(m_adb.Shell(QStringLiteral("pm path ") + quoteDevicePath(packageName(row))));
    QStringList paths;
    for (const PackageRecord &part : parts.Packages)
        paths << part.ApkPath;
    if (paths.isEmpty() && !devicePath(row).isEmpty())
        paths << devicePath(row);
    return paths;
}

QString AppsLoader::packageName(const ListItem &row) const
{
    return PackageOfAppName(row.Name);
}

bool AppsLoader::isSystemPackage(const ListItem &row) const
{
    return access() == AppsAccess::PackageManager ? m_packages.value(row.Name).system
                                                  : IsSystemApkPath(devicePath(row));
}

QString AppsLoader::versionCode(const ListItem &row) const
{
    return access() == AppsAccess::PackageManager ? m_packages.value(row.Name).versionCode : QString();
}

bool AppsLoader::phoneStreams()
{
    if (m_streams < 0) {
        m_streams = 0;
        if (access() == AppsAccess::PackageManager) {
            for (const Package &package : std::as_const(m_packages)) {
                m_streams = AppInfoReader::PhoneHasUnzip(m_adb, package.apkPath) ? 1 : 0;
                break;
            }
        }
    }
    return m_streams == 1;
}

AppsInfoUpdater::AppsInfoUpdater(AppsLoader &loader, AppInfoReader &reader) : m_loader(loader), m_reader(reader) {}

bool AppsInfoUpdater::readRow(const ListItem &row, TCatalogue &catalogue, QString *error)
{
    const QString key = AppCatalogueKey(row);
    const AppInfo info = m_reader.read(m_loader.devicePath(row), catalogue.iconPath(key));
    m_bytes += info.bytesFromPhone;
    const QString label = info.badging.Label;
    // A package without a label is recorded under its key, so that the next load does not ask again.
    QString version = info.badging.VersionCode;
    if (version.isEmpty())
        version = m_loader.versionCode(row);
    catalogue.put({key, label.isEmpty() ? key : label, version});
    if (error)
        *error = info.error;
    return info.ok && !info.iconFile.isEmpty();
}

void AppsInfoUpdater::logRow(const QString &title, const ListItem &row, TCatalogue &catalogue, OperationLog &log)
{
    log.LogLine(title);
    QString error;
    const bool done = readRow(row, catalogue, &error);
    if (!done && !error.isEmpty())
        log.LogLine(error);
    log.LogLine(done ? QStringLiteral("Complete") : QStringLiteral("Failed"));
    log.LogLine(QStringLiteral(" "));
}

void AppsInfoUpdater::UpdateMissingInfo(const QList<ListItem> &rows, bool, OperationLog &log)
{
    m_reader.setStreaming(m_loader.phoneStreams());
    beginLog(m_loader.adb(), log);
    log.LogLine(QStringLiteral("Starting operation..."));
    log.LogLine(QStringLiteral(" "));
    TCatalogue catalogue = TCatalogue::forDataDir(m_loader.dataDir());
    catalogue.load();
    bool any = false;
    for (const ListItem &row : rows) {
        if (ItemLabel(row) != row.Name)
            continue;
        if (m_loader.adb().isCancelled()) {
            log.LogLine(QStringLiteral("Cancelled"));
            break;
        }
        any = true;
        logRow(QStringLiteral("Getting info from: ") + row.Name, row, catalogue, log);
    }
    if (!any)
        log.LogLine(QStringLiteral("All applications are updated!"));
    if (!catalogue.save())
        log.LogLine(QStringLiteral("Cannot save the catalogue: ") + catalogue.errorString());
    log.EndOperation();
}

void AppsInfoUpdater::ReloadAllInfo(const QList<ListItem> &rows, bool, OperationLog &log)
{
    m_reader.setStreaming(m_loader.phoneStreams());
    beginLog(m_loader.adb(), log);
    const int n = int(rows.size());
    log.LogLine(QStringLiteral("Apps count: ") + QString::number(n));
    log.LogLine(QStringLiteral(" "));
    log.LogLine(QStringLiteral("Starting operation..."));
    log.LogLine(QStringLiteral(" "));
    // A new list: records of packages no longer shown go with the old one.
    TCatalogue catalogue = TCatalogue::forDataDir(m_loader.dataDir());
    bool cancelled = false;
    for (int i = 0; i < n; ++i) {
        const ListItem &row = rows.at(i);
        if (m_loader.adb().isCancelled()) {
            log.LogLine(QStringLiteral("Cancelled"));
            cancelled = true;
            break;
        }
        logRow(QStringLiteral("[%1/%2] Getting info from: ").arg(i + 1).arg(n) + row.Name, row, catalogue, log);
    }
    if (cancelled) {
        // Half a rebuild would lose the records not read yet: keep the old ones beside the new.
        TCatalogue merged = TCatalogue::forDataDir(m_loader.dataDir());
        merged.load();
        for (const CatalogueRecord &record : catalogue.records())
            merged.put(record);
        catalogue = merged;
    }
    if (!catalogue.save())
        log.LogLine(QStringLiteral("Cannot save the catalogue: ") + catalogue.errorString());
    log.EndOperation();
}

int AppsInfoUpdater::refresh(const QList<ListItem> &rows)
{
    if (rows.isEmpty())
        return 0;
    m_reader.setStreaming(m_loader.phoneStreams());
    TCatalogue catalogue = TCatalogue::forDataDir(m_loader.dataDir());
    catalogue.load();
    int count = 0;
    for (const ListItem &row : rows) {
        if (m_loader.adb().isCancelled())
            break;
        readRow(row, catalogue, nullptr);
        ++count;
    }
    catalogue.save();
    return count;
}
