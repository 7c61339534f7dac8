#include "apps/appinfo.h"
#include "apps/apkfile.h"

#include "apps/apkarchive.h"
#include "apps/catalogue.h"
#include "apps/memberstream.h"
#include "bridge/adbutils.h"
#include "platform/localfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <vector>

namespace {

const QString kManifest = QStringLiteral("AndroidManifest.xml");
const QString kResources = QStringLiteral("resources.arsc");

qint64 sizeOf(const QString &file)
{
    const QFileInfo info(file);
    return info.isFile() ? info.size() : 0;
}

// A private folder for one read: phone paths share file names (base.apk) and icons share theirs
// (ic_launcher.png), so nothing in it is named after them. It goes away with everything in it.
std::unique_ptr<QTemporaryDir> workFolder(const QString &tempDir, QString *error)
{
    QDir().mkpath(tempDir);
    auto dir = std::make_unique<QTemporaryDir>(QDir(tempDir).filePath(QStringLiteral("appinfo-XXXXXX")));
    if (!dir->isValid()) {
        *error = tempDir + QStringLiteral(": ") + dir->errorString();
        return nullptr;
    }
    return dir;
}

// The old icon stays until the new one is written whole. Not flushed to the disk: hundreds of icons come in a few
// seconds, and one lost in a power cut is read again.
bool writeReplacing(const QByteArray &bytes, const QString &to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    QTemporaryFile part(to + QStringLiteral(".XXXXXX"));
    if (!part.open() || part.write(bytes) != bytes.size() || !part.flush())
        return false;
    part.close();
    if (!platform::renameReplacing(part.fileName(), to).isEmpty())
        return false;
    part.setAutoRemove(false);
    return true;
}

bool copyReplacing(const QString &from, const QString &to)
{
    QFile in(from);
    return in.open(QIODevice::ReadOnly) && writeReplacing(in.readAll(), to);
}

// The icon from a local APK, through a folder of its own, to `target`; empty when there was none.
QString copyIcon(const QString &apkPath, const QString &iconPath, const QString &workDir, const QString &target)
{
    const QString folder = QDir(workDir).filePath(QStringLiteral("icon"));
    QDir().mkpath(folder);
    const QString extracted = extractApkIcon(apkPath, iconPath, folder);
    const bool copied = !extracted.isEmpty() && copyReplacing(extracted, target);
    if (!extracted.isEmpty())
        QFile::remove(extracted);
    return copied ? target : QString();
}

bool readBadging(AdbClient &adb, const QString &apk, AppInfo &info)
{
    info.badging = readBadging(adb, apk);
    info.ok = !info.badging.package.isEmpty();
    if (!info.ok)
        info.error = QStringLiteral("aapt could not read the package");
    return info.ok;
}

// A stopped transfer leaves a partial file that must not be read as the APK.
bool cancelled(const AdbClient &adb, AppInfo &info)
{
    if (adb.isCancelled())
        info.error = QStringLiteral("cancelled");
    return adb.isCancelled();
}

} // namespace

AppInfoReader::AppInfoReader(AdbClient &adb, QString tempDir) : m_adb(adb), m_tempDir(std::move(tempDir)) {}

AppInfo AppInfoReader::read(const QString &devicePath, const QString &iconTarget)
{
    AppInfo result;
    readMany({InfoReadJob{QString(), devicePath, QString()}}, [&](const InfoReadJob &) { return iconTarget; },
             [&](int, const AppInfo &info) { result = info; });
    if (!result.ok && result.error.isEmpty() && m_adb.isCancelled())
        result.error = QStringLiteral("cancelled");
    return result;
}

// One group of packages read together.
struct AppInfoReader::Group {
    QList<InfoReadJob> jobs;
    QStringList iconTargets;
    QList<AppInfo> infos;
    QList<MemberRequest> tablesWanted;
    QString guessedIcon; // asked for with them
};

// The icon member that most packages read so far named. A phone's packages are often built alike, so asking for it
// with the tables spares those packages a second unzip; where it is not their icon, they take the second one.
class AppInfoReader::IconGuess {
public:
    QString current()
    {
        const std::lock_guard lock(m_mutex);
        return m_best;
    }
    void learn(const QList<AppInfo> &infos)
    {
        {
            const std::lock_guard lock(m_mutex);
            for (const AppInfo &info : infos) {
                const QString &icon = info.badging.iconPath;
                if (!info.ok || icon.isEmpty())
                    continue;
                const int count = ++m_counts[icon];
                if (count > m_counts.value(m_best))
                    m_best = icon;
            }
        }
        release();
    }
    // A guess from before the first group: nobody waits for one.
    void seed(const QString &icon)
    {
        {
            const std::lock_guard lock(m_mutex);
            m_best = icon;
            m_counts[icon] = 1;
        }
        release();
    }
    // Lets the groups that wait for a first guess go on, also when nothing was learned.
    void release()
    {
        std::call_once(m_once, [this] { m_learned.set_value(); });
    }
    std::shared_future<void> learned() { return m_learned.get_future().share(); }

private:
    std::mutex m_mutex;
    QHash<QString, int> m_counts;
    QString m_best;
    std::promise<void> m_learned;
    std::once_flag m_once;
};

namespace {

using StreamedBytes = QList<std::optional<QByteArray>>;

// Everything `requests` asked for, in one call through `file` (the bytes are not text).
StreamedBytes streamMembers(AdbClient &adb, const QList<MemberRequest> &requests, const QString &file)
{
    const QString marker = newStreamMarker();
    adb.execOutToFile(memberStreamCommand(requests, marker), file);
    QFile stream(file);
    const QByteArray bytes = stream.open(QIODevice::ReadOnly) ? stream.readAll() : QByteArray();
    stream.remove();
    return splitMemberStream(bytes, requests.size(), marker);
}

// The streamed manifest and table as a small archive of their own, for aapt.
bool writeMembers(const ManifestAndTable &members, const QString &archive, AppInfo &info)
{
    QList<ArchiveEntry> entries{{kManifest, {}, members.manifest}};
    // An APK without resources still has a manifest aapt can read.
    if (!members.table.isEmpty())
        entries.append({kResources, {}, members.table});
    info.bytesFromPhone = members.manifest.size() + members.table.size();
    return writeArchive(archive, entries, &info.error);
}

} // namespace

void AppInfoReader::readMany(const QList<InfoReadJob> &jobs,
                             const std::function<QString(const InfoReadJob &)> &iconTarget,
                             const std::function<void(int, const AppInfo &)> &done)
{
    QString error;
    const std::unique_ptr<QTemporaryDir> work = workFolder(m_tempDir, &error);
    if (!work) {
        AppInfo failed;
        failed.error = error;
        for (int i = 0; i < jobs.size(); ++i)
            done(i, failed);
        return;
    }
    const QDir dir(work->path());
    QList<MemberRequest> requests;
    for (const InfoReadJob &job : jobs)
        requests << MemberRequest{job.devicePath, {kManifest, kResources}};
    IconGuess guess;
    const std::shared_future<void> firstLearned = guess.learned();
    if (!m_iconHint.isEmpty())
        guess.seed(m_iconHint);
    // A first group of two, so that the first rows and the first icon name come soon; then up to 75, as one command
    // holds (fewer adb and aapt2 starts, and still two groups to share the work).
    const QList<qsizetype> sizes = m_streaming
                                       ? memberStreamGroups(requests, newStreamMarker(), m_commandLimit, 2, 75)
                                       : QList<qsizetype>(jobs.size(), 1);
    std::vector<Group> groups;
    qsizetype from = 0;
    for (const qsizetype count : sizes) {
        Group group;
        group.jobs = jobs.mid(from, count);
        for (const InfoReadJob &job : std::as_const(group.jobs))
            group.iconTargets << iconTarget(job);
        group.infos.resize(count);
        group.tablesWanted = requests.mid(from, count);
        groups.push_back(std::move(group));
        from += count;
    }
    std::vector<std::promise<void>> read(groups.size());
    std::vector<std::future<void>> ready;
    for (std::promise<void> &promise : read)
        ready.push_back(promise.get_future());
    // Two workers when streaming, each taking the next group as soon as it is free: the phone sends one group's
    // tables while aapt2 reads the other's. Rows are still reported in order.
    std::atomic<std::size_t> next = 0;
    std::atomic<int> workerCount = 0;
    const auto worker = [&] {
        AdbClient adb = m_adb;
        // Each worker has a folder of its own, since APKs share member names.
        const QDir folder(dir.filePath(QStringLiteral("worker-%1").arg(workerCount++)));
        QDir().mkpath(folder.path());
        for (std::size_t g = next++; g < groups.size(); g = next++) {
            // Later groups ask for the icon the first group's packages name.
            if (g > 0 && m_streaming)
                firstLearned.wait();
            if (!adb.isCancelled())
                readGroup(adb, groups[g], guess, folder);
            guess.release();
            read[g].set_value();
        }
    };
    std::vector<std::future<void>> workers;
    for (int i = 0; i < (m_streaming ? 2 : 1); ++i)
        workers.push_back(std::async(std::launch::async, worker));
    qsizetype index = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        ready[g].wait();
        if (m_adb.isCancelled())
            continue;
        for (const AppInfo &info : std::as_const(groups[g].infos))
            done(int(index++), info);
    }
}

void AppInfoReader::readGroup(AdbClient &adb, Group &group, IconGuess &guess, const QDir &work)
{
    StreamedBytes tables(group.jobs.size());
    if (m_streaming) {
        group.guessedIcon = guess.current();
        QList<MemberRequest> wanted = group.tablesWanted;
        for (MemberRequest &request : wanted)
            request.members << group.guessedIcon;
        // A phone with a short command line reads its groups without the guess.
        if (group.guessedIcon.isEmpty() || memberStreamCommand(wanted, newStreamMarker()).size() > m_commandLimit) {
            group.guessedIcon.clear();
            wanted = group.tablesWanted;
        }
        tables = streamMembers(adb, wanted, work.filePath(QStringLiteral("tables")));
    }
    const qsizetype count = group.jobs.size();
    QList<ManifestAndTable> members(count);
    QList<int> again;
    for (int i = 0; i < count; ++i) {
        if (tables.at(i))
            members[i] = splitManifestAndTable(*tables.at(i));
        if (!members.at(i).whole && !group.guessedIcon.isEmpty())
            again << i;
    }
    // A guessed member that is no PNG or WebP hides where the tables end: those packages are asked again without it.
    if (!again.isEmpty() && !adb.isCancelled()) {
        QList<MemberRequest> requests;
        for (const int i : std::as_const(again))
            requests << group.tablesWanted.at(i);
        const StreamedBytes retried = streamMembers(adb, requests, work.filePath(QStringLiteral("tables-again")));
        for (int k = 0; k < again.size(); ++k) {
            if (retried.at(k))
                members[again.at(k)] = splitManifestAndTable(*retried.at(k));
        }
    }
    QList<bool> pull;
    QList<int> streamed;
    for (int i = 0; i < count; ++i) {
        // No manifest: this phone's unzip cannot read this APK, but adb can still pull it.
        pull << !members.at(i).whole;
        if (!pull.last())
            streamed << i;
    }
    QList<int> written;
    QStringList archives;
    for (const int i : std::as_const(streamed)) {
        const QString archive = work.filePath(QStringLiteral("members-%1.apk").arg(i));
        if (writeMembers(members.at(i), archive, group.infos[i])) {
            written << i;
            archives << archive;
        }
    }
    // One aapt2 run for the group: aapt2 reads a small archive in far less time than a process takes to start.
    const QList<ApkBadging> badgings =
        readBadgings(adb, archives, work.filePath(QStringLiteral("badging.txt")));
    for (int k = 0; k < written.size(); ++k) {
        AppInfo &info = group.infos[written.at(k)];
        if (badgings.isEmpty()) {
            readBadging(adb, archives.at(k), info);
        } else {
            info.badging = badgings.at(k);
            info.ok = !info.badging.package.isEmpty();
        }
        QFile::remove(archives.at(k));
    }
    guess.learn(group.infos);
    // Every icon of the group that did not come with the tables, in one more call.
    QList<int> withIcon;
    QList<MemberRequest> iconRequests;
    for (const int i : std::as_const(streamed)) {
        AppInfo &info = group.infos[i];
        const QString &target = group.iconTargets.at(i);
        const QByteArray &picture = members.at(i).picture;
        info.bytesFromPhone += picture.size();
        if (!info.ok || info.badging.iconPath.isEmpty() || target.isEmpty())
            continue;
        if (info.badging.iconPath == group.guessedIcon && !picture.isEmpty()) {
            if (writeReplacing(picture, target))
                info.iconFile = target;
            continue;
        }
        withIcon << i;
        iconRequests << MemberRequest{group.jobs.at(i).devicePath, {info.badging.iconPath}};
    }
    if (!iconRequests.isEmpty() && !adb.isCancelled()) {
        const StreamedBytes icons = streamMembers(adb, iconRequests, work.filePath(QStringLiteral("icons")));
        for (int i = 0; i < withIcon.size(); ++i) {
            AppInfo &info = group.infos[withIcon.at(i)];
            const QString &target = group.iconTargets.at(withIcon.at(i));
            const QByteArray icon = icons.at(i).value_or(QByteArray());
            info.bytesFromPhone += icon.size();
            if (isWholeMember(icon) && writeReplacing(icon, target))
                info.iconFile = target;
        }
    }
    for (int i = 0; i < count && !adb.isCancelled(); ++i) {
        if (pull[i])
            readPulled(adb, group.jobs.at(i).devicePath, group.iconTargets.at(i), work, group.infos[i]);
    }
}

void AppInfoReader::readPulled(AdbClient &adb, const QString &devicePath, const QString &iconTarget, const QDir &work, AppInfo &info)
{
    info = AppInfo{};
    const QString pulled = work.filePath(QStringLiteral("pulled.apk"));
    const QString output = adb.pullFile(devicePath, pulled);
    info.bytesFromPhone = sizeOf(pulled);
    if (!cancelled(adb, info)) {
        if (info.bytesFromPhone == 0)
            info.error = output.isEmpty() ? QStringLiteral("the phone sent nothing") : output;
        else if (readBadging(adb, pulled, info) && !info.badging.iconPath.isEmpty())
            info.iconFile = copyIcon(pulled, info.badging.iconPath, work.path(), iconTarget);
    }
    QFile::remove(pulled);
}

QString AppInfoReader::streamedIconMember(AdbClient &adb, const QString &devicePath, const QString &tempDir)
{
    QString error;
    const std::unique_ptr<QTemporaryDir> work = workFolder(tempDir, &error);
    if (!work)
        return {};
    const StreamedBytes tables = streamMembers(adb, {MemberRequest{devicePath, {kManifest, kResources}}},
                                               work->filePath(QStringLiteral("tables")));
    const ManifestAndTable members =
        tables.value(0) ? splitManifestAndTable(*tables.at(0)) : ManifestAndTable{};
    AppInfo info;
    const QString archive = work->filePath(QStringLiteral("members.apk"));
    if (!members.whole || !writeMembers(members, archive, info))
        return {};
    return readBadging(adb, archive).iconPath;
}

bool AppInfoReader::phoneHasUnzip(AdbClient &adb, const QString &someApk)
{
    // A listing line ends in the member's name; an error message that quotes the path does not count.
    const QStringList lines = splitLines(adb.runShell(QStringLiteral("unzip -l ") + quoteDevicePath(someApk)));
    for (const QString &line : lines) {
        const QStringList fields = line.split(u' ', Qt::SkipEmptyParts);
        if (fields.size() >= 2 && fields.last() == kManifest)
            return true;
    }
    return false;
}

void writeApkInfoCache(AdbClient &adb, const QString &dataDir, const QString &tempDir, const QString &apkPath)
{
    writeApkInfoCache(readBadging(adb, apkPath), dataDir, tempDir, apkPath);
}

void writeApkInfoCache(const ApkBadging &badging, const QString &dataDir, const QString &tempDir,
                       const QString &apkPath)
{
    if (badging.package.isEmpty())
        return;
    const QString key = catalogueKeyForPackage(badging.package);
    AppCatalogue catalogue = AppCatalogue::forDataDir(dataDir);
    if (!catalogue.store({key, badging.label, badging.versionCode}) || badging.iconPath.isEmpty())
        return;
    const QString iconFile = catalogue.iconPath(key);
    if (iconFile.isEmpty() || QFileInfo::exists(iconFile))
        return;
    QString error;
    const std::unique_ptr<QTemporaryDir> work = workFolder(tempDir, &error);
    if (work)
        copyIcon(apkPath, badging.iconPath, work->path(), iconFile);
}

namespace {

InstallResult notAsked(const QString &why)
{
    InstallResult result;
    result.output = why;
    result.answer.reason = why;
    return result;
}

// The badging is read before the install, while the file is surely there; the catalogue learns it only after
// the phone confirmed, so that a refused package never names an installed one.
InstallResult installAndRecord(AdbClient &adb, const QString &apk, const std::function<QString()> &install,
                               const QStringList &paths, const QString &dataDir, const QString &tempDir)
{
    const ApkBadging badging = readBadging(adb, apk);
    InstallResult result;
    result.output = install();
    result.answer = judgePackageAnswer(result.output, adb.lastExitStatus(), paths);
    if (result.answer.ok && !adb.isCancelled())
        writeApkInfoCache(badging, dataDir, tempDir, apk);
    return result;
}

} // namespace

InstallResult installPackageFile(AdbClient &adb, const QString &path, const QString &options, const QString &dataDir,
                                 const QString &tempDir)
{
    if (!isBundleFileName(path)) {
        return installAndRecord(
            adb, path, [&] { return adb.installApk(path, options); }, {path}, dataDir, tempDir);
    }
    QDir().mkpath(tempDir);
    const QTemporaryDir work(QDir(tempDir).filePath(QStringLiteral("bundle-XXXXXX")));
    if (!work.isValid())
        return notAsked(tempDir + QStringLiteral(": ") + work.errorString());
    const QStringList members = bundleParts(path);
    if (members.isEmpty())
        return notAsked(QStringLiteral("No base APK in ") + QDir::toNativeSeparators(path));
    QStringList parts;
    for (const QString &member : members) {
        // Members of different folders may share a name.
        const QString part = work.filePath(QString::number(parts.size()) + u'-' + member.section(u'/', -1));
        if (!extractMember(path, member, part))
            return notAsked(QStringLiteral("Cannot read ") + member + QStringLiteral(" from ") +
                            QDir::toNativeSeparators(path));
        parts << part;
    }
    return installAndRecord(
        adb, parts.first(), [&] { return adb.installMultiple(parts, options); }, parts, dataDir, tempDir);
}

InstallResult removePackage(AdbClient &adb, const QString &package, bool keepData, bool currentUserOnly)
{
    InstallResult result;
    result.output =
        currentUserOnly ? adb.uninstallForCurrentUser(package, keepData) : adb.uninstallPackage(package, keepData);
    result.answer = judgePackageAnswer(result.output, adb.lastExitStatus());
    return result;
}
