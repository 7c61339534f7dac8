#include "device/console.h"

#include "base/appstate.h"
#include "bridge/adbutils.h"
#include "bridge/listingparser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSaveFile>

#include <utility>

namespace {

bool isBlank(QChar c)
{
    // What trimOutput removes: blanks and control characters, line breaks included.
    return c.unicode() <= 32;
}

} // namespace

QString pushedScriptProblem(AdbClient &adb, const QString &pushOutput, const QString &localFile,
                            const QString &devicePath, bool shortListing)
{
    const QString said = trimOutput(pushOutput);
    if (transferFailed(pushOutput))
        return said;
    const qint64 expected = QFileInfo(localFile).size();
    const qint64 onPhone = listedFileSize(adb, devicePath, shortListing);
    if (onPhone == expected)
        return QString();
    const QString why = onPhone < 0 ? QString(devicePath + QStringLiteral(" is not on the phone"))
                                    : QString(devicePath + QStringLiteral(" has ") + QString::number(onPhone) +
                                              QStringLiteral(" bytes of ") + QString::number(expected));
    return said.isEmpty() ? why : said + u'\n' + why;
}

PushedScript pushScript(AdbClient &adb, const QString &localFile, bool shortListing)
{
    PushedScript result;
    for (const QString &folder : kScriptFolders) {
        // A random name, checked all the same: the script must not replace anything it finds there.
        QString path;
        for (int attempt = 0; attempt < 4 && path.isEmpty(); ++attempt) {
            const QString candidate =
                folder + QStringLiteral("velbrook-%1.sh")
                             .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
            if (listedFileSize(adb, candidate, shortListing) < 0 && !adb.pathExists(candidate))
                path = candidate;
        }
        if (path.isEmpty()) {
            result.problems << folder + QStringLiteral(": no free name");
            continue;
        }
        const QString pushed = adb.pushFile(localFile, path);
        const QString problem = pushedScriptProblem(adb, pushed, localFile, path, shortListing);
        if (problem.isEmpty()) {
            result.path = path;
            return result;
        }
        // Whatever arrived under the script's own name goes: nothing of the user's has it.
        adb.runShell(QStringLiteral("rm ") + quoteDevicePath(path), false);
        result.problems << problem;
    }
    return result;
}

CommandLine consoleCommandLine(const QString &command)
{
    return shellCommandLine(command.startsWith(u'-') ? u' ' + command : command);
}

QString consoleShellText(const QString &command, const QString &folder)
{
    // toolbox's id has no -u: its "uid=N(name)" is read instead. The braces keep the user's own
    // && and || together under the cd.
    const QString state =
        QStringLiteral("\necho \"") + QLatin1String(kShellStateMarker) + QStringLiteral("$(id)|$PWD]\"");
    if (folder.isEmpty())
        return command + state;
    return QStringLiteral("cd ") + quoteDevicePath(folder) + QStringLiteral(" && {\n") + command +
           QStringLiteral("\n}") + state;
}

std::optional<ShellState> parseShellState(const QString &line)
{
    static const QRegularExpression uid(QStringLiteral("uid=(\\d+)"));
    const QString marker = QLatin1String(kShellStateMarker);
    QString text = line.trimmed();
    if (!text.startsWith(marker) || !text.endsWith(u']'))
        return std::nullopt;
    text = text.mid(marker.size(), text.size() - marker.size() - 1);
    const qsizetype bar = text.indexOf(u'|');
    const QRegularExpressionMatch id = uid.match(text.left(bar));
    if (bar < 0 || !id.hasMatch() || !text.mid(bar + 1).startsWith(u'/'))
        return std::nullopt;
    return ShellState{id.captured(1) == QStringLiteral("0"), text.mid(bar + 1)};
}

void CommandHistory::load(const QString &file)
{
    m_file = file;
    m_entries.clear();
    QFile in(file);
    if (in.open(QIODevice::ReadOnly)) {
        for (const QString &line : splitLines(QString::fromUtf8(in.readAll()))) {
            if (!line.trimmed().isEmpty())
                m_entries << line;
        }
    }
    if (m_entries.size() > kLimit)
        m_entries.remove(0, m_entries.size() - kLimit);
    resetWalk();
}

void CommandHistory::add(const QString &command)
{
    if (command.trimmed().isEmpty())
        return;
    if (m_entries.isEmpty() || m_entries.constLast() != command) {
        m_entries << command;
        if (m_entries.size() > kLimit)
            m_entries.removeFirst();
        save();
    }
    resetWalk();
}

QString CommandHistory::up(const QString &typed)
{
    if (m_position == m_entries.size())
        m_draft = typed;
    if (m_position > 0)
        --m_position;
    return m_position < m_entries.size() ? m_entries.at(m_position) : typed;
}

QString CommandHistory::down(const QString &typed)
{
    if (m_position >= m_entries.size())
        return typed;
    ++m_position;
    return m_position == m_entries.size() ? m_draft : m_entries.at(m_position);
}

void CommandHistory::resetWalk()
{
    m_position = m_entries.size();
    m_draft.clear();
}

void CommandHistory::save() const
{
    if (m_file.isEmpty())
        return;
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    QByteArray bytes;
    for (const QString &entry : m_entries) {
        // One command a line: a pasted command with line breaks lives in this run only.
        if (entry.contains(u'\n') || entry.contains(u'\r'))
            continue;
        bytes += entry.toUtf8() + '\n';
    }
    out.write(bytes);
    out.commit();
}

ShellConsole::ShellConsole(std::unique_ptr<ProgramRun> runner, QObject *parent)
    : QObject(parent), m_runner(std::move(runner))
{
    connect(m_runner.get(), &ProgramRun::output, this, &ShellConsole::receive);
    connect(m_runner.get(), &ProgramRun::finished, this, &ShellConsole::finish);
}

bool ShellConsole::send(const QString &command)
{
    if (!run(command))
        return false;
    m_history.add(command);
    return true;
}

bool ShellConsole::run(const QString &command)
{
    if (m_running || command.trimmed().isEmpty())
        return false;
    m_running = true;
    m_seenText = false;
    m_pendingCr = false;
    m_heldBlanks.clear();
    m_tail.clear();
    m_stateLine.clear();
    append((m_transcript.isEmpty() ? QString() : QStringLiteral("\n \n")) + prompt() + command +
           QStringLiteral(" \n \n"));
    emit runningChanged(true);
    m_runner->start(consoleCommandLine(consoleShellText(command, m_folder)));
    return true;
}

QString ShellConsole::prompt() const
{
    const QString sign = m_root.value_or(appState().rootAccess) ? QStringLiteral("# ") : QStringLiteral("$ ");
    return m_folder.isEmpty() ? sign : m_folder + u' ' + sign;
}

void ShellConsole::stop()
{
    if (m_running)
        m_runner->stop();
}

void ShellConsole::append(const QString &text)
{
    m_transcript += text;
    if (m_transcript.size() > kTranscriptLimit) {
        const qsizetype cut = m_transcript.indexOf(u'\n', m_transcript.size() / 2);
        m_transcript.remove(0, cut < 0 ? m_transcript.size() / 2 : cut + 1);
    }
    emit appended(text);
}

void ShellConsole::receive(const QString &chunk)
{
    if (!m_running)
        return;
    // Old phones end lines with CR LF, and the pair may be cut between two chunks.
    QString text = m_pendingCr ? u'\r' + chunk : chunk;
    m_pendingCr = text.endsWith(u'\r');
    if (m_pendingCr)
        text.chop(1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');

    const QString marker = QLatin1String(kShellStateMarker);
    text.prepend(m_tail);
    m_tail.clear();
    if (const qsizetype at = m_stateLine.isEmpty() ? text.indexOf(marker) : -1; at >= 0) {
        if (const qsizetype end = text.indexOf(u'\n', at); end >= 0) {
            m_stateLine = text.mid(at, end - at);
            text.remove(at, end + 1 - at);
        } else {
            m_tail = text.mid(at);
            text.truncate(at);
        }
    } else if (m_stateLine.isEmpty()) {
        for (qsizetype k = qMin(marker.size() - 1, text.size()); k > 0; --k) {
            if (text.endsWith(QStringView(marker).left(k))) {
                m_tail = text.right(k);
                text.chop(k);
                break;
            }
        }
    }
    show(text);
}

void ShellConsole::show(QString text)
{
    if (!m_seenText) {
        qsizetype begin = 0;
        while (begin < text.size() && isBlank(text.at(begin)))
            ++begin;
        if (begin == text.size())
            return;
        text.remove(0, begin);
        m_seenText = true;
    }
    text.prepend(m_heldBlanks);
    qsizetype end = text.size();
    while (end > 0 && isBlank(text.at(end - 1)))
        --end;
    m_heldBlanks = text.mid(end);
    if (end > 0)
        append(text.left(end));
}

void ShellConsole::finish(RunEnd end)
{
    if (!m_running)
        return;
    if (end == RunEnd::NotStarted)
        receive(QStringLiteral("error"));
    if (m_stateLine.isEmpty())
        m_stateLine = std::exchange(m_tail, {});
    if (const std::optional<ShellState> state = parseShellState(m_stateLine)) {
        m_root = state->root;
        m_folder = state->folder;
    } else {
        show(m_stateLine);
    }
    m_stateLine.clear();
    m_running = false;
    m_heldBlanks.clear();
    if (end == RunEnd::Stopped)
        append(u'\n' + QLatin1String(kStoppedLine));
    emit runningChanged(false);
}
