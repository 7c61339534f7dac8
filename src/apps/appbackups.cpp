#include "apps/appbackups.h"

#include "apps/apkarchive.h"
#include "apps/appbackup.h"
#include "apps/applisting.h"
#include "apps/appsloader.h"
#include "apps/backupcommands.h"
#include "apps/badging.h"
#include "base/appstate.h"
#include "base/operationlog.h"
#include "base/safefile.h"
#include "bridge/adbutils.h"
#include "transfers/operation.h"
#include "bridge/listingparser.h"
#include "transfers/filecommands.h"
#include "transfers/staging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

AppBackups::AppBackups(AdbClient &adb, Operation &op, OperationLog &log)
    : m_adb(adb), m_op(op), m_log(log), m_limits(adb), m_phoneFileSize(adb), m_transfers(adb, op)
{
}

QString AppBackups::joined(const QString &lines, const QString &more)
{
    return lines.isEmpty() ? more : lines + u'\n' + more;
}

QString AppBackups::tempFile(const QString &suffix)
{
    static int counter = 0;
    return temporaryFolder() +
           QStringLiteral("/app-%1-%2%3").arg(QCoreApplication::applicationPid()).arg(++counter).arg(suffix);
}

QString AppBackups::unnamedParts()
{
    return QStringLiteral("The phone did not name the package's files");
}

void AppBackups::run(AppsLoader &loader, const QList<ListItem> &rows, const QString &folder, bool toPhone, bool counter)
{
    m_packages.clear();
    m_taken.clear();
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
    const QTemporaryDir staging(temporaryFolder() + QStringLiteral("/backup-XXXXXX"));
    if (!staging.isValid()) {
        for (BatchRow &row : batch)
            row.grouped = false;
    }
    BackupPullCommand command(*this, folder, staging.path());
    BatchRunner(m_op).run(batch, int(batch.size()), command, counter);
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
        row.header = QStringLiteral("Backing up app: ") + item.name;
        row.tag = int(m_packages.size());
        bool numeric = false;
        const qint64 size = item.sizeText.toLongLong(&numeric);
        row.size = numeric ? size : 0;
        row.sizeKnown = numeric;
        if (toPhone && !package.parts.isEmpty())
            row.target = folder + appCatalogueKey(item);
        // A row whose parts the phone does not name fails alone.
        row.grouped = !package.parts.isEmpty();
        QSet<QString> names;
        for (int i = 0; i < package.parts.size(); ++i) {
            const QString &part = package.parts.at(i);
            if (toPhone) {
                // The parts of a split package keep their own names beside the base.
                package.targets << folder + (i == 0 ? appCatalogueKey(item)
                                                    : packageOfAppName(item.name) + u'-' + part.section(u'/', -1));
                package.copies << package.targets.last();
                continue;
            }
            // A grouped pull puts the parts side by side under their own names.
            row.grouped = row.grouped && BatchRunner::nameable(part) && !names.contains(BackupPullCommand::stagedName(part));
            names.insert(BackupPullCommand::stagedName(part));
        }
        m_packages << package;
        batch << row;
    }
    return batch;
}

void AppBackups::store(BatchRow &row, const QStringList &locals, const QString &folder, const QString &output)
{
    const Package &package = m_packages.at(row.tag);
    // aapt reads a file on the PC in a moment; a Cancel leaves what was pulled before it to be finished.
    AdbClient aapt(m_adb);
    aapt.setCancelToken(nullptr);
    QString name = backupFileName(readBadging(aapt, locals.first()));
    if (package.parts.size() > 1)
        name += u's';
    // Two packages of one batch may come to one name: neither takes the other's file.
    name = distinctFileName(name, m_taken);
    m_taken.insert(foldedName(name));
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
        const QStringList members = bundleMemberNames(package.parts);
        for (int i = 0; i < locals.size(); ++i)
            entries << ArchiveEntry{members.at(i), locals.at(i), {}};
        QString error;
        if (!writeArchive(bundle, entries, &error)) {
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
    if (appState().rootAccess || !package.row.isProtected)
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
    const bool staged = m_transfers.prepareStageFor(stage, batch, folder);
    for (BatchRow &row : batch) {
        if (row.step != RowStep::Write)
            continue;
        Package &package = m_packages[row.tag];
        if (staged) {
            for (int i = 0; i < package.targets.size(); ++i)
                package.copies[i] = stage.path() + AdbClient::baseName(package.targets.at(i));
        } else if (row.existed) {
            refuseUnstaged(row, QStringLiteral("the copy"), folder, stage);
        }
    }
    BackupCopyCommand command(*this, folder, stage);
    BatchRunner(m_op).run(batch, int(batch.size()), command, counter);
    m_transfers.dropStage(stage);
}

void AppBackups::decideOnPhone(QList<BatchRow> &batch, const QString &folder)
{
    QStringList names;
    for (const Package &package : std::as_const(m_packages)) {
        for (const QString &target : package.targets)
            names << AdbClient::baseName(target);
    }
    if (names.isEmpty())
        return;
    const QHash<QString, ItemKind> there = m_transfers.phoneEntries(folder, names);
    for (BatchRow &row : batch) {
        for (const QString &target : m_packages.at(row.tag).targets) {
            const auto found = there.constFind(AdbClient::baseName(target));
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
