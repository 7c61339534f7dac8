#pragma once

#include "bridge/adboutput.h"
#include "bridge/appstoragetype.h"
#include "bridge/commandrunner.h"
#include "bridge/devicelist.h"

#include <QString>

#include <memory>
#include <optional>

// "adb shell <text>": the phone's shell gets the whole text as one argument, exactly as written.
CommandLine shellCommandLine(const QString &text);

// "adb pull -a <sources>... <folder>": one command for several phone files, which keep their dates.
CommandLine pullManyCommandLine(const QStringList &devicePaths, const QString &localFolder);
// "adb push <sources>... <folder>": one command for several PC files.
CommandLine pushManyCommandLine(const QStringList &localPaths, const QString &deviceFolder);

// The shell text that copies one phone entry to another path: cp where the phone has it, else cat
// (which can only copy a file).
QString copyCommandText(const QString &source, const QString &target, const QString &options, bool hasCp);

// What a caller sees of a command while it runs: its output as it comes, line by line where the platform
// allows, and a tick a few times a second.
struct Streaming {
    std::function<void(const QString &)> onOutput;
    std::function<void()> onTick;
};

// The phone's whole vocabulary: every operation builds one adb command line and runs it.
// One object carries one command at a time; each window or thread owns its own.
class AdbClient {
public:
    explicit AdbClient(std::shared_ptr<CommandRunner> runner = defaultCommandRunner());

    // Basic runners.
    // The exit status is there only for a child that ended by itself.
    CommandResult runAdb(const CommandLine &command, bool wantOutput = true);
    QString runShell(const QString &command, bool wantOutput = true);
    QString runShellOnPath(const QString &command, const QString &path, const QString &options, bool wantOutput = true);
    QString runShellOnTwoPaths(const QString &command, const QString &source, const QString &target,
                               const QString &options, bool wantOutput = true);

    // Phone file commands.
    QString listPath(const QString &path, const QString &options, bool color);
    // ls of a folder followed by an end marker with ls's exit status, so that a listing cut short shows.
    QString listFolder(const QString &path, const QString &options);
    // The folder's names, one a line (through a pipe, so that a terminal never gets columns).
    QStringList listNames(const QString &path);
    QString copyFile(const QString &source, const QString &target, const QString &options);
    // moveFile, makeDir and runScript print nothing when they succeed: what they print is the error text.
    CommandResult moveFile(const QString &source, const QString &target, const QString &options);
    QString removePath(const QString &path, const QString &options);
    // Removes a file also after a Cancel: what a stopped command left half written.
    void removeAfterCancel(const QString &path) const;
    CommandResult makeDir(const QString &path, const QString &options);
    QString readLink(const QString &path, const QString &options);
    CommandResult runScript(const QString &path);
    DiskFreeInfo diskFree(const QString &path, const QString &options);

    // Transfers and packages.
    QString pushFile(const QString &localPath, const QString &devicePath);
    QString pullFile(const QString &devicePath, const QString &localPath);
    // Untrimmed: the lines are read per source with splitPullOutput.
    QString pullMany(const QStringList &devicePaths, const QString &localFolder, const Streaming &streaming = {});
    QString pushMany(const QStringList &localPaths, const QString &deviceFolder, const Streaming &streaming = {});
    // A shell command whose output is read while it runs; untrimmed.
    QString runShellStreaming(const QString &command, const Streaming &streaming);
    // Runs `adb exec-out <command>` with its standard output written raw to `localPath` (created or
    // truncated); returns what adb printed on standard error, trimmed.
    QString execOutToFile(const QString &command, const QString &localPath);
    // Runs any program with its standard output written raw to `localPath`; returns its standard error, trimmed.
    QString runToFile(const CommandLine &line, const QString &localPath);
    QString installApk(const QString &apkPath, const QString &options);
    // The parts of one split package in one session: the phone takes all of them or none.
    QString installMultiple(const QStringList &apks, const QString &options);
    QString uninstallPackage(const QString &package, bool keepData);
    // "pm uninstall --user 0": a package that came with the system is removed for the current user only.
    QString uninstallForCurrentUser(const QString &package, bool keepData);
    void remount();

    // The bridge and the device's state.
    bool adbAvailable();
    // "adb connect host:port" for a phone on the network; returns what adb answered, trimmed.
    QString connectHost(const QString &host, int port);
    void startServer();
    // Present: the chosen device, or the only one when none is chosen, is in state "device".
    bool devicePresent();
    // The serial of that device; empty when none is present.
    QString deviceSerial();
    // What "adb devices" lists; with `details`, "adb devices -l" (models).
    QList<AdbDevice> listDevices(bool details = false);
    // An ANDROID_SERIAL inherited from the environment counts only when it names a listed device.
    void dropUnlistedChoice();
    // Device or Bootloader as "adb get-state" says; Other for anything else (offline, none, an error).
    DeviceState deviceState();

    // Probes.
    bool hasRoot();
    bool detectBusybox();
    // Whether the phone has a cp (toybox's on current phones, BusyBox's on rooted old ones).
    bool detectCp();
    bool detectReadlink();
    bool detectLsOptions();
    AppStorageType detectAppsStorage();
    // What the phone's adb daemon can do ("shell_v2", "cmd", ...), as "adb features" prints it.
    QString adbFeatures();
    bool pathExists(const QString &path);

    static QString parentDir(const QString &path);
    static QString baseName(const QString &path);
    static bool isNumber(QStringView text);

    bool hasBusybox = false;
    bool hasCp = false; // else files are copied with cat, and folders not at all
    bool lsColor = false;

    // Text form of the last command line run, as adb received it.
    const QString &lastCommandLine() const { return m_lastCommandLine; }
    // How the last command run through Run (and the commands built on it) ended; empty when it did not end by
    // itself or the runner cannot tell.
    std::optional<int> lastExitStatus() const { return m_lastExitStatus; }

    // Commands run under this token can be stopped from elsewhere (a Cancel button, a newer listing).
    void setCancelToken(std::shared_ptr<CancelToken> token) { m_options.cancel = std::move(token); }
    const std::shared_ptr<CancelToken> &cancelToken() const { return m_options.cancel; }
    bool isCancelled() const { return m_options.cancel && m_options.cancel->isCancelled(); }
    // Every later command is stopped after this long (-1: never).
    void setTimeout(int ms) { m_options.timeoutMs = ms; }

private:
    QString adb(const QStringList &arguments, bool wantOutput);
    QString shellText(const QString &text, bool wantOutput);
    CommandResult quietShell(const QString &text);
    QString runStreaming(const CommandLine &line, const Streaming &streaming, bool lineBuffered);

    std::shared_ptr<CommandRunner> m_runner;
    RunOptions m_options;
    QString m_lastCommandLine;
    std::optional<int> m_lastExitStatus;
};
