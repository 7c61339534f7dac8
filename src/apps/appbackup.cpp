#include "apps/appbackup.h"

#include <QLocale>

QString BackupFileName(const TApkBadging &badging, const QDateTime &now)
{
    QString name = badging.Label;
    if (name.isEmpty())
        name = badging.Package;
    if (name.isEmpty())
        name = QStringLiteral("Unknown");
    const QLocale locale = QLocale::system();
    QString version = QStringLiteral("v") + badging.VersionName;
    if (badging.VersionName.isEmpty())
        version =
            locale.toString(now.date(), QLocale::ShortFormat) + u' ' + locale.toString(now.time(), QLocale::LongFormat);
    return SafeFileStem(name + u'_' + version) + QStringLiteral(".apk");
}

QString SafeFileStem(const QString &text)
{
    static const QString forbidden = QStringLiteral("\"*/:<>?\\|");
    QString stem = text;
    for (qsizetype i = 0; i < stem.size(); ++i) {
        // Control characters would make a file that no desktop can show or open.
        if (forbidden.contains(stem.at(i)) || stem.at(i).unicode() < 0x20) {
            stem.truncate(i);
            break;
        }
    }
    stem = stem.trimmed();
    return stem.isEmpty() ? QStringLiteral("Unknown") : stem;
}

QString FoldedName(const QString &name)
{
    return name.toCaseFolded();
}

QString DistinctFileName(const QString &name, const QSet<QString> &taken)
{
    if (!taken.contains(FoldedName(name)))
        return name;
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    for (int n = 2;; ++n) {
        const QString candidate = stem + QStringLiteral(" (%1)").arg(n) + ext;
        if (!taken.contains(FoldedName(candidate)))
            return candidate;
    }
}

QStringList BundleMemberNames(const QStringList &deviceParts)
{
    QStringList names;
    QSet<QString> used;
    for (int i = 0; i < deviceParts.size(); ++i) {
        QString name = i == 0 ? QStringLiteral("base.apk") : deviceParts.at(i).section(u'/', -1);
        if (name.isEmpty() || used.contains(name))
            name = QStringLiteral("split_%1.apk").arg(i);
        used.insert(name);
        names << name;
    }
    return names;
}
