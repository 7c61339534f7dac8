#include "bridge/adbutils.h"

#include "bridge/devicechoice.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString kAdb = QStringLiteral("adb");

QString quoted(const QString &path)
{
    return u'"' + path + u'"';
}

// Options stand between two blanks; when empty, both blanks stay.
QString withOptions(const QString &command, const QString &options)
{
    return command + u' ' + options.trimmed() + u' ';
}

qsizetype lineBreakEnd(const QString &text, qsizetype from, qsizetype *breakStart)
{
    for (qsizetype i = from; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            *breakStart = i;
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                return i + 2;
            return i + 1;
        }
    }
    *breakStart = -1;
    return -1;
}

bool isDigits(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// One value of the one-line df form: from `start` up to the "K" two characters before the next `label`.
QString oneLineValue(const QString &text, qsizetype start, const QString &label)
{
    const qsizetype at = start < 0 ? -1 : text.indexOf(label, start);
    if (at < 0 || at - 2 < start)
        return QStringLiteral("0");
    return text.mid(start, at - 2 - start);
}

// Position `skip` characters after the next `label` at or after `from`; -1 when there is none.
qsizetype after(const QString &text, const QString &label, qsizetype from, qsizetype skip)
{
    const qsizetype at = from < 0 ? -1 : text.indexOf(label, from);
    return at < 0 ? -1 : at + skip;
}

// Android 4-6 toolbox df prints sizes such as "719.3M" or "1.9G"; -1 for anything else.
qint64 kibibytesOf(const QString &field)
{
    static const QString units = QStringLiteral("KMGT");
    if (field.size() < 2)
        return -1;
    const qsizetype unit = units.indexOf(field.back());
    bool ok = false;
    const double value = field.left(field.size() - 1).toDouble(&ok);
    if (unit < 0 || !ok || value < 0)
        return -1;
    double kb = value;
    for (qsizetype i = 0; i < unit; ++i)
        kb *= 1024;
    return qint64(kb);
}

} // namespace

QString quoteDevicePath(const QString &path)
{
    QString escaped;
    escaped.reserve(path.size() + 8);
    for (const QChar c : path) {
        if (c == u'\\' || c == u'"' || c == u'$' || c == u'`')
            escaped += u'\\';
        escaped += c;
    }
    return quoted(escaped);
}

QString trimOutput(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

TDiskFreeInfo parseDiskFree(const QString &output, const QString &path)
{
    TDiskFreeInfo info;
    if (output.endsWith(u')')) {
        // "/data: 167424K total, 112240K used, 55184K available (block size 4096)"
        const QString head = path + u':';
        const qsizetype start = output.startsWith(head) ? head.size() : after(output, QStringLiteral(":"), 0, 1);
        info.Total = oneLineValue(output, start, QStringLiteral("total"));
        const qsizetype usedStart = after(output, QStringLiteral("total,"), start, 6);
        info.Used = oneLineValue(output, usedStart, QStringLiteral("used"));
        const qsizetype availableStart = after(output, QStringLiteral("used,"), usedStart, 6);
        info.Available = oneLineValue(output, availableStart, QStringLiteral("available"));
        return info;
    }

    // Column form: skip the header line and the file-system name, which may stand on a line of its own.
    qsizetype breakStart = -1;
    qsizetype from = lineBreakEnd(output, 0, &breakStart);
    if (from < 0)
        from = 0;
    const qsizetype blank = output.indexOf(u' ', from);
    if (blank < 0)
        return info;
    const QStringList fields =
        output.mid(blank + 1).split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    QString *values[] = {&info.Total, &info.Used, &info.Available};
    for (int i = 0; i < 3 && i < fields.size(); ++i) {
        const QString &field = fields.at(i);
        if (isDigits(field) && !field.isEmpty())
            *values[i] = field;
        else if (const qint64 kb = kibibytesOf(field); kb >= 0)
            *values[i] = QString::number(kb);
    }
    return info;
}

TADB::TADB(std::shared_ptr<CommandRunner> runner) : m_runner(std::move(runner)) {}

QString TADB::Run(const QString &commandLine, bool wantOutput)
{
    return Run(parseCommandLine(commandLine), wantOutput);
}

QString TADB::Run(const CommandLine &command, bool wantOutput)
{
    m_lastCommandLine = command.text;
    m_lastExitStatus.reset();
    RunOptions options = m_options;
    options.onExit = [this](int code) { m_lastExitStatus = code; };
    return m_runner->runWith(command, wantOutput, options);
}

QString TADB::Run(const CommandLine &command, std::optional<int> &exitCode)
{
    const QString output = Run(command, true);
    exitCode = m_lastExitStatus;
    return output;
}

QString TADB::adb(const QStringList &arguments, bool wantOutput)
{
    // Only for commands whose arguments need no quotes in their text form.
    return Run(CommandLine{kAdb, arguments, (QStringList{kAdb} + arguments).join(u' ')}, wantOutput);
}

CommandLine shellCommandLine(const QString &text)
{
    return CommandLine{kAdb, {QStringLiteral("shell"), text}, QStringLiteral("adb shell ") + text};
}

QString TADB::shellText(const QString &text, bool wantOutput)
{
    return Run(shellCommandLine(text), wantOutput);
}

QString TADB::Shell(const QString &command, bool wantOutput)
{
    return trimOutput(shellText(command, wantOutput));
}

QString TADB::ShellOnPath(const QString &command, const QString &path, const QString &options, bool wantOutput)
{
    return trimOutput(shellText(withOptions(command, options) + quoteDevicePath(path), wantOutput));
}

QString TADB::ShellOnTwoPaths(const QString &command, const QString &source, const QString &target,
                              const QString &options, bool wantOutput)
{
    return trimOutput(shellText(
        withOptions(command, options) + quoteDevicePath(source) + u' ' + quoteDevicePath(target), wantOutput));
}

QString TADB::List(const QString &path, const QString &options, bool color)
{
    QString opts = options.trimmed();
    if (LsColor)
        opts += color ? QStringLiteral(" --color=always") : QStringLiteral(" --color=never");
    return shellText(withOptions(QStringLiteral("ls"), opts) + quoteDevicePath(path), true);
}

QString TADB::ListFolder(const QString &path, const QString &options)
{
    QString opts = options.trimmed();
    if (LsColor)
        opts += QStringLiteral(" --color=never");
    // ls's complaints go into the same pipe as its rows: on current phones standard error travels
    // apart and a complaint written in pieces could otherwise be split by the end marker.
    return shellText(withOptions(QStringLiteral("ls"), opts) + quoteDevicePath(path) +
                         QStringLiteral(" 2>&1; echo \"[velbrook-end:$?]\""),
                     true);
}

QStringList TADB::ListNames(const QString &path)
{
    return splitLines(shellText(QStringLiteral("ls -a ") + quoteDevicePath(path) + QStringLiteral(" | cat"), true));
}

qsizetype shellTextLimit(const QString &features)
{
    return features.contains(QStringLiteral("shell_v2")) ? 60000 : 4000;
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

QString TADB::CopyFile(const QString &source, const QString &target, const QString &options)
{
    return Shell(copyCommandText(source, target, options, HasCp));
}

bool TADB::MoveFile(const QString &source, const QString &target, const QString &options)
{
    LastOutput = ShellOnTwoPaths(QStringLiteral("mv"), source, target, options);
    return LastOutput.isEmpty();
}

QString TADB::Remove(const QString &path, const QString &options)
{
    return ShellOnPath(QStringLiteral("rm"), path, options);
}

void TADB::RemoveAfterCancel(const QString &path) const
{
    TADB cleanup(*this);
    cleanup.setCancelToken(nullptr);
    cleanup.Remove(path, QString());
}

bool TADB::MakeDir(const QString &path, const QString &options)
{
    LastOutput = ShellOnPath(QStringLiteral("mkdir"), path, options);
    return LastOutput.isEmpty();
}

QString TADB::ReadLink(const QString &path, const QString &options)
{
    LastOutput.clear();
    return ShellOnPath(QStringLiteral("readlink"), path, options);
}

bool TADB::RunScript(const QString &path)
{
    LastOutput = ShellOnPath(QStringLiteral("sh"), path, QString());
    return LastOutput.isEmpty();
}

TDiskFreeInfo TADB::DiskFree(const QString &path, const QString &options)
{
    // adb's own error text parses as no values, so no extra state query is needed.
    const QString output = ShellOnPath(QStringLiteral("df"), path, options);
    LastOutput.clear();
    return parseDiskFree(output, path);
}

QString TADB::Push(const QString &localPath, const QString &devicePath)
{
    return trimOutput(Run(CommandLine{kAdb,
                                      {QStringLiteral("push"), localPath, devicePath},
                                      QStringLiteral("adb push ") + quoted(localPath) + u' ' + quoted(devicePath)},
                          true));
}

QString TADB::Pull(const QString &devicePath, const QString &localPath)
{
    return trimOutput(Run(CommandLine{kAdb,
                                      {QStringLiteral("pull"), devicePath, localPath},
                                      QStringLiteral("adb pull ") + quoted(devicePath) + u' ' + quoted(localPath)},
                          true));
}

namespace {

CommandLine transferManyCommandLine(const QString &verb, const QStringList &sources, const QString &folder)
{
    QString text = QStringLiteral("adb ") + verb;
    for (const QString &path : sources)
        text += u' ' + quoted(path);
    text += u' ' + quoted(folder);
    return CommandLine{kAdb, QStringList{verb} + sources + QStringList{folder}, text};
}

} // namespace

CommandLine pullManyCommandLine(const QStringList &devicePaths, const QString &localFolder)
{
    return transferManyCommandLine(QStringLiteral("pull"), devicePaths, localFolder);
}

CommandLine pushManyCommandLine(const QStringList &localPaths, const QString &deviceFolder)
{
    return transferManyCommandLine(QStringLiteral("push"), localPaths, deviceFolder);
}

QString TADB::runStreaming(const CommandLine &line, const Streaming &streaming, bool lineBuffered)
{
    m_lastCommandLine = line.text;
    RunOptions options = m_options;
    options.onOutput = streaming.onOutput;
    options.onTick = streaming.onTick;
    options.lineBuffered = lineBuffered;
    options.tickMs = 100;
    return m_runner->runWith(line, true, options);
}

QString TADB::PullMany(const QStringList &devicePaths, const QString &localFolder, const Streaming &streaming)
{
    // adb keeps its report lines until it ends unless told otherwise.
    return runStreaming(pullManyCommandLine(devicePaths, localFolder), streaming, true);
}

QString TADB::PushMany(const QStringList &localPaths, const QString &deviceFolder, const Streaming &streaming)
{
    return runStreaming(pushManyCommandLine(localPaths, deviceFolder), streaming, true);
}

QString TADB::ShellStreaming(const QString &command, const Streaming &streaming)
{
    // What the phone prints reaches adb's output as it comes.
    return runStreaming(shellCommandLine(command), streaming, false);
}

qsizetype namedPath(const QString &line, const QStringList &paths)
{
    const QLatin1StringView colon(": ");
    qsizetype best = -1;
    // adb's report starts with the path; only other lines need a search.
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        if ((best < 0 || path.size() > paths.at(best).size()) && line.startsWith(path) &&
            QStringView(line).mid(path.size()).startsWith(colon))
            best = i;
    }
    if (best >= 0)
        return best;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        if (best >= 0 && path.size() <= paths.at(best).size())
            continue;
        bool names = false;
        for (qsizetype at = line.indexOf(path); !names && at > 0; at = line.indexOf(path, at + 1)) {
            const QStringView after = QStringView(line).mid(at + path.size());
            // "rm: <path>: ...", "'<path>'", and the old toolbox's "rm failed for <path>, <reason>".
            names = (line.at(at - 1) == u' ' && after.startsWith(colon)) ||
                    (line.at(at - 1) == u'\'' && after.startsWith(u'\'')) ||
                    (QStringView(line).left(at).endsWith(u"failed for ") && after.startsWith(u", "));
        }
        if (names)
            best = i;
    }
    return best;
}

QString rowMarkerCommand(int row)
{
    return QStringLiteral("echo \"[velbrook-row:") + QString::number(row) + QStringLiteral(":$?]\"");
}

std::optional<RowMarker> readRowMarker(const QString &line)
{
    static const QRegularExpression marker(QStringLiteral("\\[velbrook-row:(\\d+):(\\d+)\\]$"));
    const QRegularExpressionMatch match = marker.match(line);
    if (!match.hasMatch())
        return std::nullopt;
    // A complaint without a final line break runs into the marker.
    return RowMarker{line.left(match.capturedStart()), match.captured(1).toInt(), match.captured(2).toInt()};
}

bool isAdbError(QStringView line)
{
    const QStringView text = line.trimmed();
    if (text.startsWith(u"adb: "))
        return !text.startsWith(u"adb: warning:");
    return text.startsWith(u"error: ") || text.startsWith(u"- waiting for ");
}

bool transferFailed(const QString &adbOutput)
{
    if (trimOutput(adbOutput) == QStringLiteral("error"))
        return true;
    // A transferred file's own name never starts a line: adb names it with the whole path it was given.
    for (const QString &line : splitLines(adbOutput)) {
        const QStringView text = QStringView(line).trimmed();
        if (isAdbError(text) || text.startsWith(u"failed to ") || text.startsWith(u"remote object ") ||
            text.startsWith(u"cannot stat "))
            return true;
    }
    return false;
}

bool PulledWhole(const QString &adbOutput, const QString &localFile, const QString &expectedSize)
{
    const QFileInfo info(localFile);
    if (!info.exists() || transferFailed(adbOutput))
        return false;
    bool numeric = false;
    const qint64 expected = expectedSize.toLongLong(&numeric);
    return !numeric || info.size() == expected;
}

QString TADB::ExecOutToFile(const QString &command, const QString &localPath)
{
    const CommandLine line{kAdb, {QStringLiteral("exec-out"), command}, QStringLiteral("adb exec-out ") + command};
    m_lastCommandLine = line.text;
    RunOptions options = m_options;
    options.stdoutFile = localPath;
    return trimOutput(m_runner->runWith(line, true, options));
}

QString TADB::Install(const QString &apkPath, const QString &options)
{
    QStringList args{QStringLiteral("install")};
    args += options.split(u' ', Qt::SkipEmptyParts);
    args += apkPath;
    return trimOutput(
        Run(CommandLine{kAdb, args, withOptions(QStringLiteral("adb install"), options) + quoted(apkPath)}, true));
}

QString TADB::InstallMultiple(const QStringList &apks, const QString &options)
{
    QStringList args{QStringLiteral("install-multiple")};
    args += options.split(u' ', Qt::SkipEmptyParts);
    args += apks;
    QStringList paths;
    for (const QString &apk : apks)
        paths << quoted(apk);
    return trimOutput(
        Run(CommandLine{kAdb, args, withOptions(QStringLiteral("adb install-multiple"), options) + paths.join(u' ')},
            true));
}

QString TADB::Uninstall(const QString &package, bool keepData)
{
    // Current adb clients refuse "uninstall -k" without asking the phone; its package manager still keeps data.
    if (keepData)
        return Shell(QStringLiteral("pm uninstall -k ") + quoteDevicePath(package));
    return trimOutput(Run(
        CommandLine{kAdb, {QStringLiteral("uninstall"), package}, QStringLiteral("adb uninstall ") + quoted(package)},
        true));
}

QString TADB::uninstallForCurrentUser(const QString &package, bool keepData)
{
    return Shell(QStringLiteral("pm uninstall ") + (keepData ? QStringLiteral("-k ") : QString()) +
                 QStringLiteral("--user 0 ") + quoteDevicePath(package));
}

void TADB::Remount()
{
    adb({QStringLiteral("remount")}, true);
}

bool TADB::AdbAvailable()
{
    return adb({}, true) != QStringLiteral("error");
}

bool isNetworkHost(const QString &host)
{
    static const QRegularExpression pattern(
        QStringLiteral("^(?:[A-Za-z0-9][A-Za-z0-9.-]*|\\[[0-9A-Fa-f:.]+\\]|[0-9A-Fa-f.]*:[0-9A-Fa-f:.]*)$"));
    return host.size() <= 253 && pattern.match(host).hasMatch();
}

QString TADB::Connect(const QString &host, int port)
{
    // IPv6 addresses go in brackets, or adb would take their last group for the port.
    const QString address = host.contains(u':') && !host.startsWith(u'[') ? u'[' + host + u']' : host;
    return trimOutput(adb({QStringLiteral("connect"), address + u':' + QString::number(port)}, true));
}

void TADB::StartServer()
{
    adb({QStringLiteral("start-server")}, false);
}

bool TADB::DevicePresent()
{
    return judgeDevices(Devices(), chosenDeviceSerial()).situation == DeviceSituation::Ready;
}

QString TADB::DeviceSerial()
{
    const DeviceVerdict verdict = judgeDevices(Devices(), chosenDeviceSerial());
    return verdict.situation == DeviceSituation::Ready ? verdict.device.serial : QString();
}

QList<AdbDevice> TADB::Devices(bool details)
{
    return parseDeviceList(details ? adb({QStringLiteral("devices"), QStringLiteral("-l")}, true)
                                   : adb({QStringLiteral("devices")}, true));
}

void TADB::DropUnlistedChoice()
{
    const QString chosen = chosenDeviceSerial();
    if (chosen.isEmpty())
        return;
    const QList<AdbDevice> devices = Devices();
    const bool listed =
        std::any_of(devices.begin(), devices.end(), [&](const AdbDevice &device) { return device.serial == chosen; });
    if (!listed)
        setChosenDeviceSerial(QString());
}

DeviceState TADB::GetState()
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

bool TADB::HasRoot()
{
    const QString listing = trimOutput(List(QStringLiteral("/data"), QString(), false));
    // Old toolbox says "opendir failed, ..."; toybox and busybox say "ls: /data: Permission denied".
    if (listing == QStringLiteral("opendir failed, Permission denied") || unanswered(listing))
        return false;
    return !(listing.startsWith(QStringLiteral("ls: ")) && listing.endsWith(QStringLiteral("Permission denied")));
}

bool TADB::DetectBusybox()
{
    const QString out = Shell(QStringLiteral("busybox"), true);
    // Newer shells name themselves first ("sh: busybox: not found", "...: inaccessible or not found").
    HasBusybox =
        !(out == QStringLiteral("busybox: not found") || out.endsWith(QStringLiteral(": busybox: not found")) ||
          out.endsWith(QStringLiteral("busybox: inaccessible or not found")) || unanswered(out));
    HasCp = HasBusybox;
    return HasBusybox;
}

bool TADB::DetectCp()
{
    // Old toolboxes had no cp; toybox and BusyBox answer with their usage.
    const QString out = Shell(QStringLiteral("cp"), true);
    HasCp = HasBusybox || !(out.isEmpty() || unanswered(out) || out.endsWith(QStringLiteral("not found")));
    return HasCp;
}

bool TADB::DetectReadlink()
{
    // "/" is no link: a readlink that exists prints nothing; a missing one makes the shell complain.
    const QString out = Shell(QStringLiteral("readlink /"), true);
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

bool TADB::DetectLsOptions()
{
    const QString color = Shell(QStringLiteral("ls --color=never"), true);
    LsColor =
        !refusesOption(color, QStringLiteral("ls: Unknown option '--'. Aborting."),
                       QStringLiteral("--color=never: No such file or directory"), QStringLiteral("--color=never"));
    const QString e = Shell(QStringLiteral("ls -e"), true);
    return !refusesOption(e, QStringLiteral("ls: Unknown option '-e'. Aborting."),
                          QStringLiteral("-e: No such file or directory"), QStringLiteral("-e"));
}

AppStorageType TADB::DetectAppsStorage()
{
    AppStorageType result = PathExists(QStringLiteral("/mnt")) ? AppStorageType::Asec : AppStorageType::Internal;
    if (PathExists(QStringLiteral("/system/sd")) && !PathExists(QStringLiteral("/system/sd/placeholder")))
        result = AppStorageType::SystemSd;
    if (PathExists(QStringLiteral("/sd-ext")) && !PathExists(QStringLiteral("/sd-ext/placeholder")))
        result = AppStorageType::SdExt;
    return result;
}

QString TADB::Features()
{
    return trimOutput(adb({QStringLiteral("features")}, true));
}

bool TADB::PathExists(const QString &path)
{
    // Whole names only: a name that merely stands inside another name or a link's target is not there.
    return ListNames(ParentDir(path)).contains(BaseName(path));
}

QString TADB::ParentDir(const QString &path)
{
    if (path.isEmpty() || path == QStringLiteral("/"))
        return path;
    const qsizetype slash = path.lastIndexOf(u'/', path.size() - 2);
    return slash < 0 ? QStringLiteral("/") : path.left(slash + 1);
}

QString TADB::BaseName(const QString &path)
{
    if (path.isEmpty() || path == QStringLiteral("/"))
        return QString();
    const QString p = path.endsWith(u'/') ? path.left(path.size() - 1) : path;
    return p.mid(p.lastIndexOf(u'/') + 1);
}

bool TADB::IsNumber(QStringView text)
{
    return isDigits(text);
}
