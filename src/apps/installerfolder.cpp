#include "apps/installerfolder.h"

#include "apps/apkfile.h"
#include "apps/appbackup.h"
#include "base/oncores.h"
#include "base/safefile.h"
#include "bridge/adbutils.h"
#include "bridge/commandrunner.h"
#include "platform/localfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <vector>

namespace {

// What aapt said about one file at one size and time; `ok` false when it could not read it.
struct CachedRead {
    qint64 size = -1;
    qint64 modified = 0;
    bool ok = false;
    QString label;
    QString version;
    QString package;
};

struct ReadCache {
    QMutex mutex;
    QHash<QString, CachedRead> entries;
    QSet<QString> loadedFiles;
};

ReadCache &cache()
{
    static ReadCache instance;
    return instance;
}

qint64 stampOf(const QFileInfo &info)
{
    return info.lastModified().toMSecsSinceEpoch();
}

bool matches(const CachedRead &read, const QFileInfo &info)
{
    return read.size == info.size() && read.modified == stampOf(info);
}

void loadCacheFile(ReadCache &store, const QString &fileName)
{
    if (fileName.isEmpty() || store.loadedFiles.contains(fileName))
        return;
    store.loadedFiles.insert(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QJsonArray files = QJsonDocument::fromJson(file.readAll()).object().value(QStringLiteral("files")).toArray();
    for (const QJsonValue &value : files) {
        const QJsonObject o = value.toObject();
        const QString path = o.value(QStringLiteral("path")).toString();
        // What this run read already is newer than the file.
        if (path.isEmpty() || store.entries.contains(path))
            continue;
        CachedRead read;
        read.size = qint64(o.value(QStringLiteral("size")).toDouble(-1));
        read.modified = qint64(o.value(QStringLiteral("modified")).toDouble());
        read.ok = o.value(QStringLiteral("ok")).toBool();
        read.label = o.value(QStringLiteral("label")).toString();
        read.version = o.value(QStringLiteral("version")).toString();
        read.package = o.value(QStringLiteral("package")).toString();
        store.entries.insert(path, read);
    }
}

void saveCacheFile(const ReadCache &store, const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    QJsonArray files;
    for (auto it = store.entries.cbegin(); it != store.entries.cend(); ++it) {
        // Files gone from the PC are not carried along, nor failures: a later aapt may read them.
        if (!it->ok || !QFileInfo::exists(it.key()))
            continue;
        files.append(QJsonObject{{QStringLiteral("path"), it.key()},
                                 {QStringLiteral("size"), double(it->size)},
                                 {QStringLiteral("modified"), double(it->modified)},
                                 {QStringLiteral("ok"), it->ok},
                                 {QStringLiteral("label"), it->label},
                                 {QStringLiteral("version"), it->version},
                                 {QStringLiteral("package"), it->package}});
    }
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QSaveFile file(fileName);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("files"), files}}).toJson(QJsonDocument::Compact));
        file.commit();
    }
}

// `work`: the worker's own folder, since every icon is unpacked under its member's last name.
void storeIcon(const PackageFile &file, const ApkBadging &badging, const QString &work,
               const InstallerReadOptions &options)
{
    if (options.iconsDir.isEmpty() || badging.iconPath.isEmpty() || work.isEmpty())
        return;
    const QString target = options.iconsDir + u'/' + badging.package + QStringLiteral(".apk.png");
    if (QFileInfo::exists(target))
        return;
    const QString extracted = file.extractIcon(badging, work);
    // Another worker may have written the same package's icon meanwhile; either one will do.
    if (!extracted.isEmpty() && !QFile::rename(extracted, target))
        QFile::remove(extracted);
}

// `known`: the badging when aapt2 read it with other files already.
CachedRead readFile(AdbClient &adb, const QFileInfo &info, const QString &work, const InstallerReadOptions &options,
                    const ApkBadging *known = nullptr)
{
    CachedRead read;
    read.size = info.size();
    read.modified = stampOf(info);
    const PackageFile file(info.filePath(), options.tempDir);
    const ApkBadging badging = known ? *known : file.badging(adb);
    if (badging.package.isEmpty())
        return read;
    read.ok = true;
    read.label = badging.label;
    read.version = badging.versionName;
    read.package = badging.package;
    storeIcon(file, badging, work, options);
    return read;
}

// Plain APKs go to aapt2 many at a time, since starting a process costs more than reading a small APK; each
// thread takes a share. A share aapt2 cannot answer for file by file is read one file at a time. Bundles hold
// their APK inside, so each is read alone.
std::vector<CachedRead> readAll(const QList<QFileInfo> &files, const InstallerReadOptions &options)
{
    std::vector<CachedRead> results(std::size_t(files.size()));
    QList<QList<int>> pieces;
    QList<int> plain;
    for (int i = 0; i < files.size(); ++i) {
        if (isBundleFileName(files.at(i).fileName()))
            pieces.append(QList<int>{i});
        else
            plain << i;
    }
    const int threads = options.workers > 0 ? options.workers : QThread::idealThreadCount();
    const qsizetype share = std::clamp<qsizetype>((plain.size() + threads - 1) / std::max(threads, 1), 1, 40);
    for (qsizetype from = 0; from < plain.size(); from += share)
        pieces.append(plain.mid(from, share));
    const std::shared_ptr<CommandRunner> runner = options.runner ? options.runner : defaultCommandRunner();
    runOnCores(int(pieces.size()), options.workers, [&] {
        // A damaged file must not hold the folder for ever.
        AdbClient adb(runner);
        adb.setTimeout(60000);
        auto work = std::make_shared<QTemporaryDir>(options.tempDir + QStringLiteral("/icons-XXXXXX"));
        return [&, adb, work](int p) mutable {
            const QString folder = work->isValid() ? work->path() : QString();
            const QList<int> &piece = pieces.at(p);
            QStringList paths;
            for (const int i : piece)
                paths << files.at(i).filePath();
            const QList<ApkBadging> badgings =
                piece.size() > 1 && !folder.isEmpty()
                    ? readBadgings(adb, paths, folder + QStringLiteral("/badging.txt"))
                    : QList<ApkBadging>();
            for (qsizetype k = 0; k < piece.size(); ++k) {
                const int i = piece.at(k);
                results[std::size_t(i)] =
                    readFile(adb, files.at(i), folder, options, badgings.isEmpty() ? nullptr : &badgings.at(k));
            }
        };
    });
    return results;
}

InstallerRow rowFor(const QFileInfo &info, const CachedRead &read)
{
    InstallerRow row;
    row.label = read.label.isEmpty() ? read.package : read.label;
    row.version = read.version;
    row.sizeKb = info.size() / 1024;
    row.fileName = info.fileName();
    row.package = read.package;
    row.path = info.filePath();
    row.bundle = isBundleFileName(info.fileName());
    return row;
}

} // namespace

InstallerFolder readInstallerFolder(const QString &folder, const InstallerReadOptions &options)
{
    return readInstallerSources({folder}, options);
}

InstallerFolder readInstallerSources(const QStringList &paths, const InstallerReadOptions &given)
{
    InstallerReadOptions options = given;
    if (options.tempDir.isEmpty())
        options.tempDir = QDir::tempPath();
    QDir().mkpath(options.tempDir);
    if (!options.iconsDir.isEmpty())
        QDir().mkpath(options.iconsDir);

    InstallerFolder result;
    QList<QFileInfo> files;
    QSet<QString> seen;
    const auto take = [&](const QFileInfo &info) {
        if (!seen.contains(info.absoluteFilePath())) {
            seen.insert(info.absoluteFilePath());
            files << info;
        }
    };
    for (const QString &path : paths) {
        const QFileInfo source(path);
        if (source.isDir()) {
            // Hidden files are left out by the filter; the names are compared exactly, as the suffix test does.
            for (const QFileInfo &info : QDir(path).entryInfoList(QDir::Files, QDir::Name)) {
                if (isPackageFileName(info.fileName()))
                    take(info);
            }
        } else if (source.isFile() && isPackageFileName(source.fileName())) {
            take(source);
        } else {
            result.notPackages << path;
        }
    }
    // Several sources list as one folder would: by name, then by where the file is.
    std::stable_sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const int byName = a.fileName().compare(b.fileName());
        return byName != 0 ? byName < 0 : a.filePath() < b.filePath();
    });

    ReadCache &store = cache();
    QList<QFileInfo> pending;
    {
        QMutexLocker lock(&store.mutex);
        loadCacheFile(store, options.cacheFile);
        for (const QFileInfo &info : files) {
            const auto it = store.entries.constFind(info.filePath());
            if (it == store.entries.cend() || !matches(*it, info))
                pending << info;
        }
    }

    const std::vector<CachedRead> fresh = readAll(pending, options);

    QMutexLocker lock(&store.mutex);
    for (qsizetype i = 0; i < pending.size(); ++i)
        store.entries.insert(pending.at(i).filePath(), fresh[std::size_t(i)]);
    if (!pending.isEmpty())
        saveCacheFile(store, options.cacheFile);
    for (const QFileInfo &info : files) {
        const CachedRead read = store.entries.value(info.filePath());
        if (read.ok)
            result.rows << rowFor(info, read);
        else
            result.unreadable << info.filePath();
    }
    return result;
}

void sortInstallerRows(QList<InstallerRow> &rows, InstallerSort sort)
{
    switch (sort) {
    case InstallerSort::AppName:
        std::stable_sort(rows.begin(), rows.end(), [](const InstallerRow &a, const InstallerRow &b) {
            return a.label.compare(b.label, Qt::CaseInsensitive) < 0;
        });
        break;
    case InstallerSort::FileName:
        std::stable_sort(rows.begin(), rows.end(), [](const InstallerRow &a, const InstallerRow &b) {
            return a.fileName.compare(b.fileName, Qt::CaseInsensitive) < 0;
        });
        break;
    case InstallerSort::Size:
        std::stable_sort(rows.begin(), rows.end(),
                         [](const InstallerRow &a, const InstallerRow &b) { return a.sizeKb > b.sizeKb; });
        break;
    }
}

QString installerFileName(const InstallerRow &row)
{
    // The blank before "v" would be trimmed off a version passed as such; it goes with the extension instead.
    QString tail;
    if (!row.version.isEmpty()) {
        QString version;
        for (const QChar c : row.version)
            version += platform::isRefusedInFileName(c) ? u'_' : c;
        tail = QStringLiteral(" v") + version.simplified();
    }
    tail += row.bundle ? QStringLiteral(".apks") : QStringLiteral(".apk");
    return packageFileName(row.label, QString(), tail);
}

namespace {

QString fileErrorInWords(const QFile &file)
{
    switch (file.error()) {
    case QFileDevice::NoError:
        return QString();
    case QFileDevice::PermissionsError:
        return QStringLiteral("permission denied");
    default:
        break;
    }
    if (!file.exists())
        return QStringLiteral("the file is no longer there");
    const QString reason = file.errorString();
    if (reason.contains(QStringLiteral("Permission denied")) || reason.contains(QStringLiteral("not permitted")))
        return QStringLiteral("permission denied");
    if (reason.contains(QStringLiteral("Read-only file system")))
        return QStringLiteral("the disk is read-only");
    return reason.isEmpty() ? QStringLiteral("the system gave no reason") : reason;
}

} // namespace

RenameResult renameInstallerFile(const InstallerRow &row, const QString &folder, QSet<QString> &taken)
{
    RenameResult result;
    const QDir dir(folder);
    const QString own = foldedName(row.fileName);
    QSet<QString> present;
    for (const QString &existing :
         dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        if (foldedName(existing) != own)
            present.insert(foldedName(existing));
    }
    result.name = firstFreeName(installerFileName(row), [&](const QString &candidate) {
        const QString folded = foldedName(candidate);
        return taken.contains(folded) || present.contains(folded);
    });
    taken.insert(foldedName(result.name));
    if (result.name == row.fileName) {
        result.outcome = RenameResult::Kept;
        return result;
    }
    // QFile::rename refuses a name that exists by then, so a file that appeared meanwhile is not replaced.
    QFile file(row.path);
    if (file.rename(dir.filePath(result.name))) {
        result.outcome = RenameResult::Renamed;
        return result;
    }
    result.reason = QStringLiteral("cannot rename to ") + result.name + QStringLiteral(": ") + fileErrorInWords(file);
    result.name = row.fileName;
    return result;
}

QString deleteInstallerFile(const QString &path)
{
    QFile file(path);
    // A desktop without a trash can still delete.
    if (file.moveToTrash() || file.remove())
        return QString();
    return fileErrorInWords(file);
}

void clearInstallerCache()
{
    ReadCache &store = cache();
    QMutexLocker lock(&store.mutex);
    store.entries.clear();
    store.loadedFiles.clear();
}
