#include "apps/appbackup.h"

#include "base/safefile.h"
#include "platform/localfiles.h"

namespace {

// Longest file name in UTF-8 bytes: file systems allow 255; the rest leaves room for " (2)" and
// the temporary name a file is written under first.
constexpr qsizetype kLongestName = 200;

QString readable(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (const QChar c : text)
        clean += platform::isRefusedInFileName(c) ? u'_' : c;
    return clean;
}

} // namespace

QString packageFileName(const QString &stem, const QString &version, const QString &extension)
{
    QString name = readable(stem).simplified();
    // A leading dot hides the file; dots and blanks at the end are refused on Windows.
    while (name.startsWith(u'.') || name.startsWith(u' '))
        name.remove(0, 1);
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("Unknown");
    const QString tail = readable(version) + extension;
    const qsizetype room = kLongestName - tail.toUtf8().size();
    while (name.toUtf8().size() > room) {
        name.chop(name.size() >= 2 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
        name = name.trimmed();
    }
    return name + tail;
}

QString backupFileName(const ApkBadging &badging)
{
    const QString label = !badging.label.isEmpty() ? badging.label : badging.package;
    QString version;
    if (!badging.versionName.isEmpty())
        version = QStringLiteral("_v") + badging.versionName;
    else if (!badging.versionCode.isEmpty())
        version = QStringLiteral("_code") + badging.versionCode;
    return packageFileName(label, version, QStringLiteral(".apk"));
}

QString foldedName(const QString &name)
{
    return name.toCaseFolded();
}

QString distinctFileName(const QString &name, const QSet<QString> &taken)
{
    return firstFreeName(name, [&taken](const QString &candidate) { return taken.contains(foldedName(candidate)); });
}

QStringList bundleMemberNames(const QStringList &deviceParts)
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
