#include "appsui/appbackups.h"

#include "apps/apkarchive.h"
#include "apps/appbackup.h"
#include "apps/applisting.h"
#include "apps/appsloader.h"
#include "apps/badging.h"
#include "base/appstate.h"
#include "bridge/adbutils.h"
#include "bridge/operation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

namespace {

const QString kUnnamed = QStringLiteral("The phone did not name the package's files");

QString tempFile(const QString &suffix)
{
    static int counter = 0;
    QDir().mkpath(appState().TempDir);
    return appState().TempDir +
           QStringLiteral("/app-%1-%2%3").arg(QCoreApplication::applicationPid()).arg(++counter).arg(suffix);
}

void removeFiles(const QStringList &files)
{
    for (const QString &file : files)
        QFile::remove(file);
}

// Replaces `target` with `source` so that the old file stays until the new one is whole.
bool copyReplacing(const QString &source, const QString &target)
{
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(source, part))
        return false;
    QFile::remove(target);
    if (QFile::rename(part, target))
        return true;
    QFile::remove(part);
    return false;
}

QString failed(const QString &lines)
{
    return lines + QStringLiteral("\nFailed");
}

// adb's count of what it pulled of `path`: the last it says of it.
bool isCount(const QString &line, const QString &path)
{
    static const QRegularExpression count(QStringLiteral(": \\d+ files? pulled"));
    return line.startsWith(path) &&
           count
               .match(line, path.size(), QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption)
               .hasMatch();
}

QString stagedName(const QString &part)
{
    return FoldedName(TADB::BaseName(part));
}

} // namespace

AppBackups::AppBackups(TADB &adb, Operation &op) : m_adb(adb), m_op(op), m_limits(adb), m_phoneFileSize(adb) {}

void AppBackups::run(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone, bool counter)
{
    m_packages.clear();
    m_taken.clear();
    m_markers = 0;
    QList<BatchRow> batch = gather(loader, rows, folder, toPhone);
    qint64 bytes = 0;
    for (const BatchRow &row : batch)
        bytes += row.size;
    m_op.setTotals(int(batch.size()), bytes);
    if (toPhone) {
        BatchRunner(m_op).run(batch, int(batch.size()), phoneCommand(), counter);
        return;
    }
    // What the grouped pulls bring goes in here, removed with it on every way out.
    QDir().mkpath(appState().TempDir);
    const QTemporaryDir staging(appState().TempDir + QStringLiteral("/backup-XXXXXX"));
    if (!staging.isValid()) {
        for (BatchRow &row : batch)
            row.grouped = false;
    }
    BatchRunner(m_op).run(batch, int(batch.size()), pcCommand(folder, staging.path()), counter);
}

QList<BatchRow> AppBackups::gather(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone)
{
    QList<BatchRow> batch;
    for (const ListItem &item : rows) {
        Package package;
        package.row = item;
        // After a Cancel the phone is asked nothing more: every row is cancelled.
        if (!m_op.isCancelled())
            package.parts = loader.deviceParts(item);
        BatchRow row;
        row.k = int(batch.size()) + 1;
        row.header = QStringLiteral("Backuping app: ") + item.Name;
        row.tag = int(m_packages.size());
        bool numeric = false;
        const qint64 size = item.SizeText.toLongLong(&numeric);
        row.size = numeric ? size : 0;
        // A row whose parts the phone does not name fails alone.
        row.grouped = !package.parts.isEmpty();
        QSet<QString> names;
        for (int i = 0; i < package.parts.size(); ++i) {
            const QString &part = package.parts.at(i);
            if (toPhone) {
                // The parts of a split package keep their own names beside the base.
                package.targets << folder + (i == 0 ? AppCatalogueKey(item)
                                                    : PackageOfAppName(item.Name) + u'-' + part.section(u'/', -1));
                continue;
            }
            // A grouped pull puts the parts side by side under their own names.
            row.grouped = row.grouped && BatchRunner::nameable(part) && !names.contains(stagedName(part));
            names.insert(stagedName(part));
        }
        m_packages << package;
        batch << row;
    }
    return batch;
}

GroupCommand AppBackups::pcCommand(const QString &folder, const QString &staging)
{
    GroupCommand command;
    command.limit = m_limits.commandLine();
    command.baseLength = pullManyCommandLine({}, staging).text.size() + 10;
    command.rowLength = [this](const BatchRow &row) {
        qsizetype length = 0;
        for (const QString &part : m_packages.at(row.tag).parts)
            length += pullManyCommandLine({part}, {}).text.size() - 8;
        return length;
    };
    // On current phones every package's base is called base.apk: those pull one package at a time.
    command.joins = [this](const QList<BatchRow *> &members, const BatchRow &row) {
        QSet<QString> names;
        for (const BatchRow *member : members) {
            for (const QString &part : m_packages.at(member->tag).parts)
                names.insert(stagedName(part));
        }
        const QStringList &parts = m_packages.at(row.tag).parts;
        return std::none_of(parts.cbegin(), parts.cend(),
                            [&names](const QString &part) { return names.contains(stagedName(part)); });
    };
    command.run = [this, staging](const QList<BatchRow *> &members, const Streaming &streaming) {
        // A folder for each group, as a later group may bring the same names.
        const QString into = staging + u'/' + QString::number(members.first()->k);
        QDir().mkpath(into);
        m_pulling.clear();
        m_owners.clear();
        m_said = 0;
        for (BatchRow *row : members) {
            Package &package = m_packages[row->tag];
            package.staged.clear();
            package.lines = QList<QStringList>(package.parts.size());
            package.settled = QList<bool>(package.parts.size(), false);
            for (int i = 0; i < package.parts.size(); ++i) {
                package.staged << into + u'/' + TADB::BaseName(package.parts.at(i));
                m_pulling << package.parts.at(i);
                m_owners << std::pair{row, i};
            }
        }
        return m_adb.PullMany(m_pulling, into, streaming);
    };
    command.readLine = [this](const QList<BatchRow *> &, const QString &line) { readPulled(line); };
    command.finish = [this](const QList<BatchRow *> &) {
        // Stopped, adb has said all of the parts it counted or went past; ended, of every part it named.
        if (m_adb.isCancelled())
            return;
        for (const auto &[row, part] : m_owners) {
            Package &package = m_packages[row->tag];
            package.settled[part] = !package.lines.at(part).isEmpty();
        }
    };
    command.complete = [this, folder](BatchRow &row) { completePulled(row, folder); };
    command.alone = [this, folder](BatchRow &row) { return logAlone(pullAlone(m_packages[row.tag], folder)); };
    command.partialBytes = [this](const BatchRow &row) {
        qint64 bytes = 0;
        for (const QString &file : m_packages.at(row.tag).staged)
            bytes += QFileInfo(file).size();
        return bytes;
    };
    command.undoPartial = [this](const BatchRow &row) { removeFiles(m_packages.at(row.tag).staged); };
    return command;
}

void AppBackups::readPulled(const QString &line)
{
    const qsizetype named = namedPath(line, m_pulling);
    if (named < 0)
        return; // adb's summary
    const auto [row, part] = m_owners.at(named);
    Package &package = m_packages[row->tag];
    package.lines[part] << line;
    if (isCount(line, m_pulling.at(named)))
        package.settled[part] = true;
    // adb goes through the parts in order: of those before this one it has said all.
    for (; m_said < named; ++m_said) {
        const auto [earlierRow, earlierPart] = m_owners.at(m_said);
        Package &earlier = m_packages[earlierRow->tag];
        earlier.settled[earlierPart] = !earlier.lines.at(earlierPart).isEmpty();
        if (earlierRow != row)
            earlierRow->reported = true;
    }
    if (part == package.parts.size() - 1)
        row->reported = true;
}

void AppBackups::completePulled(BatchRow &row, const QString &folder)
{
    Package &package = m_packages[row.tag];
    if (package.settled.size() != package.parts.size())
        return; // not in a pull that ran
    QString output;
    for (int i = 0; i < package.parts.size(); ++i) {
        // A part adb said nothing of runs again alone, or is cancelled with its row.
        if (!package.settled.at(i))
            return;
        const QString answer = trimOutput(package.lines.at(i).join(u'\n'));
        output += (output.isEmpty() ? QString() : QStringLiteral("\n")) + answer;
        if (!PulledWhole(answer, package.staged.at(i), package.parts.size() == 1 ? package.row.SizeText : QString())) {
            row.result = failed(output);
            removeFiles(package.staged);
            return;
        }
    }
    row.result = store(package, package.staged, folder, output);
    removeFiles(package.staged);
}

std::optional<QString> AppBackups::pullAlone(Package &package, const QString &folder)
{
    QStringList locals;
    QString output;
    bool ok = !package.parts.isEmpty();
    for (const QString &part : package.parts) {
        const QString local = tempFile(QStringLiteral(".apk"));
        locals << local;
        const QString answer = m_adb.Pull(part, local);
        output += (output.isEmpty() ? QString() : QStringLiteral("\n")) + answer;
        if (m_adb.isCancelled() ||
            !PulledWhole(answer, local, package.parts.size() == 1 ? package.row.SizeText : QString())) {
            ok = false;
            break;
        }
    }
    std::optional<QString> lines;
    if (!m_adb.isCancelled())
        lines = ok ? store(package, locals, folder, output) : failed(output.isEmpty() ? kUnnamed : output);
    removeFiles(locals);
    return lines;
}

QString AppBackups::store(const Package &package, const QStringList &locals, const QString &folder,
                          const QString &output)
{
    // aapt reads a file on the PC in a moment; a Cancel leaves what was pulled before it to be finished.
    TADB aapt(m_adb);
    aapt.setCancelToken(nullptr);
    QString name = BackupFileName(ReadBadging(aapt, locals.first()));
    QString source = locals.first();
    QString bundle;
    if (package.parts.size() > 1) {
        // A package in parts installs only as a whole: one archive of all its APKs.
        name += u's';
        bundle = tempFile(QStringLiteral(".apks"));
        QList<ArchiveEntry> entries;
        const QStringList members = BundleMemberNames(package.parts);
        for (int i = 0; i < locals.size(); ++i)
            entries << ArchiveEntry{members.at(i), locals.at(i), {}};
        QString error;
        if (!WriteArchive(bundle, entries, &error)) {
            QFile::remove(bundle);
            return failed(output + u'\n' + error);
        }
        source = bundle;
    }
    name = DistinctFileName(name, m_taken);
    const bool copied = copyReplacing(source, folder + name);
    if (!bundle.isEmpty())
        QFile::remove(bundle);
    if (!copied)
        return failed(output + QStringLiteral("\nCannot write ") + folder + name);
    m_taken.insert(FoldedName(name));
    return output;
}

GroupCommand AppBackups::phoneCommand()
{
    GroupCommand command;
    command.limit = m_limits.shell();
    command.baseLength = 20;
    command.rowLength = [this](const BatchRow &row) {
        const Package &package = m_packages.at(row.tag);
        qsizetype length = 0;
        for (int i = 0; i < package.parts.size(); ++i)
            length += copyCommandText(package.parts.at(i), package.targets.at(i), QString(), m_adb.HasCp).size() + 40;
        return length;
    };
    // Each part's copy followed by a marker of its own; the complaints go into the same pipe, before it.
    command.run = [this](const QList<BatchRow *> &members, const Streaming &streaming) {
        QString text = QStringLiteral("exec 2>&1; ");
        for (const BatchRow *row : members) {
            Package &package = m_packages[row->tag];
            package.marker = m_markers;
            package.done = 0;
            package.pending.clear();
            package.copied.clear();
            for (int i = 0; i < package.parts.size(); ++i) {
                text += copyCommandText(package.parts.at(i), package.targets.at(i), QString(), m_adb.HasCp) +
                        QStringLiteral("; ") + rowMarkerCommand(m_markers++) + QStringLiteral("; ");
            }
        }
        return m_adb.ShellStreaming(text, streaming);
    };
    command.readLine = [this](const QList<BatchRow *> &members, const QString &line) { readCopied(members, line); };
    command.finish = [](const QList<BatchRow *> &) {};
    command.alone = [this](BatchRow &row) { return logAlone(copyAlone(m_packages[row.tag])); };
    command.partialBytes = [this](const BatchRow &row) {
        const Package &package = m_packages.at(row.tag);
        return m_phoneFileSize(package.targets.at(std::min(package.done, int(package.targets.size()) - 1)));
    };
    command.undoPartial = [this](const BatchRow &row) {
        const Package &package = m_packages.at(row.tag);
        if (package.marker >= 0)
            removeCopies(package, std::min(package.done + 1, int(package.parts.size())));
    };
    return command;
}

void AppBackups::readCopied(const QList<BatchRow *> &members, const QString &line)
{
    const auto onItsWay =
        std::find_if(members.cbegin(), members.cend(), [](const BatchRow *row) { return !row->reported; });
    if (onItsWay == members.cend())
        return;
    BatchRow &row = **onItsWay;
    Package &package = m_packages[row.tag];
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
    row.result = package.copied.isEmpty() ? QStringLiteral("Backup complete") : failed(package.copied);
}

std::optional<QString> AppBackups::copyAlone(Package &package)
{
    if (package.parts.isEmpty())
        return failed(kUnnamed);
    QString output;
    for (int i = 0; i < package.parts.size(); ++i) {
        output += m_adb.CopyFile(package.parts.at(i), package.targets.at(i), QString());
        if (m_adb.isCancelled()) {
            removeCopies(package, i + 1);
            return std::nullopt;
        }
    }
    return output.isEmpty() ? QStringLiteral("Backup complete") : failed(output);
}

void AppBackups::removeCopies(const Package &package, int parts)
{
    // A backup cut short is of no use.
    for (int i = 0; i < parts; ++i)
        m_adb.RemoveAfterCancel(package.targets.at(i));
}

bool AppBackups::logAlone(const std::optional<QString> &lines)
{
    if (!lines)
        return m_op.cancelled();
    m_op.line(*lines);
    m_op.gap();
    return true;
}
