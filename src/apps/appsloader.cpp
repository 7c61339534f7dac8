#include "apps/appsloader.h"

#include "apps/appinfo.h"
#include "apps/applisting.h"
#include "apps/catalogue.h"
#include "apps/packagelist.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "bridge/adbutils.h"
#include "lists/listengine.h"

#include <QFile>
#include <QPointer>
#include <QThread>

#include <future>
#include <optional>

namespace {

// Fewer unread packages than this are read in a group or two: a hint would not pay for the package it reads.
constexpr qsizetype kUnreadWorthAHint = 8;

struct StreamProbe {
    bool streams = false;
    QString icon;
};

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
    AppCatalogue catalogue = AppCatalogue::forDataDir(m_dataDir);
    catalogue.load();
    if (access() == AppsAccess::PackageManager)
        loadPackages(result, filter, shortListing, catalogue);
    else if (result.secure)
        loadSecure(result, shortListing);
    else
        loadFolders(result, filter, shortListing);

    addCatalogue(result, catalogue);
    // A size or date that does not convert leaves the listing's order.
    sortItems(result.rows, sortKeyOf(sort), shortListing);
    return result;
}

void AppsLoader::addCatalogue(AppsLoad &result, const AppCatalogue &catalogue)
{
    const bool folders = access() != AppsAccess::PackageManager;
    for (ListItem &row : result.rows) {
        const QString key = appCatalogueKey(row);
        const CatalogueRecord *record = catalogue.find(key);
        row.label = record ? record->label : QString();
        if (folders) {
            row.facts.package = packageName(row);
            row.facts.apkPath = devicePath(row);
            row.facts.apkParts = 1;
            // The package manager is not asked on these phones: the version is the one read from the APK.
            row.facts.versionCode = record ? record->versionCode : QString();
        }
        if (row.label.isEmpty())
            ++result.missing;
        if (row.label.isEmpty() || (record && isStale(*record, versionCode(row))))
            result.toRead << InfoReadJob{key, devicePath(row), versionCode(row)};
    }
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

void AppsLoader::loadPackages(AppsLoad &result, AppsFilter filter, bool shortListing, const AppCatalogue &catalogue)
{
    // The package manager's own record for versions and dates, asked for meanwhile on a client of its own.
    std::future<QHash<QString, PackageDump>> dumped = std::async(
        std::launch::async, [adb = m_adb]() mutable { return parsePackageDump(adb.runShell(packageDumpCommand())); });
    const PackageListing listing = parsePackageList(runPackageList(filter));
    result.notes += listing.notes;
    QStringList paths;
    for (const PackageRecord &package : listing.packages)
        paths << package.apkPath;
    // While every part's size and time is read: whether the phone's unzip can stream APK members (learned once),
    // and, where most packages are still to be read, the icon member one package names, so that the reading asks
    // for it with the tables from its first group on.
    qsizetype unread = 0;
    for (const PackageRecord &package : listing.packages)
        unread += catalogue.find(catalogueKeyForPackage(package.package)) ? 0 : 1;
    const bool learnIcon = m_iconHint.isEmpty() && m_streams != 0 && unread >= kUnreadWorthAHint;
    std::future<StreamProbe> probe;
    if ((m_streams < 0 || learnIcon) && !paths.isEmpty()) {
        probe = std::async(std::launch::async, [adb = m_adb, apk = paths.first(), askUnzip = m_streams < 0, learnIcon,
                                                tempDir = appState().tempDir]() mutable {
            StreamProbe found;
            found.streams = !askUnzip || AppInfoReader::phoneHasUnzip(adb, apk);
            if (found.streams && learnIcon && !tempDir.isEmpty())
                found.icon = AppInfoReader::streamedIconMember(adb, apk, tempDir);
            return found;
        });
    }
    const ApkStatListing stats = readApkStats(m_adb, apkPartsStatCommands(paths, m_maxCommand));
    if (probe.valid()) {
        const StreamProbe found = probe.get();
        // A cancelled probe says nothing about the phone.
        if (m_streams < 0 && (found.streams || !m_adb.isCancelled()))
            m_streams = found.streams ? 1 : 0;
        if (!found.icon.isEmpty())
            m_iconHint = found.icon;
    }
    QHash<QString, QList<ApkFileStat>> byFolder;
    for (const ApkFileStat &stat : stats.files)
        byFolder[stat.path.left(stat.path.lastIndexOf(u'/'))] << stat;
    const QHash<QString, PackageDump> dump = dumped.get();
    for (const PackageRecord &package : listing.packages) {
        const QString folder = package.apkPath.left(package.apkPath.lastIndexOf(u'/'));
        const auto found = dump.constFind(package.package);
        const ListItem row = packageRow(package, partsOf(package.apkPath, byFolder.value(folder)),
                                        found == dump.constEnd() ? nullptr : &*found, shortListing);
        m_packages.insert(row.name, {package.apkPath, row.facts.versionCode, isSystemApkPath(package.apkPath)});
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
QString recordPackageInfo(const InfoReadJob &job, const AppInfo &info, AppCatalogue &catalogue)
{
    // A package without a label is recorded under its key, so that the next load does not ask again.
    const QString label = info.badging.label.isEmpty() ? job.key : info.badging.label;
    const QString version = info.badging.versionCode.isEmpty() ? job.versionCode : info.badging.versionCode;
    catalogue.put({job.key, label, version});
    return label;
}

void AppsInfoUpdater::readRows(const QList<ListItem> &rows, const QStringList &titles, AppCatalogue &catalogue,
                               OperationLog &log)
{
    QList<InfoReadJob> jobs;
    for (const ListItem &row : rows)
        jobs << InfoReadJob{appCatalogueKey(row), m_loader.devicePath(row), m_loader.versionCode(row)};
    m_reader.setStreaming(m_loader.phoneStreams());
    m_reader.setCommandLimit(m_loader.commandLimit());
    m_reader.setIconHint(m_loader.iconHint());
    m_reader.readMany(
        jobs, [&](const InfoReadJob &job) { return catalogue.iconPath(job.key); },
        [&](int i, const AppInfo &info) {
            m_bytes += info.bytesFromPhone;
            recordPackageInfo(jobs.at(i), info, catalogue);
            const bool complete = info.ok && !info.iconFile.isEmpty();
            // The row's lines in the log: its title, then "Complete" or "Failed" and a blank line.
            log.logLine(titles.at(i));
            if (!complete && !info.error.isEmpty())
                log.logLine(info.error);
            log.logLine(complete ? QStringLiteral("Complete") : QStringLiteral("Failed"));
            log.logLine(QStringLiteral(" "));
        });
}

void AppsInfoUpdater::updateMissingInfo(const QList<ListItem> &rows, bool, OperationLog &log)
{
    beginLog(m_loader.adb(), log);
    log.logLine(QStringLiteral("Starting operation..."));
    log.logLine(QStringLiteral(" "));
    AppCatalogue catalogue = AppCatalogue::forDataDir(m_loader.dataDir());
    catalogue.load();
    QList<ListItem> missing;
    QStringList titles;
    for (const ListItem &row : rows) {
        if (itemLabel(row) == row.name) {
            missing << row;
            titles << QStringLiteral("Getting info from: ") + row.name;
        }
    }
    readRows(missing, titles, catalogue, log);
    if (m_loader.adb().isCancelled())
        log.logLine(QStringLiteral("Cancelled"));
    else if (missing.isEmpty())
        log.logLine(QStringLiteral("All applications are updated!"));
    if (!catalogue.save())
        log.logLine(QStringLiteral("Cannot save the catalogue: ") + catalogue.errorString());
    log.endOperation();
}

void AppsInfoUpdater::reloadAllInfo(const QList<ListItem> &rows, bool, OperationLog &log)
{
    beginLog(m_loader.adb(), log);
    const int n = int(rows.size());
    log.logLine(QStringLiteral("Apps count: ") + QString::number(n));
    log.logLine(QStringLiteral(" "));
    log.logLine(QStringLiteral("Starting operation..."));
    log.logLine(QStringLiteral(" "));
    // A new list: records of packages no longer shown go with the old one.
    AppCatalogue catalogue = AppCatalogue::forDataDir(m_loader.dataDir());
    QStringList titles;
    for (int i = 0; i < n; ++i)
        titles << QStringLiteral("[%1/%2] Getting info from: ").arg(i + 1).arg(n) + rows.at(i).name;
    readRows(rows, titles, catalogue, log);
    if (m_loader.adb().isCancelled()) {
        log.logLine(QStringLiteral("Cancelled"));
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

BackgroundInfoReader::BackgroundInfoReader(const AdbClient &adb, QString dataDir, QString tempDir, QObject *parent)
    : QObject(parent), m_adb(adb), m_dataDir(std::move(dataDir)), m_tempDir(std::move(tempDir))
{
}

BackgroundInfoReader::~BackgroundInfoReader()
{
    stop();
}

void BackgroundInfoReader::stop()
{
    ++m_run;
    m_running = false;
    if (!m_thread)
        return;
    m_cancel->cancel();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

void BackgroundInfoReader::start(QList<InfoReadJob> jobs, bool streaming, qsizetype commandLimit,
                                 const QString &iconHint)
{
    stop();
    if (jobs.isEmpty())
        return;
    const int run = m_run;
    m_running = true;
    m_cancel = std::make_shared<CancelToken>();
    // The thread's own client: one command at a time per client, and its own Cancel.
    AdbClient adb = m_adb;
    adb.setCancelToken(m_cancel);
    const QPointer<BackgroundInfoReader> self(this);
    // Results reach the window's thread as queued calls, dropped when a newer run has begun.
    auto post = [self, run](auto call) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, run, call] {
                if (self && self->m_run == run)
                    call(*self);
            },
            Qt::QueuedConnection);
    };
    m_thread = QThread::create([adb, jobs = std::move(jobs), streaming, commandLimit, iconHint, post,
                                dataDir = m_dataDir, tempDir = m_tempDir]() mutable {
        AppInfoReader reader(adb, tempDir);
        reader.setStreaming(streaming);
        reader.setCommandLimit(commandLimit);
        reader.setIconHint(iconHint);
        const AppCatalogue icons = AppCatalogue::forDataDir(dataDir);
        const int total = int(jobs.size());
        bool gone = false;
        reader.readMany(
            jobs, [&](const InfoReadJob &job) { return icons.iconPath(job.key); },
            [&](int i, const AppInfo &info) {
                // Nothing came, and the phone is gone: nothing is recorded, so the next listing tries again.
                if (gone || adb.isCancelled() ||
                    (!(info.ok && !info.iconFile.isEmpty()) && info.bytesFromPhone == 0 && !adb.devicePresent())) {
                    gone = true;
                    return;
                }
                AppCatalogue read = AppCatalogue::forDataDir(dataDir);
                recordPackageInfo(jobs.at(i), info, read);
                const CatalogueRecord *record = read.find(jobs.at(i).key);
                if (!record)
                    return;
                // Stored package by package: a run cut short keeps what it read, and records other writers
                // added meanwhile stay.
                AppCatalogue::forDataDir(dataDir).store(*record);
                post([record = *record, done = i + 1, total](BackgroundInfoReader &reader) {
                    emit reader.packageRead(record.key, record.label, record.versionCode);
                    emit reader.progress(done, total);
                });
            });
        post([](BackgroundInfoReader &reader) {
            reader.m_running = false;
            emit reader.finished();
        });
    });
    m_thread->start();
}
