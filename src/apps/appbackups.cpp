#include "appsui/appbackups.h"

#include "apps/apkarchive.h"
#include "apps/appbackup.h"
#include "apps/applisting.h"
#include "apps/appsloader.h"
#include "apps/badging.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/safefile.h"
#include "bridge/adbutils.h"
#include "transfers/operation.h"
#include "bridge/listingparser.h"
#include "transfers/staging.h"

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

const QString kComplete = QStringLiteral("Backup complete");

QString joined(const QString &lines, const QString &more)
{
    return lines.isEmpty() ? more : lines + u'\n' + more;
}

RowStep stepFor(ReplaceQuestion::Decision decision)
{
    switch (decision) {
    case ReplaceQuestion::Decision::Write:
        return RowStep::Write;
    case ReplaceQuestion::Decision::Skip:
        return RowStep::Skip;
    case ReplaceQuestion::Decision::Stop:
        break;
    }
    return RowStep::Stop;
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

AppBackups::AppBackups(TADB &adb, Operation &op, OperationLog &log)
    : m_adb(adb), m_op(op), m_log(log), m_limits(adb), m_phoneFileSize(adb), m_transfers(adb, op)
{
}

void AppBackups::run(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone, bool counter)
{
    m_packages.clear();
    m_taken.clear();
    m_markers = 0;
    m_replace.emplace(m_log.questionParent(), rows.size() > 1);
    QList<BatchRow> batch = gather(loader, rows, folder, toPhone);
    qint64 bytes = 0;
    for (const BatchRow &row : batch)
        bytes += row.size;
    m_op.setTotals(int(batch.size()), bytes);
    if (toPhone) {
        runOnPhone(batch, folder, counter);
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
        row.sizeKnown = numeric;
        if (toPhone && !package.parts.isEmpty())
            row.target = folder + AppCatalogueKey(item);
        // A row whose parts the phone does not name fails alone.
        row.grouped = !package.parts.isEmpty();
        QSet<QString> names;
        for (int i = 0; i < package.parts.size(); ++i) {
            const QString &part = package.parts.at(i);
            if (toPhone) {
                // The parts of a split package keep their own names beside the base.
                package.targets << folder + (i == 0 ? AppCatalogueKey(item)
                                                    : PackageOfAppName(item.Name) + u'-' + part.section(u'/', -1));
                package.copies << package.targets.last();
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
    command.alone = [this, folder](BatchRow &row) { return pullAlone(row, folder); };
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
        output = joined(output, answer);
        if (!PulledWhole(answer, package.staged.at(i), package.parts.size() == 1 ? package.row.SizeText : QString())) {
            fail(row, output);
            removeFiles(package.staged);
            return;
        }
    }
    store(row, package.staged, folder, output);
    removeFiles(package.staged);
}

bool AppBackups::pullAlone(BatchRow &row, const QString &folder)
{
    const Package &package = m_packages.at(row.tag);
    QStringList locals;
    QString output;
    bool ok = !package.parts.isEmpty();
    for (const QString &part : package.parts) {
        const QString local = tempFile(QStringLiteral(".apk"));
        locals << local;
        const QString answer = m_adb.Pull(part, local);
        output = joined(output, answer);
        if (m_adb.isCancelled() ||
            !PulledWhole(answer, local, package.parts.size() == 1 ? package.row.SizeText : QString())) {
            ok = false;
            break;
        }
    }
    const bool cancelled = m_adb.isCancelled();
    if (!cancelled && ok)
        store(row, locals, folder, output);
    else if (!cancelled)
        fail(row, output.isEmpty() ? kUnnamed : output);
    removeFiles(locals);
    return cancelled ? m_op.cancelled() : logAlone(row);
}

void AppBackups::store(BatchRow &row, const QStringList &locals, const QString &folder, const QString &output)
{
    const Package &package = m_packages.at(row.tag);
    // aapt reads a file on the PC in a moment; a Cancel leaves what was pulled before it to be finished.
    TADB aapt(m_adb);
    aapt.setCancelToken(nullptr);
    QString name = BackupFileName(ReadBadging(aapt, locals.first()));
    if (package.parts.size() > 1)
        name += u's';
    // Two packages of one batch may come to one name: neither takes the other's file.
    name = DistinctFileName(name, m_taken);
    m_taken.insert(FoldedName(name));
    row.target = folder + name;
    const QFileInfo there(row.target);
    row.existed = there.exists() || there.isSymLink();
    if (row.existed) {
        row.step = there.isDir() ? RowStep::KindClash : stepFor(m_replace->decide(row.target));
        if (row.step != RowStep::Write) {
            row.result = QString();
            return;
        }
    }
    QString source = locals.first();
    QString bundle;
    if (package.parts.size() > 1) {
        // A package in parts installs only as a whole: one archive of all its APKs.
        bundle = tempFile(QStringLiteral(".apks"));
        QList<ArchiveEntry> entries;
        const QStringList members = BundleMemberNames(package.parts);
        for (int i = 0; i < locals.size(); ++i)
            entries << ArchiveEntry{members.at(i), locals.at(i), {}};
        QString error;
        if (!WriteArchive(bundle, entries, &error)) {
            QFile::remove(bundle);
            fail(row, joined(output, error));
            return;
        }
        source = bundle;
    }
    const FileWriteResult written = copyWholeFile(source, row.target);
    if (!bundle.isEmpty())
        QFile::remove(bundle);
    if (!written.ok) {
        const QString prefix =
            QStringLiteral("Cannot write ") + QDir::toNativeSeparators(row.target) + QStringLiteral(": ");
        fail(row, joined(output, written.error),
             written.error.startsWith(prefix) ? written.error.mid(prefix.size()) : QString());
        return;
    }
    row.arrived = true;
    row.result = output;
}

bool AppBackups::logAlone(const BatchRow &row)
{
    if (row.step != RowStep::Write)
        return logUnwritten(m_op, row);
    m_op.line(*row.result);
    m_op.gap();
    return true;
}

void AppBackups::fail(BatchRow &row, const QString &said, const QString &reason)
{
    row.arrived = false;
    row.result = joined(said, QStringLiteral("Failed"));
    row.reason = reason.isEmpty() ? reasonFor(m_packages.at(row.tag), said) : reason;
}

QString AppBackups::reasonFor(const Package &package, const QString &said) const
{
    // Without root the shell may not read a protected package's file; the listing's mark says it is one.
    if (appState().RootAccess || !package.row.Protected)
        return {};
    const QStringList lines = splitLines(said);
    const bool denied = std::any_of(lines.cbegin(), lines.cend(), [](const QString &line) {
        return trimOutput(line).endsWith(QStringLiteral("Permission denied"));
    });
    return denied ? QStringLiteral("this application is protected; backing it up needs root") : QString();
}

void AppBackups::runOnPhone(QList<BatchRow> &batch, const QString &folder, bool counter)
{
    m_transfers.cleanUpLeftovers();
    decideOnPhone(batch, folder);
    PhoneStage stage(m_adb, m_limits.shell());
    const bool writes =
        std::any_of(batch.cbegin(), batch.cend(), [](const BatchRow &row) { return row.step == RowStep::Write; });
    const bool staged = writes && m_transfers.prepareStage(stage, folder);
    for (BatchRow &row : batch) {
        if (row.step != RowStep::Write)
            continue;
        Package &package = m_packages[row.tag];
        if (staged) {
            for (int i = 0; i < package.targets.size(); ++i)
                package.copies[i] = stage.path() + TADB::BaseName(package.targets.at(i));
        } else if (row.existed) {
            // Without a stage only new files are written, straight to their place.
            row.step = RowStep::Refused;
            row.result = QStringLiteral("Cannot stage the copy in ") + folder + QStringLiteral(": ") +
                         stage.errorString() + QStringLiteral(". ") + EscapeControls(row.target) +
                         QStringLiteral(" is not replaced. Failed");
            row.reason = QStringLiteral("the copy could not be staged beside the file it would replace");
        }
    }
    BatchRunner(m_op).run(batch, int(batch.size()), phoneCommand(folder, stage), counter);
    m_transfers.dropStage(stage);
}

void AppBackups::decideOnPhone(QList<BatchRow> &batch, const QString &folder)
{
    QStringList names;
    for (const Package &package : std::as_const(m_packages)) {
        for (const QString &target : package.targets)
            names << TADB::BaseName(target);
    }
    if (names.isEmpty())
        return;
    const QHash<QString, ItemKind> there = m_transfers.phoneEntries(folder, names);
    for (BatchRow &row : batch) {
        for (const QString &target : m_packages.at(row.tag).targets) {
            const auto found = there.constFind(TADB::BaseName(target));
            if (found == there.cend())
                continue;
            // One question for a package, about the first of its files that is there.
            row.existed = true;
            row.target = target;
            row.step = *found == ItemKind::Folder ? RowStep::KindClash : stepFor(m_replace->decide(target));
            break;
        }
        if (row.step == RowStep::Stop)
            return;
    }
}

GroupCommand AppBackups::phoneCommand(const QString &folder, const PhoneStage &stage)
{
    GroupCommand command;
    command.limit = m_limits.shell();
    command.baseLength = 20;
    command.rowLength = [this](const BatchRow &row) {
        const Package &package = m_packages.at(row.tag);
        qsizetype length = 0;
        for (int i = 0; i < package.parts.size(); ++i)
            length += copyCommandText(package.parts.at(i), package.copies.at(i), QString(), m_adb.HasCp).size() + 40;
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
                text += copyCommandText(package.parts.at(i), package.copies.at(i), QString(), m_adb.HasCp) +
                        QStringLiteral("; ") + rowMarkerCommand(m_markers++) + QStringLiteral("; ");
            }
        }
        return m_adb.ShellStreaming(text, streaming);
    };
    command.readLine = [this](const QList<BatchRow *> &members, const QString &line) { readCopied(members, line); };
    command.finish = [](const QList<BatchRow *> &) {};
    command.confirm = [this, folder, &stage](const QList<BatchRow *> &members) {
        confirmOnPhone(members, folder, stage);
    };
    command.partialBytes = [this](const BatchRow &row) {
        const Package &package = m_packages.at(row.tag);
        if (package.copies.isEmpty())
            return qint64(-1);
        return m_phoneFileSize(package.copies.at(std::min(package.done, int(package.copies.size()) - 1)));
    };
    command.undoPartial = [this, &stage](const BatchRow &row) {
        const Package &package = m_packages.at(row.tag);
        // A copy in the stage goes with it.
        if (package.marker >= 0 && !stage.isMade())
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
    // Whether it arrived is for the phone's listing to say.
    row.result = package.copied;
}

void AppBackups::confirmOnPhone(const QList<BatchRow *> &rows, const QString &folder, const PhoneStage &stage)
{
    const std::optional<QHash<QString, ListItem>> there = m_transfers.listedArrivals(stage, folder);
    const bool shortListing = appState().ShortListing;
    TADB probe(m_adb);
    probe.setCancelToken(nullptr);
    QList<std::pair<int, QString>> moves;
    QList<BatchRow *> moving;
    for (BatchRow *row : rows) {
        const Package &package = m_packages.at(row->tag);
        if (package.parts.isEmpty()) {
            fail(*row, kUnnamed);
            continue;
        }
        if (!trimOutput(*row->result).isEmpty()) {
            fail(*row, trimOutput(*row->result));
            continue;
        }
        QString verdict;
        for (int i = 0; i < package.parts.size() && verdict.isEmpty(); ++i) {
            if (!there) {
                verdict = QStringLiteral("The phone did not answer, so whether it arrived is not known.");
                break;
            }
            const auto entry = there->constFind(TADB::BaseName(package.copies.at(i)));
            if (entry == there->cend()) {
                verdict = QStringLiteral("Nothing arrived.");
                continue;
            }
            // The listing's size of a single APK; the phone is asked for each part of a split package.
            const qint64 expected = package.parts.size() == 1 && row->sizeKnown
                                        ? row->size
                                        : ListedFileSize(probe, package.parts.at(i), shortListing);
            bool numeric = false;
            const qint64 size = entry->SizeText.toLongLong(&numeric);
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
        if (!stage.isMade()) {
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
    const QHash<int, MarkedResult> moved = runMarked(m_adb, m_limits.shell(), moves);
    for (BatchRow *row : std::as_const(moving)) {
        const MarkedResult result = moved.value(row->k);
        if (result.status == 0) {
            row->arrived = true;
            row->result = kComplete;
            continue;
        }
        const QString why = result.status ? QStringLiteral("It arrived but could not be put in place. Failed")
                                          : QStringLiteral("The phone did not answer after it arrived. Failed");
        row->arrived = false;
        row->result = (result.lines + QStringList{why}).join(u'\n');
    }
}

void AppBackups::removeCopies(const Package &package, int parts)
{
    // A backup cut short is of no use.
    for (int i = 0; i < parts; ++i)
        m_adb.RemoveAfterCancel(package.copies.at(i));
}
