#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class Prompter;
class QWidget;
class AdbClient;

// The project's pages the about box and the status bar open.
QUrl websiteUrl();
QUrl donateUrl();
// The download pages the tool settings dialogs open.
QUrl sqliteBrowserDownloadUrl();
QUrl signApkDownloadUrl();

// The SDK's monitor tool: beside adb (platform-tools), in the SDK's tools folder next to it, or on
// the search path. Empty when none of these holds it.
QString findDdms();

// Starts the monitor tool without waiting for it; tells the user what is missing when it cannot.
void runDdms(QWidget *window, Prompter &prompter);

// The SQLite browser setting as the dialog offers it: an installed sqlitebrowser while none is set.
QString sqliteBrowserSuggestion(const QString &current);

// What signing needs that is not there: signapk.jar and the two key files in `folder`, and java
// on the search path. Empty when everything is in place.
QStringList missingSigningTools(const QString &folder);

// The command line that signs `file` into `written` (by default "signed_" + its name beside it).
struct SignCommand {
    QString program;
    QStringList arguments;
    QString text; // as the user would type it, for the log and the tests
    QString output;
};
SignCommand signCommand(const QString &java, const QString &folder, const QString &file,
                        const QString &written = QString());

// What the user is told after java ran: its exit code (none when it could not start or was stopped), what
// it printed, and the file it was to write. Empty when the file is there, not empty, and java exited 0.
QString signingProblem(std::optional<int> exitCode, const QString &output, const QString &written);

// "Sign APK file" and "Sign ZIP file": checks the setting and the tools, asks for the file, signs it into a
// temporary name and renames that into place only when java succeeded. An existing signed copy is replaced
// only after the replace question; "Skip" signs into a free name instead.
void signFile(QWidget *window, AdbClient &adb, Prompter &prompter, bool apk);
