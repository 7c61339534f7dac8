#pragma once

#include "appsui/installtarget.h"
#include "base/appstate.h"

class AdbClient;
class LoadingDialog;
class MainWindow;

// The program's start, step by step: folders and settings, the user's start command, adb and the phone,
// the probes, the storage mode, the first listings and the presence monitor. The window it starts keeps
// its frame and routing; this unit decides the order and what ends the program.
class Startup : private InstallTarget {
public:
    Startup(MainWindow &window, AdbClient &adb, StartOptions options);

    // False when the program is to end once this returns (path mode, no adb, no phone).
    bool run();

private:
    bool runNormal(LoadingDialog &loading);
    void runPathMode(LoadingDialog &loading);
    void writeDiagnostics();
    int chooseStorageOption();
    // Where the phone keeps its applications, asked once the phone is there.
    void configureAppStorage();
    // Path mode's installs: only a window for the path, so the bridge starts when the user installs, and once.
    bool devicePresent() override;
    InstallChoices installChoices() const override;

    MainWindow &m_window;
    AdbClient &m_adb;
    StartOptions m_options;
    bool m_bridgeReady = false;
};
