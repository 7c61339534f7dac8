#include "bridge/adbutils.h"

#include "bridge/devicechoice.h"

#include <algorithm>

namespace {

const QString kAdb = QStringLiteral("adb");

QString endText(RunEnd end, const QString &program)
{
    switch (end) {
    case RunEnd::Exited:
        return QString();
    case RunEnd::Crashed:
        return program + QStringLiteral(" crashed");
    case RunEnd::Stopped:
        return QStringLiteral("Stopped");
    case RunEnd::TimedOut:
        return QStringLiteral("Timed out");
    case RunEnd::NotStarted:
        break;
    }
    return QStringLiteral("Could not start ") + program;
}

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

// Options stand between two blanks; when empty, both blanks stay.
QString withOptions(const QString &command, const QString &options)
{
    return command + u' ' + options.trimmed() + u' ';
}

} // namespace

AdbClient::AdbClient(std::shared_ptr<CommandRunner> runner) : m_runner(std::move(runner)) {}

CommandResult AdbClient::runAdb(const CommandLine &command, bool wantOutput)
{
    m_lastCommandLine = command.text;
    m_lastExitStatus.reset();
    CommandResult result;
    RunOptions options = m_options;
    options.onExit = [this](int code) { m_lastExitStatus = code; };
    options.onEnd = [&result, &command](RunEnd end) { result.errorText = endText(end, command.program); };
    result.output = m_runner->runWith(command, wantOutput, options);
    result.exitStatus = m_lastExitStatus;
    // A program's words can pass for success; its exit status cannot.
    if (result.exitStatus.value_or(0) != 0)
        result.errorText = QStringLiteral("Exit status ") + QString::number(*result.exitStatus);
    // A runner that cannot tell how the child ended still knows a Cancel.
    if (result.errorText.isEmpty() && !result.exitStatus && isCancelled())
        result.errorText = endText(RunEnd::Stopped, command.program);
    return result;
}

QString AdbClient::adb(const QStringList &arguments, bool wantOutput)
{
    // Only for commands whose arguments need no quotes in their text form.
    return runAdb(CommandLine{kAdb, arguments, (QStringList{kAdb} + arguments).join(u' ')}, wantOutput).output;
}

CommandLine shellCommandLine(const QString &text)
{
    return CommandLine{kAdb, {QStringLiteral("shell"), text}, QStringLiteral("adb shell ") + text};
}

QString AdbClient::shellText(const QString &text, bool wantOutput)
{
    return runAdb(shellCommandLine(text), wantOutput).output;
}

CommandResult AdbClient::quietShell(const QString &text)
{
    CommandResult result = runAdb(shellCommandLine(text), true);
    result.output = trimOutput(result.output);
    // These commands print nothing when they succeed: whatever they say is their complaint.
    if (!result.output.isEmpty())
        result.errorText = result.output;
    return result;
}

QString AdbClient::runShell(const QString &command, bool wantOutput)
{
    return trimOutput(shellText(command, wantOutput));
}

QString AdbClient::runShellOnPath(const QString &command, const QString &path, const QString &options, bool wantOutput)
{
    return trimOutput(shellText(withOptions(command, options) + quoteDevicePath(path), wantOutput));
}

QString AdbClient::runShellOnTwoPaths(const QString &command, const QString &source, const QString &target,
                                      const QString &options, bool wantOutput)
{
    return trimOutput(shellText(
        withOptions(command, options) + quoteDevicePath(source) + u' ' + quoteDevicePath(target), wantOutput));
}

QString AdbClient::listPath(const QString &path, const QString &options, bool color)
{
    QString opts = options.trimmed();
    if (lsColor)
        opts += color ? QStringLiteral(" --color=always") : QStringLiteral(" --color=never");
    return shellText(withOptions(QStringLiteral("ls"), opts) + quoteDevicePath(path), true);
}

QString AdbClient::listFolder(const QString &path, const QString &options)
{
    QString opts = options.trimmed();
    if (lsColor)
        opts += QStringLiteral(" --color=never");
    // ls's complaints go into the same pipe as its rows: on current phones standard error travels
    // apart and a complaint written in pieces could otherwise be split by the end marker.
    return shellText(withOptions(QStringLiteral("ls"), opts) + quoteDevicePath(path) +
                         QStringLiteral(" 2>&1; echo \"[velbrook-end:$?]\""),
                     true);
}

QStringList AdbClient::listNames(const QString &path)
{
    return splitLines(shellText(QStringLiteral("ls -a ") + quoteDevicePath(path) + QStringLiteral(" | cat"), true));
}

QString copyCommandText(const QString &source, const QString &target, const QString &options, bool hasCp)
{
    if (hasCp)
        return withOptions(QStringLiteral("cp"), options) + quoteDevicePath(source) + u' ' + quoteDevicePath(target);
    // Without cp, cat replaces the target; appending would corrupt a file that already exists. The target is
    // opened only for a source that can be read: a failed copy must not leave it made or emptied.
    const QString from = quoteDevicePath(source);
    return QStringLiteral("if [ -r ") + from + QStringLiteral(" ]; then cat ") + from + QStringLiteral(" > ") +
           quoteDevicePath(target) + QStringLiteral("; else cat ") + from + QStringLiteral("; fi");
}

QString AdbClient::copyFile(const QString &source, const QString &target, const QString &options)
{
    return runShell(copyCommandText(source, target, options, hasCp));
}

CommandResult AdbClient::moveFile(const QString &source, const QString &target, const QString &options)
{
    return quietShell(withOptions(QStringLiteral("mv"), options) + quoteDevicePath(source) + u' ' +
                      quoteDevicePath(target));
}

QString AdbClient::removePath(const QString &path, const QString &options)
{
    return runShellOnPath(QStringLiteral("rm"), path, options);
}

void AdbClient::removeAfterCancel(const QString &path) const
{
    AdbClient cleanup(*this);
    cleanup.setCancelToken(nullptr);
    cleanup.removePath(path, QString());
}

CommandResult AdbClient::makeDir(const QString &path, const QString &options)
{
    return quietShell(withOptions(QStringLiteral("mkdir"), options) + quoteDevicePath(path));
}

QString AdbClient::readLink(const QString &path, const QString &options)
{
    return runShellOnPath(QStringLiteral("readlink"), path, options);
}

CommandResult AdbClient::runScript(const QString &path)
{
    return quietShell(withOptions(QStringLiteral("sh"), QString()) + quoteDevicePath(path));
}

DiskFreeInfo AdbClient::diskFree(const QString &path, const QString &options)
{
    // adb's own error text parses as no values, so no extra state query is needed.
    const QString output = runShellOnPath(QStringLiteral("df"), path, options);
    return parseDiskFree(output, path);
}

QString AdbClient::pushFile(const QString &localPath, const QString &devicePath)
{
    return trimOutput(runAdb(CommandLine{kAdb,
                                         {QStringLiteral("push"), localPath, devicePath},
                                         QStringLiteral("adb push ") + quoted(localPath) + u' ' + quoted(devicePath)})
                          .output);
}

QString AdbClient::pullFile(const QString &devicePath, const QString &localPath)
{
    return trimOutput(runAdb(CommandLine{kAdb,
                                         {QStringLiteral("pull"), devicePath, localPath},
                                         QStringLiteral("adb pull ") + quoted(devicePath) + u' ' + quoted(localPath)})
                          .output);
}

namespace {

CommandLine transferManyCommandLine(const QStringList &verb, const QStringList &sources, const QString &folder)
{
    QString text = QStringLiteral("adb ") + verb.join(u' ');
    for (const QString &path : sources)
        text += u' ' + quoted(path);
    text += u' ' + quoted(folder);
    return CommandLine{kAdb, verb + sources + QStringList{folder}, text};
}

} // namespace

CommandLine pullManyCommandLine(const QStringList &devicePaths, const QString &localFolder)
{
    // -a: the files keep the phone's dates (adb 1.0.32 and later; the sync STAT carries them).
    return transferManyCommandLine({QStringLiteral("pull"), QStringLiteral("-a")}, devicePaths, localFolder);
}

CommandLine pushManyCommandLine(const QStringList &localPaths, const QString &deviceFolder)
{
    return transferManyCommandLine({QStringLiteral("push")}, localPaths, deviceFolder);
}

QString AdbClient::runStreaming(const CommandLine &line, const Streaming &streaming, bool lineBuffered)
{
    m_lastCommandLine = line.text;
    RunOptions options = m_options;
    options.onOutput = streaming.onOutput;
    options.onTick = streaming.onTick;
    options.lineBuffered = lineBuffered;
    options.tickMs = 100;
    return m_runner->runWith(line, true, options);
}

QString AdbClient::pullMany(const QStringList &devicePaths, const QString &localFolder, const Streaming &streaming)
{
    // adb keeps its report lines until it ends unless told otherwise.
    return runStreaming(pullManyCommandLine(devicePaths, localFolder), streaming, true);
}

QString AdbClient::pushMany(const QStringList &localPaths, const QString &deviceFolder, const Streaming &streaming)
{
    return runStreaming(pushManyCommandLine(localPaths, deviceFolder), streaming, true);
}

QString AdbClient::runShellStreaming(const QString &command, const Streaming &streaming)
{
    // What the phone prints reaches adb's output as it comes.
    return runStreaming(shellCommandLine(command), streaming, false);
}

QString AdbClient::execOutToFile(const QString &command, const QString &localPath)
{
    return runToFile(CommandLine{kAdb, {QStringLiteral("exec-out"), command}, QStringLiteral("adb exec-out ") + command},
                     localPath);
}

QString AdbClient::runToFile(const CommandLine &line, const QString &localPath)
{
    m_lastCommandLine = line.text;
    RunOptions options = m_options;
    options.stdoutFile = localPath;
    return trimOutput(m_runner->runWith(line, true, options));
}

QString AdbClient::installApk(const QString &apkPath, const QString &options)
{
    QStringList args{QStringLiteral("install")};
    args += options.split(u' ', Qt::SkipEmptyParts);
    args += apkPath;
    return trimOutput(
        runAdb(CommandLine{kAdb, args, withOptions(QStringLiteral("adb install"), options) + quoted(apkPath)}).output);
}

QString AdbClient::installMultiple(const QStringList &apks, const QString &options)
{
    QStringList args{QStringLiteral("install-multiple")};
    args += options.split(u' ', Qt::SkipEmptyParts);
    args += apks;
    QStringList paths;
    for (const QString &apk : apks)
        paths << quoted(apk);
    return trimOutput(
        runAdb(CommandLine{kAdb, args, withOptions(QStringLiteral("adb install-multiple"), options) + paths.join(u' ')})
            .output);
}

QString AdbClient::uninstallPackage(const QString &package, bool keepData)
{
    // Current adb clients refuse "uninstall -k" without asking the phone; its package manager still keeps data.
    if (keepData)
        return runShell(QStringLiteral("pm uninstall -k ") + quoteDevicePath(package));
    return trimOutput(runAdb(CommandLine{kAdb,
                                         {QStringLiteral("uninstall"), package},
                                         QStringLiteral("adb uninstall ") + quoted(package)})
                          .output);
}

QString AdbClient::uninstallForCurrentUser(const QString &package, bool keepData)
{
    return runShell(QStringLiteral("pm uninstall ") + (keepData ? QStringLiteral("-k ") : QString()) +
                    QStringLiteral("--user 0 ") + quoteDevicePath(package));
}

void AdbClient::remount()
{
    adb({QStringLiteral("remount")}, true);
}

bool AdbClient::adbAvailable()
{
    return adb({}, true) != QStringLiteral("error");
}

QString AdbClient::connectHost(const QString &host, int port)
{
    // IPv6 addresses go in brackets, or adb would take their last group for the port.
    const QString address = host.contains(u':') && !host.startsWith(u'[') ? u'[' + host + u']' : host;
    return trimOutput(adb({QStringLiteral("connect"), address + u':' + QString::number(port)}, true));
}

void AdbClient::startServer()
{
    adb({QStringLiteral("start-server")}, false);
}

bool AdbClient::devicePresent()
{
    return judgeDevices(listDevices(), chosenDeviceSerial()).situation == DeviceSituation::Ready;
}

QString AdbClient::deviceSerial()
{
    const DeviceVerdict verdict = judgeDevices(listDevices(), chosenDeviceSerial());
    return verdict.situation == DeviceSituation::Ready ? verdict.device.serial : QString();
}

QList<AdbDevice> AdbClient::listDevices(bool details)
{
    return parseDeviceList(details ? adb({QStringLiteral("devices"), QStringLiteral("-l")}, true)
                                   : adb({QStringLiteral("devices")}, true));
}

void AdbClient::dropUnlistedChoice()
{
    const QString chosen = chosenDeviceSerial();
    if (chosen.isEmpty())
        return;
    const QList<AdbDevice> devices = listDevices();
    const bool listed =
        std::any_of(devices.begin(), devices.end(), [&](const AdbDevice &device) { return device.serial == chosen; });
    if (!listed)
        setChosenDeviceSerial(QString());
}

DeviceState AdbClient::deviceState()
{
    const QString state = trimOutput(adb({QStringLiteral("get-state")}, true));
    if (state == QStringLiteral("device"))
        return DeviceState::Device;
    if (state == QStringLiteral("bootloader"))
        return DeviceState::Bootloader;
    return DeviceState::Other;
}

namespace {

// The runner could not start adb, or adb could not reach the phone: the phone itself said nothing.
bool unanswered(const QString &out)
{
    return out == QStringLiteral("error") || isAdbError(out);
}

} // namespace

bool AdbClient::hasRoot()
{
    const QString listing = trimOutput(listPath(QStringLiteral("/data"), QString(), false));
    // Old toolbox says "opendir failed, ..."; toybox and busybox say "ls: /data: Permission denied".
    if (listing == QStringLiteral("opendir failed, Permission denied") || unanswered(listing))
        return false;
    return !(listing.startsWith(QStringLiteral("ls: ")) && listing.endsWith(QStringLiteral("Permission denied")));
}

bool AdbClient::detectBusybox()
{
    const QString out = runShell(QStringLiteral("busybox"), true);
    // Newer shells name themselves first ("sh: busybox: not found", "...: inaccessible or not found").
    hasBusybox =
        !(out == QStringLiteral("busybox: not found") || out.endsWith(QStringLiteral(": busybox: not found")) ||
          out.endsWith(QStringLiteral("busybox: inaccessible or not found")) || unanswered(out));
    hasCp = hasBusybox;
    return hasBusybox;
}

bool AdbClient::detectCp()
{
    // Old toolboxes had no cp; toybox and BusyBox answer with their usage.
    const QString out = runShell(QStringLiteral("cp"), true);
    hasCp = hasBusybox || !(out.isEmpty() || unanswered(out) || out.endsWith(QStringLiteral("not found")));
    return hasCp;
}

bool AdbClient::detectReadlink()
{
    // "/" is no link: a readlink that exists prints nothing; a missing one makes the shell complain.
    const QString out = runShell(QStringLiteral("readlink /"), true);
    return out.isEmpty() || !(unanswered(out) || out.contains(QStringLiteral("not found")) ||
                              out.contains(QStringLiteral("Permission denied")));
}

namespace {

bool refusesOption(const QString &out, const QString &toolboxText, const QString &noFileText, const QString &option)
{
    // Without an answer the phone is taken for the oldest kind.
    if (out == toolboxText || out == noFileText || out.contains(QStringLiteral("unrecognized option `") + option) ||
        unanswered(out))
        return true;
    // Newer tools word the refusal differently: toybox "Unknown option 'e'", GNU and busybox "invalid option".
    return out.startsWith(QStringLiteral("ls: Unknown option")) ||
           out.startsWith(QStringLiteral("ls: invalid option")) ||
           out.startsWith(QStringLiteral("ls: unrecognized option"));
}

} // namespace

bool AdbClient::detectLsOptions()
{
    const QString color = runShell(QStringLiteral("ls --color=never"), true);
    lsColor =
        !refusesOption(color, QStringLiteral("ls: Unknown option '--'. Aborting."),
                       QStringLiteral("--color=never: No such file or directory"), QStringLiteral("--color=never"));
    const QString e = runShell(QStringLiteral("ls -e"), true);
    return !refusesOption(e, QStringLiteral("ls: Unknown option '-e'. Aborting."),
                          QStringLiteral("-e: No such file or directory"), QStringLiteral("-e"));
}

AppStorageType AdbClient::detectAppsStorage()
{
    AppStorageType result = pathExists(QStringLiteral("/mnt")) ? AppStorageType::Asec : AppStorageType::Internal;
    if (pathExists(QStringLiteral("/system/sd")) && !pathExists(QStringLiteral("/system/sd/placeholder")))
        result = AppStorageType::SystemSd;
    if (pathExists(QStringLiteral("/sd-ext")) && !pathExists(QStringLiteral("/sd-ext/placeholder")))
        result = AppStorageType::SdExt;
    return result;
}

QString AdbClient::adbFeatures()
{
    return trimOutput(adb({QStringLiteral("features")}, true));
}

bool AdbClient::pathExists(const QString &path)
{
    // Whole names only: a name that merely stands inside another name or a link's target is not there.
    return listNames(parentDir(path)).contains(baseName(path));
}

QString AdbClient::parentDir(const QString &path)
{
    if (path.isEmpty() || path == QStringLiteral("/"))
        return path;
    const qsizetype slash = path.lastIndexOf(u'/', path.size() - 2);
    return slash < 0 ? QStringLiteral("/") : path.left(slash + 1);
}

QString AdbClient::baseName(const QString &path)
{
    if (path.isEmpty() || path == QStringLiteral("/"))
        return QString();
    const QString p = path.endsWith(u'/') ? path.left(path.size() - 1) : path;
    return p.mid(p.lastIndexOf(u'/') + 1);
}

bool AdbClient::isNumber(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}
