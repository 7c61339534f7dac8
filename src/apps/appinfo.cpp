#include "apps/appinfo.h"
#include "apps/apkfile.h"

#include "apps/apkarchive.h"
#include "apps/catalogue.h"
#include "bridge/adbutils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

#include <functional>

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

// The old icon stays until the new one is written whole.
bool copyReplacing(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QDir().mkpath(QFileInfo(to).absolutePath());
    QSaveFile out(to);
    return out.open(QIODevice::WriteOnly) && out.write(in.readAll()) == in.size() && out.commit();
}

// unzip takes members as wildcard patterns; a backslash makes * ? [ and itself literal.
QString memberPattern(const QString &member)
{
    QString pattern;
    for (const QChar c : member) {
        if (c == u'*' || c == u'?' || c == u'[' || c == u'\\')
            pattern += u'\\';
        pattern += c;
    }
    return pattern;
}

QString unzipCommand(const QString &apk, const QString &member)
{
    return QStringLiteral("unzip -p ") + quoteDevicePath(apk) + u' ' + member;
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
    AppInfo info;
    const std::unique_ptr<QTemporaryDir> work = workFolder(m_tempDir, &info.error);
    if (!work)
        return info;
    const QDir dir(work->path());
    if (!m_streaming || !readStreamed(devicePath, iconTarget, dir, info))
        readPulled(devicePath, iconTarget, dir, info);
    return info;
}

bool AppInfoReader::readStreamed(const QString &devicePath, const QString &iconTarget, const QDir &work, AppInfo &info)
{
    const QString manifest = work.filePath(QStringLiteral("manifest"));
    m_adb.execOutToFile(unzipCommand(devicePath, kManifest), manifest);
    info.bytesFromPhone = sizeOf(manifest);
    // No manifest: this phone's unzip cannot read this APK, but adb can still pull it.
    if (info.bytesFromPhone == 0)
        return cancelled(m_adb, info);
    const QString resources = work.filePath(QStringLiteral("resources"));
    m_adb.execOutToFile(unzipCommand(devicePath, kResources), resources);
    info.bytesFromPhone += sizeOf(resources);
    if (cancelled(m_adb, info))
        return true;

    QList<ArchiveEntry> members{{kManifest, manifest, {}}};
    // An APK without resources still has a manifest aapt can read.
    if (sizeOf(resources) > 0)
        members.append({kResources, resources, {}});
    const QString small = work.filePath(QStringLiteral("members.apk"));
    if (!writeArchive(small, members, &info.error) || !readBadging(m_adb, small, info))
        return true;
    if (info.badging.iconPath.isEmpty())
        return true;
    const QString icon = work.filePath(QStringLiteral("icon"));
    m_adb.execOutToFile(unzipCommand(devicePath, quoteDevicePath(memberPattern(info.badging.iconPath))), icon);
    info.bytesFromPhone += sizeOf(icon);
    if (sizeOf(icon) > 0 && copyReplacing(icon, iconTarget))
        info.iconFile = iconTarget;
    return true;
}

void AppInfoReader::readPulled(const QString &devicePath, const QString &iconTarget, const QDir &work, AppInfo &info)
{
    const QString pulled = work.filePath(QStringLiteral("pulled.apk"));
    const QString output = m_adb.pullFile(devicePath, pulled);
    info.bytesFromPhone = sizeOf(pulled);
    if (cancelled(m_adb, info))
        return;
    if (info.bytesFromPhone == 0) {
        info.error = output.isEmpty() ? QStringLiteral("the phone sent nothing") : output;
        return;
    }
    if (readBadging(m_adb, pulled, info) && !info.badging.iconPath.isEmpty())
        info.iconFile = copyIcon(pulled, info.badging.iconPath, work.path(), iconTarget);
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
