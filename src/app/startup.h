#pragma once

#include "appsui/installtarget.h"
#include "base/appstate.h"

class TADB;
class TLoadingForm;
class TMainForm;

// The program's start, step by step: folders and settings, the user's start command, adb and the phone,
// the probes, the storage mode, the first listings and the presence monitor. The window it starts keeps
// its frame and routing; this unit decides the order and what ends the program.
class Startup : private InstallTarget {
public:
    Startup(TMainForm &window, TADB &adb, StartOptions options);

    // False when the program is to end once this returns (path mode, no adb, no phone).
    bool run();

private:
    bool runNormal(TLoadingForm &loading);
    void runPathMode(TLoadingForm &loading);
    void writeDiagnostics();
    int chooseStorageOption();
    // Where the phone keeps its applications, asked once the phone is there.
    void configureAppStorage();
    // Path mode's installs: only a window for the path, so the bridge starts when the user installs, and once.
    bool devicePresent() override;
    InstallChoices installChoices() const override;

    TMainForm &m_window;
    TADB &m_adb;
    StartOptions m_options;
    bool m_bridgeReady = false;
};
