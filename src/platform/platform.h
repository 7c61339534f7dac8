#pragma once

#include <QString>
#include <QStringList>

// The few things that differ between Linux and Windows.
namespace platform {

// Longest command line the platform can start, in characters; 0 when the system itself refuses
// what is too long.
qsizetype maxCommandLineLength();

// Name of the adb executable file as it lies in an SDK folder.
QString adbFileName();

// The SDK's monitor tool as its files are named, older name first ("ddms", then "monitor").
QStringList ddmsFileNames();

// A file-dialog filter that offers the programs of this platform: "*.exe" on Windows, any file
// elsewhere (where being a program is a right, not a name).
QString programFilter(const QString &label);

// Puts a folder in front of this process's program search path.
void prependToSearchPath(const QString &folder);

// Adds a folder to the machine-wide search path (Windows registry); false when it was refused.
bool addToSystemSearchPath(const QString &folder, QString *error);

// True when the platform keeps a machine-wide search path that the program may extend.
bool hasSystemSearchPath();

// The PC pane's folder when none is configured: C:\ on Windows, the home folder elsewhere.
QString defaultPcFolder();

// Caption of the page that shows the PC's files.
QString pcFilesCaption();

// What the "ADB not found" window says about getting adb and pointing the program at it.
struct AdbHelpTexts {
    QStringList installLines; // below "ADB is a part of the Android SDK..."
    QString pathTitle;        // the frame around the search-path explanation
    QStringList pathLines;
    QString setPathCaption;
    QString pathSetMessage; // after the folder was accepted
};
AdbHelpTexts adbHelpTexts();

} // namespace platform
