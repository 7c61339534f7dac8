#include "base/settingsstore.h"

#include "base/inifile.h"

namespace {

const QString kSection = QStringLiteral("Settings");
const QString kAdbDirKey = QStringLiteral("AdbDir");
// One key per phone serial.
const QString kAppStorageSection = QStringLiteral("AppStorage");

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

int readAppStorageOption(const QString &settingsFile, const QString &serial)
{
    if (serial.isEmpty())
        return -1;
    const int option = IniFile(settingsFile).integer(kAppStorageSection, serial, -1);
    return option >= 0 && option <= 4 ? option : -1;
}

bool writeAppStorageOption(const QString &settingsFile, const QString &serial, int option)
{
    if (serial.isEmpty())
        return false;
    IniFile ini(settingsFile);
    ini.setInteger(kAppStorageSection, serial, option);
    return ini.save();
}
