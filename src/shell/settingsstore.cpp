#include "shell/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

const QString kAdbDirKey = QStringLiteral("Settings/AdbDir");

} // namespace

QString readAdbDir(const QString &settingsFile)
{
    if (!QFileInfo::exists(settingsFile))
        return QString();
    const QSettings settings(settingsFile, QSettings::IniFormat);
    return settings.value(kAdbDirKey).toString();
}

bool writeAdbDir(const QString &settingsFile, const QString &folder)
{
    QDir().mkpath(QFileInfo(settingsFile).absolutePath());
    QSettings settings(settingsFile, QSettings::IniFormat);
    settings.setValue(kAdbDirKey, folder);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
