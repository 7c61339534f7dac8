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
void beginLog(AdbClient &adb, OperationLog &log)
{
    const std::shared_ptr<CancelToken> token = adb.cancelToken();
    if (token)
        token->reset();
    log.beginOperation([token] {
        if (token)
            token->cancel();
    });
}

} // namespace

AppsLoader::AppsLoader(AdbClient &adb, const AppStorage &storage, QString dataDir)
    : m_adb(adb), m_storage(storage), m_dataDir(std::move(dataDir))
{
}

bool AppsLoader::showsSecure(bool secureTab) const
{
    return access() == AppsAccess::Folders && m_storage.appStorageMode == AppStorageType::Asec && secureTab;
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

    AppCatalogue catalogue = AppCatalogue::forDataDir(m_dataDir);
    catalogue.load();
    for (ListItem &row : result.rows) {
        const CatalogueRecord *record = catalogue.find(appCatalogueKey(row));
        row.label = record ? record->label : QString();
        if (row.label.isEmpty())
            ++result.missing;
        else if (record && isStale(*record, versionCode(row)))
            result.stale << row;
    }
    // A size or date that does not convert leaves the listing's order.
    sortItems(result.rows, sortKeyOf(sort), shortListing);
    return result;
}

void AppsLoader::loadFolders(AppsLoad &result, AppsFilter filter, bool shortListing)
{
    const QString options = shortListing ? QStringLiteral("-l") : QStringLiteral("-l -e");
    std::optional<QString> packages; // asked once per load, only when a folder is closed
    auto add = [&](const QString &dir, bool protectedRows) {
        const QString output = m_adb.listPath(dir, options, false);
        // Without root the shell may not open the folders, but it may list the files in them.
        if (output.contains(QStringLiteral("Permission denied")))
            result.rows += listNamedFiles(dir, options, shortListing, protectedRows, packages);
        else
            result.rows += parseAppFolderListing(output, shortListing, protectedRows);
    };
    if (filter == AppsFilter::Protected || filter == AppsFilter::All)
        add(m_storage.privateAppDir, true);
    if (filter == AppsFilter::Unprotected || filter == AppsFilter::All)
        add(m_storage.appDir, false);
}

QList<ListItem> AppsLoader::listNamedFiles(const QString &dir, const QString &options, bool shortListing,
                                           bool protectedRows, std::optional<QString> &packages)
{
    if (!packages)
        packages = m_adb.runShell(QStringLiteral("pm list packages -f"));
    QStringList paths;
    for (const PackageRecord &package : parsePackageList(*packages).packages) {
        if (package.apkPath.startsWith(dir) && !package.apkPath.mid(dir.size()).contains(u'/'))
            paths << package.apkPath;
    }
    QList<ListItem> rows;
    for (const QString &command : pathCommands(QStringLiteral("ls ") + options, paths)) {
        for (ListItem row : parseAppFolderListing(m_adb.runShell(command), shortListing, protectedRows)) {
            // busybox prints the path as given, toolbox the file's name.
            row.name = row.name.section(u'/', -1);
            rows << row;
        }
    }
    return rows;
}

void AppsLoader::loadSecure(AppsLoad &result, bool shortListing)
{
    const QString output = m_adb.listPath(m_storage.appDir, shortListing ? QString() : QStringLiteral("-1"), false);
    const QString options = shortListing ? QStringLiteral("-l") : QStringLiteral("-l -e");
    for (const QString &container : parseContainerNames(output)) {
        const QString line = m_adb.listPath(m_storage.appDir + container + QStringLiteral("/pkg.apk"), options, false);
        result.rows << buildSecureAppItem(line, container, shortListing);
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
        const QString features = m_adb.adbFeatures();
        m_cmdWorks = features.contains(QStringLiteral("cmd")) ? 1 : 0;
        m_maxCommand = shellTextLimit(features);
    }
    QString output = m_adb.runShell(packageListCommand(filter));
    if (m_cmdWorks == 1 && !output.contains(QStringLiteral("package:"))) {
        m_cmdWorks = 0;
        output = m_adb.runShell(packageListCommand(filter));
    }
    return output;
}

void AppsLoader::loadPackages(AppsLoad &result, AppsFilter filter, bool shortListing)
{
    const PackageListing listing = parsePackageList(runPackageList(filter));
    result.notes += listing.notes;
    QStringList paths;
    for (const PackageRecord &package : listing.packages)
        paths << package.apkPath;
    const ApkStatListing stats = readApkStats(m_adb, paths, m_maxCommand);
    QHash<QString, const ApkFileStat *> byPath;
    for (const ApkFileStat &stat : stats.files)
        byPath.insert(stat.path, &stat);
    for (const PackageRecord &package : listing.packages) {
        const ListItem row = packageRow(package, byPath.value(package.apkPath), shortListing);
        m_packages.insert(row.name, {package.apkPath, package.versionCode, isSystemApkPath(package.apkPath)});
        result.rows << row;
    }
}

QString AppsLoader::devicePath(const ListItem &row) const
{
    if (access() == AppsAccess::PackageManager)
        return m_packages.value(row.name).apkPath;
    return (row.isProtected ? m_storage.privateAppDir : m_storage.appDir) + row.name;
}

QStringList AppsLoader::deviceParts(const ListItem &row)
{
    if (access() != AppsAccess::PackageManager)
        return {devicePath(row)};
    const PackageListing parts =
        parsePackagePaths(m_adb.runShell(QStringLiteral("pm path ") + quoteDevicePath(packageName(row))));
    QStringList paths;
    for (const PackageRecord &part : parts.packages)
        paths << part.apkPath;
    if (paths.isEmpty() && !devicePath(row).isEmpty())
        paths << devicePath(row);
    return paths;
}

QString AppsLoader::packageName(const ListItem &row) const
{
    return packageOfAppName(row.name);
}

bool AppsLoader::isSystemPackage(const ListItem &row) const
{
    return access() == AppsAccess::PackageManager ? m_packages.value(row.name).system
                                                  : isSystemApkPath(devicePath(row));
}

QString AppsLoader::versionCode(const ListItem &row) const
{
    return access() == AppsAccess::PackageManager ? m_packages.value(row.name).versionCode : QString();
}

bool AppsLoader::phoneStreams()
{
    if (m_streams < 0) {
        m_streams = 0;
        if (access() == AppsAccess::PackageManager) {
            for (const Package &package : std::as_const(m_packages)) {
                m_streams = AppInfoReader::phoneHasUnzip(m_adb, package.apkPath) ? 1 : 0;
                break;
            }
        }
    }
    return m_streams == 1;
}

AppsInfoUpdater::AppsInfoUpdater(AppsLoader &loader, AppInfoReader &reader) : m_loader(loader), m_reader(reader) {}

bool AppsInfoUpdater::readRow(const ListItem &row, AppCatalogue &catalogue, QString *error)
{
    const QString key = appCatalogueKey(row);
    const AppInfo info = m_reader.read(m_loader.devicePath(row), catalogue.iconPath(key));
    m_bytes += info.bytesFromPhone;
    const QString label = info.badging.label;
    // A package without a label is recorded under its key, so that the next load does not ask again.
    QString version = info.badging.versionCode;
    if (version.isEmpty())
        version = m_loader.versionCode(row);
    catalogue.put({key, label.isEmpty() ? key : label, version});
    if (error)
        *error = info.error;
    return info.ok && !info.iconFile.isEmpty();
}

void AppsInfoUpdater::logRow(const QString &title, const ListItem &row, AppCatalogue &catalogue, OperationLog &log)
{
    log.logLine(title);
    QString error;
    const bool done = readRow(row, catalogue, &error);
    if (!done && !error.isEmpty())
        log.logLine(error);
    log.logLine(done ? QStringLiteral("Complete") : QStringLiteral("Failed"));
    log.logLine(QStringLiteral(" "));
}

void AppsInfoUpdater::updateMissingInfo(const QList<ListItem> &rows, bool, OperationLog &log)
{
    m_reader.setStreaming(m_loader.phoneStreams());
    beginLog(m_loader.adb(), log);
    log.logLine(QStringLiteral("Starting operation..."));
    log.logLine(QStringLiteral(" "));
    AppCatalogue catalogue = AppCatalogue::forDataDir(m_loader.dataDir());
    catalogue.load();
    bool any = false;
    for (const ListItem &row : rows) {
        if (itemLabel(row) != row.name)
            continue;
        if (m_loader.adb().isCancelled()) {
            log.logLine(QStringLiteral("Cancelled"));
            break;
        }
        any = true;
        logRow(QStringLiteral("Getting info from: ") + row.name, row, catalogue, log);
    }
    if (!any)
        log.logLine(QStringLiteral("All applications are updated!"));
    if (!catalogue.save())
        log.logLine(QStringLiteral("Cannot save the catalogue: ") + catalogue.errorString());
    log.endOperation();
}

void AppsInfoUpdater::reloadAllInfo(const QList<ListItem> &rows, bool, OperationLog &log)
{
    m_reader.setStreaming(m_loader.phoneStreams());
    beginLog(m_loader.adb(), log);
    const int n = int(rows.size());
    log.logLine(QStringLiteral("Apps count: ") + QString::number(n));
    log.logLine(QStringLiteral(" "));
    log.logLine(QStringLiteral("Starting operation..."));
    log.logLine(QStringLiteral(" "));
    // A new list: records of packages no longer shown go with the old one.
    AppCatalogue catalogue = AppCatalogue::forDataDir(m_loader.dataDir());
    bool cancelled = false;
    for (int i = 0; i < n; ++i) {
        const ListItem &row = rows.at(i);
        if (m_loader.adb().isCancelled()) {
            log.logLine(QStringLiteral("Cancelled"));
            cancelled = true;
            break;
        }
        logRow(QStringLiteral("[%1/%2] Getting info from: ").arg(i + 1).arg(n) + row.name, row, catalogue, log);
    }
    if (cancelled) {
        // Half a rebuild would lose the records not read yet: keep the old ones beside the new.
        AppCatalogue merged = AppCatalogue::forDataDir(m_loader.dataDir());
        merged.load();
        for (const CatalogueRecord &record : catalogue.records())
            merged.put(record);
        catalogue = merged;
    }
    if (!catalogue.save())
        log.logLine(QStringLiteral("Cannot save the catalogue: ") + catalogue.errorString());
    log.endOperation();
}

int AppsInfoUpdater::refresh(const QList<ListItem> &rows)
{
    if (rows.isEmpty())
        return 0;
    m_reader.setStreaming(m_loader.phoneStreams());
    AppCatalogue catalogue = AppCatalogue::forDataDir(m_loader.dataDir());
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
