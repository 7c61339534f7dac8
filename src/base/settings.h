#pragma once

#include <QString>

// The options that live for the run; read at start-up, written at close and by the dialogs.
struct ProgramSettings {
    bool rememberWindow = false;
    bool rememberDirs = true;
    bool showHiddenPcFiles = false;
    bool autoCloseLog = false;
    bool commandOnStart = false;
    QString startCommand;
    QString SQLiteDatabaseBrowser; // the external database browser's executable
    QString signApk;               // folder with signapk.jar and the test key
};

ProgramSettings &programSettings();

// Where the main window goes. When not remembered the window is centred at its design size and
// the other fields hold the defaults.
struct WindowPlacement {
    bool remembered = false;
    bool maximised = false;
    int top = 0;
    int left = 0;
    int height = 517;
    int width = 741;
};

// The texts of the three address boxes; a phone folder is empty when none was kept.
struct PaneFolders {
    QString rightPhoneFolder; // "LeftPhonePanelDir"
    QString leftPhoneFolder;  // "RightPhonePanelDir"
    QString pcFolder;         // "ComputerPanelDir"
};

struct LoadedSettings {
    WindowPlacement window;
    PaneFolders folders;
};

// Reads appState().settingsFile into programSettings() and returns what the main window applies.
// A missing, unreadable or malformed file gives the defaults.
LoadedSettings loadSettings();

// Writes the close-time keys from programSettings() and the window's values; the default
// folders and the tool paths are left as they are. False when the file could not be written.
bool saveSettings(const WindowPlacement &window, int tabsWidth, const PaneFolders &folders);

// What the settings dialog shows and edits.
struct SettingsDialogValues {
    bool rememberWindow = false;
    bool rememberDirs = true;
    QString rightPhoneFolder; // "DefaultDirectories"/"LeftPhonePanelDir"
    QString leftPhoneFolder;  // "DefaultDirectories"/"RightPhonePanelDir"
    QString pcFolder;         // "DefaultDirectories"/"ComputerPanelDir", empty when missing
    bool showHiddenPcFiles = false;
    bool autoCloseLog = false;
    bool commandOnStart = false;
    QString startCommand;
};

// The two "Remember" boxes and the default folders come from the file, the rest from the state.
SettingsDialogValues readSettingsDialogValues();
// Writes the dialog's keys and updates programSettings(); the state follows the dialog even
// when the file could not be written (then false).
bool applySettingsDialogValues(const SettingsDialogValues &values);

// The tool dialogs' paths: set in programSettings() and written at once to "Tools".
bool saveSQLiteDatabaseBrowser(const QString &path);
bool saveSignApk(const QString &folder);
