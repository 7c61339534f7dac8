#include "lists/pcfolder.h"

#include "base/oncores.h"
#include "lists/imagescale.h"
#include "lists/listengine.h"
#include "platform/localfiles.h"

#include <QDir>
#include <QFileInfo>

namespace {

const QSize kRowIconSize(24, 24);

} // namespace

QList<ListItem> readPcFolder(const QString &folder, const PcListOptions &options)
{
    const QString sep(platform::pcSeparator());
    const QString base = folder.endsWith(sep) ? folder : folder + sep;
    const QDir dir(base);
    // Read in name order so that names equal but for case always come out the same way.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);

    QList<ListItem> folders;
    QList<ListItem> files;
    QList<qsizetype> apkRows;
    for (const QFileInfo &entry : entries) {
        if (!options.showHidden && platform::isHiddenPcEntry(entry))
            continue;
        const QString name = entry.fileName();
        if (entry.isDir()) {
            folders << ListItem{QStringLiteral("0"), QStringLiteral("Date"), name + sep, name + sep, false,
                                ItemKind::Folder};
        } else if (options.showApkDetails && isApkFileName(name) && options.readDetails) {
            apkRows << files.size();
            files << ListItem{QString::number(entry.size()), QString(), name, QString()};
        } else {
            files << ListItem{QString::number(entry.size()), QStringLiteral("pkgName"), name, name};
        }
    }
    // One aapt per core at a time.
    ListItem *rows = files.data();
    runOnCores(int(apkRows.size()), 0, [&] {
        return [&](int i) {
            ListItem &row = rows[apkRows.at(i)];
            const ApkDetails details = options.readDetails(base + row.name);
            row.stamp = details.package;
            row.label = details.label + QStringLiteral(" v") + details.versionName;
        };
    });
    // Names and whole-number sizes always convert, so the sorts cannot refuse.
    sortItems(folders, SortKey::Name, false);
    sortFileItems(files, options.sortMode == PcSort::Size ? SortKey::Size : SortKey::Name, false);
    return folders + files;
}

QStringList fillPcPathTabs(const QString &folder)
{
    return platform::pcPathTabs(folder);
}

QString apkIconFile(const QString &iconsDir, const QString &package)
{
    // The package comes from the APK; a separator in it must not reach outside the icons folder.
    if (iconsDir.isEmpty() || package.isEmpty() || package.contains(u'/') || package.contains(u'\\'))
        return QString();
    const QString file = iconsDir + u'/' + package + QStringLiteral(".apk.png");
    return QFileInfo(file).isFile() ? file : QString();
}

QList<QImage> loadApkRowIcons(const QList<ListItem> &rows, const QString &iconsDir, const QImage &generic)
{
    QList<QImage> icons;
    icons.reserve(rows.size());
    for (const ListItem &row : rows) {
        const QImage icon = loadRowIcon(apkIconFile(iconsDir, itemStamp(row)), kRowIconSize);
        icons << (icon.isNull() ? generic : icon);
    }
    return icons;
}
