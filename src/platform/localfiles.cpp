#include "platform/localfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <filesystem>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace platform {

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

QString withSeparator(const QString &path)
{
    return path.endsWith(pcSeparator()) ? path : path + pcSeparator();
}

} // namespace

bool isRefusedInFileName(QChar c)
{
    if (c.unicode() < 0x20 || c.unicode() == 0x7f || c == u'/')
        return true;
#ifdef Q_OS_WIN
    return QStringLiteral("\"*:<>?\\|").contains(c);
#else
    return false;
#endif
}

QChar pcSeparator()
{
#ifdef Q_OS_WIN
    return u'\\';
#else
    return u'/';
#endif
}

QString normalPcFolder(const QString &text, const QString &base)
{
    const QString path = QDir::fromNativeSeparators(text.trimmed());
    // An empty base is the working folder.
    const QString absolute = QDir(QDir::fromNativeSeparators(base)).absoluteFilePath(path);
    return withSeparator(QDir::toNativeSeparators(QDir::cleanPath(absolute)));
}

QString nearestPcFolder(const QString &folder)
{
    QString path = folder;
    for (QString up = pcParentFolder(path); !QFileInfo(path).isDir() && !up.isEmpty(); up = pcParentFolder(path))
        path = up;
    return path;
}

QStringList pcPathTabs(const QString &folder)
{
    QStringList tabs;
    const QChar sep = pcSeparator();
    qsizetype start = 0;
#ifndef Q_OS_WIN
    if (folder.startsWith(sep)) {
        tabs << QString(sep);
        start = 1;
    }
#endif
    for (qsizetype end = folder.indexOf(sep, start); end >= 0; end = folder.indexOf(sep, start)) {
        tabs << folder.mid(start, end - start);
        start = end + 1;
    }
    return tabs;
}

QString pcPathFromTabs(const QStringList &tabs, int index)
{
    const QChar sep = pcSeparator();
    QString path;
    for (int i = 0; i <= index && i < tabs.size(); ++i)
        path += tabs.at(i) == QString(sep) ? QString(sep) : tabs.at(i) + sep;
    return path;
}

QString pcParentFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    // A drive root such as C:\ has no parent.
    if (folder.size() < 4)
        return QString();
#endif
    const QChar sep = pcSeparator();
    const qsizetype last = folder.lastIndexOf(sep, folder.size() - 2);
    if (folder.size() < 2 || last < 0)
        return QString();
    return folder.left(last + 1);
}

bool isHiddenPcEntry(const QFileInfo &info)
{
#ifdef Q_OS_WIN
    const DWORD attributes = GetFileAttributesW(
        reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(info.absoluteFilePath()).utf16()));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)))
        return true;
    return info.isHidden();
#else
    return info.fileName().startsWith(u'.');
#endif
}

QList<PcVolume> pcVolumes()
{
    QList<PcVolume> volumes;
    for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
        // Some containers mount single files; only folders can be listed.
        if (!storage.isValid() || !storage.isReady() || !QFileInfo(storage.rootPath()).isDir())
            continue;
        const QString root = withSeparator(QDir::toNativeSeparators(storage.rootPath()));
        if (std::any_of(volumes.cbegin(), volumes.cend(), [&](const PcVolume &v) { return v.root == root; }))
            continue;
        volumes << PcVolume{root, storage.name(), QString::fromUtf8(storage.fileSystemType())};
    }
    std::sort(volumes.begin(), volumes.end(),
              [](const PcVolume &a, const PcVolume &b) { return a.root.compare(b.root, kPathCase) < 0; });
    return volumes;
}

int pcVolumeIndexFor(const QList<PcVolume> &volumes, const QString &folder)
{
    int best = -1;
    for (int i = 0; i < volumes.size(); ++i) {
        const QString &root = volumes.at(i).root;
        if (withSeparator(folder).startsWith(root, kPathCase) &&
            (best < 0 || root.size() > volumes.at(best).root.size()))
            best = i;
    }
    return best;
}

QString toolFileName(const QString &tool)
{
#ifdef Q_OS_WIN
    return tool + QStringLiteral(".exe");
#else
    return tool;
#endif
}

QString renameReplacing(const QString &from, const QString &to)
{
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from.toStdU16String()), std::filesystem::path(to.toStdU16String()),
                            error);
    return error ? QString::fromLocal8Bit(error.message()) : QString();
}

} // namespace platform
