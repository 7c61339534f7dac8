#include "apps/backupcommands.h"

#include "apps/appbackup.h"
#include "apps/appbackups.h"
#include "base/appstate.h"
#include "bridge/adbutils.h"
#include "bridge/listingparser.h"
#include "transfers/filecommands.h"
#include "transfers/operation.h"
#include "transfers/staging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const QString kComplete = QStringLiteral("Backup complete");

void removeFiles(const QStringList &files)
{
    for (const QString &file : files)
        QFile::remove(file);
}

} // namespace

BackupPullCommand::BackupPullCommand(AppBackups &backups, const QString &folder, const QString &staging)
    : m_backups(backups), m_folder(folder), m_staging(staging)
{
}

qsizetype BackupPullCommand::limit() const
{
    return m_backups.m_limits.commandLine();
}

qsizetype BackupPullCommand::baseLength() const
{
    return pullManyCommandLine({}, m_staging).text.size() + 10;
}

qsizetype BackupPullCommand::rowLength(const BatchRow &row) const
{
    qsizetype length = 0;
    for (const QString &part : m_backups.m_packages.at(row.tag).parts)
        length += pullManyCommandLine({part}, {}).text.size() - 8;
    return length;
}

// On current phones every package's base is called base.apk: those pull one package at a time.
bool BackupPullCommand::joins(const QList<BatchRow *> &members, const BatchRow &row) const
{
    QSet<QString> names;
    for (const BatchRow *member : members) {
        for (const QString &part : m_backups.m_packages.at(member->tag).parts)
            names.insert(stagedName(part));
    }
    const QStringList &parts = m_backups.m_packages.at(row.tag).parts;
    return std::none_of(parts.cbegin(), parts.cend(),
                        [&names](const QString &part) { return names.contains(stagedName(part)); });
}

QString BackupPullCommand::run(const QList<BatchRow *> &members, const Streaming &streaming)
{
    // A folder for each group, as a later group may bring the same names.
    const QString into = m_staging + u'/' + QString::number(members.first()->k);
    QDir().mkpath(into);
    m_pulling.clear();
    m_owners.clear();
    m_said = 0;
    for (BatchRow *row : members) {
        AppBackups::Package &package = m_backups.m_packages[row->tag];
        package.staged.clear();
        package.lines = QList<QStringList>(package.parts.size());
        package.settled = QList<bool>(package.parts.size(), false);
        for (int i = 0; i < package.parts.size(); ++i) {
            package.staged << into + u'/' + AdbClient::baseName(package.parts.at(i));
            m_pulling << package.parts.at(i);
            m_owners << std::pair{row, i};
        }
    }
    return m_backups.m_adb.pullMany(m_pulling, into, streaming);
}

void BackupPullCommand::readLine(const QList<BatchRow *> &, const QString &line)
{
    const qsizetype named = namedPath(line, m_pulling);
    if (named < 0)
        return; // adb's summary
    const auto [row, part] = m_owners.at(named);
    AppBackups::Package &package = m_backups.m_packages[row->tag];
    package.lines[part] << line;
    if (BatchRunner::isCountLine(line, m_pulling.at(named)))
        package.settled[part] = true;
    // adb goes through the parts in order: of those before this one it has said all.
    for (; m_said < named; ++m_said) {
        const auto [earlierRow, earlierPart] = m_owners.at(m_said);
        AppBackups::Package &earlier = m_backups.m_packages[earlierRow->tag];
        earlier.settled[earlierPart] = !earlier.lines.at(earlierPart).isEmpty();
        if (earlierRow != row)
            earlierRow->reported = true;
    }
    if (part == package.parts.size() - 1)
        row->reported = true;
}

void BackupPullCommand::finish(const QList<BatchRow *> &)
{
    // Stopped, adb has said all of the parts it counted or went past; ended, of every part it named.
    if (m_backups.m_adb.isCancelled())
        return;
    for (const auto &[row, part] : m_owners) {
        AppBackups::Package &package = m_backups.m_packages[row->tag];
        package.settled[part] = !package.lines.at(part).isEmpty();
    }
}

void BackupPullCommand::complete(BatchRow &row)
{
    AppBackups::Package &package = m_backups.m_packages[row.tag];
    if (package.settled.size() != package.parts.size())
        return; // not in a pull that ran
    QString output;
    for (int i = 0; i < package.parts.size(); ++i) {
        // A part adb said nothing of runs again alone, or is cancelled with its row.
        if (!package.settled.at(i))
            return;
        const QString answer = trimOutput(package.lines.at(i).join(u'\n'));
        output = AppBackups::joined(output, answer);
        if (!pulledWhole(answer, package.staged.at(i), package.parts.size() == 1 ? package.row.sizeText : QString())) {
            m_backups.fail(row, output);
            removeFiles(package.staged);
            return;
        }
    }
    m_backups.store(row, package.staged, m_folder, output);
    removeFiles(package.staged);
}

QString BackupPullCommand::stagedName(const QString &part)
{
    return foldedName(AdbClient::baseName(part));
}

bool BackupPullCommand::runAlone(BatchRow &row)
{
    const AppBackups::Package &package = m_backups.m_packages.at(row.tag);
    AdbClient &adb = m_backups.m_adb;
    QStringList locals;
    QString output;
    bool ok = !package.parts.isEmpty();
    for (const QString &part : package.parts) {
        const QString local = AppBackups::tempFile(QStringLiteral(".apk"));
        locals << local;
        const QString answer = adb.pullFile(part, local);
        output = AppBackups::joined(output, answer);
        if (adb.isCancelled() ||
            !pulledWhole(answer, local, package.parts.size() == 1 ? package.row.sizeText : QString())) {
            ok = false;
            break;
        }
    }
    const bool cancelled = adb.isCancelled();
    if (!cancelled && ok)
        m_backups.store(row, locals, m_folder, output);
    else if (!cancelled)
        m_backups.fail(row, output.isEmpty() ? AppBackups::unnamedParts() : output);
    removeFiles(locals);
    return cancelled ? m_backups.m_op.cancelled() : m_backups.logAlone(row);
}

qint64 BackupPullCommand::partialBytes(const BatchRow &row)
{
    qint64 bytes = 0;
    for (const QString &file : m_backups.m_packages.at(row.tag).staged)
        bytes += QFileInfo(file).size();
    return bytes;
}

void BackupPullCommand::undoPartial(const BatchRow &row)
{
    removeFiles(m_backups.m_packages.at(row.tag).staged);
}

BackupCopyCommand::BackupCopyCommand(AppBackups &backups, const QString &folder, const PhoneStage &stage)
    : m_backups(backups), m_folder(folder), m_stage(stage)
{
}

qsizetype BackupCopyCommand::limit() const
{
    return m_backups.m_limits.shell();
}

qsizetype BackupCopyCommand::rowLength(const BatchRow &row) const
{
    const AppBackups::Package &package = m_backups.m_packages.at(row.tag);
    qsizetype length = 0;
    for (int i = 0; i < package.parts.size(); ++i)
        length +=
            copyCommandText(package.parts.at(i), package.copies.at(i), QString(), m_backups.m_adb.hasCp).size() + 40;
    return length;
}

// Each part's copy followed by a marker of its own; the complaints go into the same pipe, before it.
QString BackupCopyCommand::run(const QList<BatchRow *> &members, const Streaming &streaming)
{
    AdbClient &adb = m_backups.m_adb;
    QString text = QStringLiteral("exec 2>&1; ");
    for (const BatchRow *row : members) {
        AppBackups::Package &package = m_backups.m_packages[row->tag];
        package.marker = m_markers;
        package.done = 0;
        package.pending.clear();
        package.copied.clear();
        for (int i = 0; i < package.parts.size(); ++i) {
            text += copyCommandText(package.parts.at(i), package.copies.at(i), QString(), adb.hasCp) +
                    QStringLiteral("; ") + rowMarkerCommand(m_markers++) + QStringLiteral("; ");
        }
    }
    return adb.runShellStreaming(text, streaming);
}

void BackupCopyCommand::readLine(const QList<BatchRow *> &members, const QString &line)
{
    const auto onItsWay =
        std::find_if(members.cbegin(), members.cend(), [](const BatchRow *row) { return !row->reported; });
    if (onItsWay == members.cend())
        return;
    BatchRow &row = **onItsWay;
    AppBackups::Package &package = m_backups.m_packages[row.tag];
    const std::optional<RowMarker> marker = readRowMarker(line);
    if (!marker) {
        package.pending << line;
        return;
    }
    if (marker->row != package.marker + package.done)
        return; // a marker out of turn: the rows run again alone
    package.pending << marker->before;
    // Each part's complaint as a command of its own would have printed it.
    package.copied += trimOutput(package.pending.join(u'\n'));
    package.pending.clear();
    if (++package.done < package.parts.size())
        return;
    row.reported = true;
    // Whether it arrived is for the phone's listing to say.
    row.result = package.copied;
}

// Checks the copies' sizes on the phone and moves the whole ones over their targets.
void BackupCopyCommand::confirm(const QList<BatchRow *> &rows)
{
    const std::optional<QHash<QString, ListItem>> there = m_backups.m_transfers.listedArrivals(m_stage, m_folder);
    const bool shortListing = appState().shortListing;
    AdbClient probe(m_backups.m_adb);
    probe.setCancelToken(nullptr);
    QList<std::pair<int, QString>> moves;
    QList<BatchRow *> moving;
    for (BatchRow *row : rows) {
        const AppBackups::Package &package = m_backups.m_packages.at(row->tag);
        if (package.parts.isEmpty()) {
            m_backups.fail(*row, AppBackups::unnamedParts());
            continue;
        }
        if (!trimOutput(*row->result).isEmpty()) {
            m_backups.fail(*row, trimOutput(*row->result));
            continue;
        }
        QString verdict;
        for (int i = 0; i < package.parts.size() && verdict.isEmpty(); ++i) {
            if (!there) {
                verdict = QStringLiteral("The phone did not answer, so whether it arrived is not known.");
                break;
            }
            const auto entry = there->constFind(AdbClient::baseName(package.copies.at(i)));
            if (entry == there->cend()) {
                verdict = QStringLiteral("Nothing arrived.");
                continue;
            }
            // The listing's size of a single APK; the phone is asked for each part of a split package.
            const qint64 expected = package.parts.size() == 1 && row->sizeKnown
                                        ? row->size
                                        : listedFileSize(probe, package.parts.at(i), shortListing);
            bool numeric = false;
            const qint64 size = entry->sizeText.toLongLong(&numeric);
            if (!numeric || expected < 0)
                verdict = QStringLiteral("The phone does not show its size.");
            else if (size != expected)
                verdict = QStringLiteral("Only %1 of %2 bytes arrived.").arg(size).arg(expected);
        }
        if (!verdict.isEmpty()) {
            row->arrived = false;
            row->result = verdict + QStringLiteral(" Failed");
            continue;
        }
        if (!m_stage.isMade()) {
            row->arrived = true;
            row->result = kComplete;
            continue;
        }
        for (int i = 0; i < package.parts.size(); ++i)
            moves.append({row->k, PhoneStage::moveCommand(package.copies.at(i), package.targets.at(i))});
        moving << row;
    }
    if (moves.isEmpty())
        return;
    const QHash<int, MarkedResult> moved = runMarked(m_backups.m_adb, m_backups.m_limits.shell(), moves);
    for (BatchRow *row : std::as_const(moving)) {
        const MarkedResult result = moved.value(row->k);
        row->arrived = result.status == 0;
        row->result = *row->arrived ? kComplete : notMovedResult(result);
    }
}

qint64 BackupCopyCommand::partialBytes(const BatchRow &row)
{
    const AppBackups::Package &package = m_backups.m_packages.at(row.tag);
    if (package.copies.isEmpty())
        return qint64(-1);
    return m_backups.m_phoneFileSize(package.copies.at(std::min(package.done, int(package.copies.size()) - 1)));
}

void BackupCopyCommand::undoPartial(const BatchRow &row)
{
    const AppBackups::Package &package = m_backups.m_packages.at(row.tag);
    // A copy in the stage goes with it; a backup cut short in its place is of no use.
    if (package.marker < 0 || m_stage.isMade())
        return;
    const int parts = std::min(package.done + 1, int(package.parts.size()));
    for (int i = 0; i < parts; ++i)
        m_backups.m_adb.removeAfterCancel(package.copies.at(i));
}
