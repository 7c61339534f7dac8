#include "base/settingsstore.h"

#include "base/inifile.h"

namespace {

const QString kSection = QStringLiteral("Settings");
const QString kAdbDirKey = QStringLiteral("AdbDir");

} // namespace

QString readAdbDir(const QString &settingsFile)
{
    return IniFile(settingsFile).text(kSection, kAdbDirKey);
}

bool writeAdbDir(const QString &settingsFile, const QString &folder)
{
    IniFile ini(settingsFile);
    ini.setText(kSection, kAdbDirKey, folder);
    return ini.save();
}
