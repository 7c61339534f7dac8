#pragma once

#include "buildinfo.h"

#include <QString>
#include <QStringList>

// Program-wide state set once by start-up and read everywhere.
struct AppState {
    QString programDir;   // folder of the executable: aapt and changelog.txt are looked for here first
    QString dataDir;      // list.a, icons/, debug/, bookmarks
    QString settingsFile; // settings.ini
    QString tempDir;
    QString iconsDir;
    QString debugDir;

    bool diagnosticsMode = false;
    QString startPath;
    bool quitAfterStart = false;

    bool rootAccess = false;
    bool busyboxPresent = false;
    bool readlinkPresent = false; // the phone's own readlink (toybox), for opening links without busybox
    bool shortListing = false;
};

AppState &appState();

// What the command line asks for; only the first two arguments count.
struct StartOptions {
    bool diagnostics = false;
    QString startPath;
};
StartOptions parseStartArguments(const QStringList &arguments);

// Decides where the program keeps its files (see design notes: portable folder, per-user
// locations, or VELBROOK_HOME) and creates the temp and icons folders.
void setUpProgramFolders(AppState &state, const QString &programDir);

// Where the program writes its temporary files: its own temp folder, made when missing, or the system's
// before one is set.
QString temporaryFolder();

// The change log: beside the program (a portable copy or the build folder) or in the installed
// documentation folder; the first of these when neither exists, so that the error names it.
QString changelogFile(const AppState &state);

inline constexpr auto kProductVersion = VELBROOK_VERSION;
