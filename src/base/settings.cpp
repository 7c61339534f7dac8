#include "base/settings.h"

#include "platform/platform.h"
#include "base/appstate.h"
#include "base/inifile.h"

namespace {

const QString kSettings = QStringLiteral("Settings");
const QString kWindow = QStringLiteral("Window");
const QString kLastDirs = QStringLiteral("LastDirectories");
const QString kDefaultDirs = QStringLiteral("DefaultDirectories");
const QString kTools = QStringLiteral("Tools");

const QString kRememberWindow = QStringLiteral("RememberWindowSizePos");
const QString kRememberDirs = QStringLiteral("RememberLastDirs");
const QString kLeftDir = QStringLiteral("LeftPhonePanelDir");
const QString kRightDir = QStringLiteral("RightPhonePanelDir");
const QString kComputerDir = QStringLiteral("ComputerPanelDir");
const QString kShowHidden = QStringLiteral("ShowHiddenWinFiles");
const QString kAutoClose = QStringLiteral("LogAutoClose");
const QString kCommandOnStart = QStringLiteral("CommandOnStart");
const QString kStartCommand = QStringLiteral("StartCommand");
const QString kSqlBrowser = QStringLiteral("SQLiteDatabaseBrowser");
const QString kSignApk = QStringLiteral("SignApk");

// An empty folder (the dialog writes one when its edit is left empty) would leave a pane with
// nothing to list, so it counts as missing.
QString folder(const IniFile &ini, const QString &section, const QString &key, const QString &fallback)
{
    const QString value = ini.text(section, key);
    return value.isEmpty() ? fallback : value;
}

} // namespace

ProgramSettings &programSettings()
{
    static ProgramSettings settings;
    return settings;
}

LoadedSettings loadSettings()
{
    const IniFile ini(appState().settingsFile);
    ProgramSettings &state = programSettings();
    LoadedSettings loaded;

    state.rememberWindow = ini.boolean(kSettings, kRememberWindow, false);
    WindowPlacement &window = loaded.window;
    if (state.rememberWindow) {
        window.remembered = true;
        window.maximised = ini.boolean(kWindow, QStringLiteral("State"), false);
        window.top = ini.integer(kWindow, QStringLiteral("Top"), window.top);
        window.left = ini.integer(kWindow, QStringLiteral("Left"), window.left);
        window.height = ini.integer(kWindow, QStringLiteral("Height"), window.height);
        window.width = ini.integer(kWindow, QStringLiteral("Width"), window.width);
    }

    state.rememberDirs = ini.boolean(kSettings, kRememberDirs, true);
    const QString &section = state.rememberDirs ? kLastDirs : kDefaultDirs;
    // No folder kept: start-up opens the phone's user storage.
    loaded.folders.rightPhoneFolder = folder(ini, section, kLeftDir, QString());
    loaded.folders.leftPhoneFolder = folder(ini, section, kRightDir, QString());
    loaded.folders.pcFolder = folder(ini, section, kComputerDir, platform::defaultPcFolder());

    state.showHiddenPcFiles = ini.boolean(kSettings, kShowHidden, false);
    state.autoCloseLog = ini.boolean(kSettings, kAutoClose, false);
    state.commandOnStart = ini.boolean(kSettings, kCommandOnStart, false);
    state.startCommand = ini.text(kSettings, kStartCommand);
    state.SQLiteDatabaseBrowser = ini.text(kTools, kSqlBrowser);
    state.signApk = ini.text(kTools, kSignApk);
    return loaded;
}

bool saveSettings(const WindowPlacement &window, int tabsWidth, const PaneFolders &folders)
{
    IniFile ini(appState().settingsFile);
    const ProgramSettings &state = programSettings();
    ini.setBoolean(kSettings, kRememberWindow, state.rememberWindow);
    ini.setBoolean(kWindow, QStringLiteral("State"), window.maximised);
    ini.setInteger(kWindow, QStringLiteral("Top"), window.top);
    ini.setInteger(kWindow, QStringLiteral("Left"), window.left);
    ini.setInteger(kWindow, QStringLiteral("Height"), window.height);
    ini.setInteger(kWindow, QStringLiteral("Width"), window.width);
    ini.setInteger(kWindow, QStringLiteral("Splitter"), tabsWidth);
    ini.setBoolean(kSettings, kRememberDirs, state.rememberDirs);
    ini.setText(kLastDirs, kLeftDir, folders.rightPhoneFolder);
    ini.setText(kLastDirs, kRightDir, folders.leftPhoneFolder);
    ini.setText(kLastDirs, kComputerDir, folders.pcFolder);
    ini.setBoolean(kSettings, kShowHidden, state.showHiddenPcFiles);
    ini.setBoolean(kSettings, kAutoClose, state.autoCloseLog);
    ini.setBoolean(kSettings, kCommandOnStart, state.commandOnStart);
    ini.setText(kSettings, kStartCommand, state.startCommand);
    return ini.save();
}

SettingsDialogValues readSettingsDialogValues()
{
    const IniFile ini(appState().settingsFile);
    const ProgramSettings &state = programSettings();
    SettingsDialogValues values;
    values.rememberWindow = ini.boolean(kSettings, kRememberWindow, false);
    values.rememberDirs = ini.boolean(kSettings, kRememberDirs, true);
    values.rightPhoneFolder = ini.text(kDefaultDirs, kLeftDir, QStringLiteral("/"));
    values.leftPhoneFolder = ini.text(kDefaultDirs, kRightDir, QStringLiteral("/"));
    values.pcFolder = ini.text(kDefaultDirs, kComputerDir);
    values.showHiddenPcFiles = state.showHiddenPcFiles;
    values.autoCloseLog = state.autoCloseLog;
    values.commandOnStart = state.commandOnStart;
    values.startCommand = state.startCommand;
    return values;
}

bool applySettingsDialogValues(const SettingsDialogValues &values)
{
    IniFile ini(appState().settingsFile);
    ProgramSettings &state = programSettings();
    ini.setBoolean(kSettings, kRememberWindow, values.rememberWindow);
    state.rememberWindow = values.rememberWindow;
    ini.setBoolean(kSettings, kRememberDirs, values.rememberDirs);
    state.rememberDirs = values.rememberDirs;
    ini.setText(kDefaultDirs, kLeftDir, values.rightPhoneFolder);
    ini.setText(kDefaultDirs, kRightDir, values.leftPhoneFolder);
    ini.setText(kDefaultDirs, kComputerDir, values.pcFolder);
    ini.setBoolean(kSettings, kAutoClose, values.autoCloseLog);
    ini.setBoolean(kSettings, kCommandOnStart, values.commandOnStart);
    ini.setText(kSettings, kStartCommand, values.startCommand);
    // "ShowHiddenWinFiles" reaches the file at close, with the rest of the run's state.
    state.showHiddenPcFiles = values.showHiddenPcFiles;
    state.autoCloseLog = values.autoCloseLog;
    state.commandOnStart = values.commandOnStart;
    state.startCommand = values.startCommand;
    return ini.save();
}

bool saveSQLiteDatabaseBrowser(const QString &path)
{
    programSettings().SQLiteDatabaseBrowser = path;
    IniFile ini(appState().settingsFile);
    ini.setText(kTools, kSqlBrowser, path);
    return ini.save();
}

bool saveSignApk(const QString &folder)
{
    programSettings().signApk = folder;
    IniFile ini(appState().settingsFile);
    ini.setText(kTools, kSignApk, folder);
    return ini.save();
}
