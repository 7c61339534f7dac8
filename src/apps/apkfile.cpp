#include "apps/apkfile.h"

#include "apps/apkarchive.h"
#include "bridge/adbutils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>

bool isBundleFileName(const QString &name)
{
    return name.endsWith(QStringLiteral(".apks"));
}

bool isPackageFileName(const QString &name)
{
    return name.endsWith(QStringLiteral(".apk")) || isBundleFileName(name);
}

QStringList bundleParts(const QString &bundlePath)
{
    QStringList parts;
    QString base;
    for (const QString &member : archiveMembers(bundlePath)) {
        if (!member.endsWith(QStringLiteral(".apk")) || member.endsWith(u'/'))
            continue;
        if (base.isEmpty() && (member == QStringLiteral("base.apk") || member.endsWith(QStringLiteral("/base.apk"))))
            base = member;
        else
            parts << member;
    }
    if (base.isEmpty()) {
        for (qsizetype i = 0; i < parts.size(); ++i) {
            if (!parts.at(i).section(u'/', -1).contains(QStringLiteral("split"))) {
                base = parts.takeAt(i);
                break;
            }
        }
    }
    if (base.isEmpty())
        return {};
    parts.prepend(base);
    return parts;
}

QStringList permissionNames(const QString &aaptOutput)
{
    static const QRegularExpression quotedName(QStringLiteral("name='((?:[^'\\\\]|\\\\.)*)'"));
    QStringList names;
    for (const QString &raw : splitLines(aaptOutput)) {
        QString line = raw.trimmed();
        if (line.startsWith(QStringLiteral("uses-permission:")))
            line = line.mid(16).trimmed();
        else if (line.startsWith(QStringLiteral("uses-permission-sdk-23:")))
            line = line.mid(23).trimmed();
        else if (line.startsWith(QStringLiteral("permission:")))
            line = line.mid(11).trimmed();
        else
            continue;
        const QRegularExpressionMatch match = quotedName.match(line);
        QString name = match.hasMatch() ? match.captured(1) : line.section(u' ', 0, 0);
        name.replace(QStringLiteral("\\'"), QStringLiteral("'"));
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

PackageFile::PackageFile(const QString &path, const QString &tempDir)
{
    m_bundle = isBundleFileName(path);
    if (!m_bundle) {
        m_apk = path;
        return;
    }
    // The installer reads several bundles at once, each on its own thread.
    static std::atomic<int> counter = 0;
    m_work = tempDir + QStringLiteral("/bundle-%1-%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    QDir().mkpath(m_work);
    const QStringList parts = bundleParts(path);
    const QString base = m_work + QStringLiteral("/base.apk");
    if (!parts.isEmpty() && extractMember(path, parts.first(), base))
        m_apk = base;
}

PackageFile::~PackageFile()
{
    if (!m_work.isEmpty())
        QDir(m_work).removeRecursively();
}

ApkBadging PackageFile::badging(AdbClient &adb) const
{
    return m_apk.isEmpty() ? ApkBadging{} : readBadging(adb, m_apk);
}

QStringList PackageFile::permissions(AdbClient &adb) const
{
    return m_apk.isEmpty() ? QStringList{} : permissionNames(readPermissions(adb, m_apk));
}

QString PackageFile::extractIcon(const ApkBadging &badging, const QString &folder) const
{
    if (m_apk.isEmpty() || badging.iconPath.isEmpty())
        return QString();
    return extractApkIcon(m_apk, badging.iconPath, folder);
}

StartPath checkStartPath(AdbClient &adb, const QString &path, const QString &tempDir)
{
    StartPath result;
    result.path = path;
    const QString shown = QDir::toNativeSeparators(path);
    const auto problem = [&result, &shown](const QString &what) {
        result.problem = shown + what;
        return result;
    };
    const QFileInfo info(path);
    const bool namedAsFolder = path.endsWith(u'/') || path.endsWith(u'\\');
    if (!info.exists())
        return problem(info.isSymLink() ? QStringLiteral(" is a link to something that does not exist")
                                        : QStringLiteral(" does not exist"));
    if (info.isDir()) {
        result.kind = StartPath::Folder;
        if (!namedAsFolder)
            result.path += u'/';
        return result;
    }
    if (namedAsFolder)
        return problem(QStringLiteral(" is not a folder"));
    if (!info.isFile())
        return problem(QStringLiteral(" is not a file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return problem(QStringLiteral(" cannot be read: ") + file.errorString());
    if (info.size() == 0)
        return problem(QStringLiteral(" is empty: it is not an Android package"));
    const PackageFile package(path, tempDir);
    if (package.apk().isEmpty())
        return problem(QStringLiteral(" is not an Android package bundle (it holds no base APK)"));
    if (package.badging(adb).package.isEmpty())
        return problem(QStringLiteral(" is not an Android package (aapt could not read it)"));
    result.kind = StartPath::Package;
    return result;
}
