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

LoadedSettings LoadSettings()
{
    const IniFile ini(appState().SettingsFile);
    ProgramSettings &state = programSettings();
    LoadedSettings loaded;

    state.RememberWindow = ini.boolean(kSettings, kRememberWindow, false);
    WindowPlacement &window = loaded.window;
    if (state.RememberWindow) {
        window.remembered = true;
        window.maximised = ini.boolean(kWindow, QStringLiteral("State"), false);
        window.top = ini.integer(kWindow, QStringLiteral("Top"), window.top);
        window.left = ini.integer(kWindow, QStringLiteral("Left"), window.left);
        window.height = ini.integer(kWindow, QStringLiteral("Height"), window.height);
        window.width = ini.integer(kWindow, QStringLiteral("Width"), window.width);
    }

    state.RememberDirs = ini.boolean(kSettings, kRememberDirs, true);
    const QString &section = state.RememberDirs ? kLastDirs : kDefaultDirs;
    loaded.folders.Adres = folder(ini, section, kLeftDir, QStringLiteral("/"));
    loaded.folders.Adres2 = folder(ini, section, kRightDir, QStringLiteral("/"));
    loaded.folders.CPAdres = folder(ini, section, kComputerDir, platform::defaultPcFolder());

    state.ShowHiddenWinFiles = ini.boolean(kSettings, kShowHidden, false);
    state.AutoCloseLog = ini.boolean(kSettings, kAutoClose, false);
    state.CommandOnStart = ini.boolean(kSettings, kCommandOnStart, false);
    state.StartCommand = ini.text(kSettings, kStartCommand);
    state.SQLiteDatabaseBrowser = ini.text(kTools, kSqlBrowser);
    state.SignApk = ini.text(kTools, kSignApk);
    return loaded;
}

bool SaveSettings(const WindowPlacement &window, int tabsWidth, const PaneFolders &folders)
{
    IniFile ini(appState().SettingsFile);
    const ProgramSettings &state = programSettings();
    ini.setBoolean(kSettings, kRememberWindow, state.RememberWindow);
    ini.setBoolean(kWindow, QStringLiteral("State"), window.maximised);
    ini.setInteger(kWindow, QStringLiteral("Top"), window.top);
    ini.setInteger(kWindow, QStringLiteral("Left"), window.left);
    ini.setInteger(kWindow, QStringLiteral("Height"), window.height);
    ini.setInteger(kWindow, QStringLiteral("Width"), window.width);
    ini.setInteger(kWindow, QStringLiteral("Splitter"), tabsWidth);
    ini.setBoolean(kSettings, kRememberDirs, state.RememberDirs);
    ini.setText(kLastDirs, kLeftDir, folders.Adres);
    ini.setText(kLastDirs, kRightDir, folders.Adres2);
    ini.setText(kLastDirs, kComputerDir, folders.CPAdres);
    ini.setBoolean(kSettings, kShowHidden, state.ShowHiddenWinFiles);
    ini.setBoolean(kSettings, kAutoClose, state.AutoCloseLog);
    ini.setBoolean(kSettings, kCommandOnStart, state.CommandOnStart);
    ini.setText(kSettings, kStartCommand, state.StartCommand);
    return ini.save();
}

SettingsDialogValues readSettingsDialogValues()
{
    const IniFile ini(appState().SettingsFile);
    const ProgramSettings &state = programSettings();
    SettingsDialogValues values;
    values.RememberWindow = ini.boolean(kSettings, kRememberWindow, false);
    values.RememberDirs = ini.boolean(kSettings, kRememberDirs, true);
    values.LeftDir = ini.text(kDefaultDirs, kLeftDir, QStringLiteral("/"));
    values.RightDir = ini.text(kDefaultDirs, kRightDir, QStringLiteral("/"));
    values.KompDir = ini.text(kDefaultDirs, kComputerDir);
    values.ShowHiddenWinFiles = state.ShowHiddenWinFiles;
    values.AutoCloseLog = state.AutoCloseLog;
    values.CommandOnStart = state.CommandOnStart;
    values.StartCommand = state.StartCommand;
    return values;
}

bool applySettingsDialogValues(const SettingsDialogValues &values)
{
    IniFile ini(appState().SettingsFile);
    ProgramSettings &state = programSettings();
    ini.setBoolean(kSettings, kRememberWindow, values.RememberWindow);
    state.RememberWindow = values.RememberWindow;
    ini.setBoolean(kSettings, kRememberDirs, values.RememberDirs);
    state.RememberDirs = values.RememberDirs;
    ini.setText(kDefaultDirs, kLeftDir, values.LeftDir);
    ini.setText(kDefaultDirs, kRightDir, values.RightDir);
    ini.setText(kDefaultDirs, kComputerDir, values.KompDir);
    ini.setBoolean(kSettings, kAutoClose, values.AutoCloseLog);
    ini.setBoolean(kSettings, kCommandOnStart, values.CommandOnStart);
    ini.setText(kSettings, kStartCommand, values.StartCommand);
    // "ShowHiddenWinFiles" reaches the file at close, with the rest of the run's state.
    state.ShowHiddenWinFiles = values.ShowHiddenWinFiles;
    state.AutoCloseLog = values.AutoCloseLog;
    state.CommandOnStart = values.CommandOnStart;
    state.StartCommand = values.StartCommand;
    return ini.save();
}

bool saveSQLiteDatabaseBrowser(const QString &path)
{
    programSettings().SQLiteDatabaseBrowser = path;
    IniFile ini(appState().SettingsFile);
    ini.setText(kTools, kSqlBrowser, path);
    return ini.save();
}

bool saveSignApk(const QString &folder)
{
    programSettings().SignApk = folder;
    IniFile ini(appState().SettingsFile);
    ini.setText(kTools, kSignApk, folder);
    return ini.save();
}
