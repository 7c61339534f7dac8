#include "transfers/batchrows.h"

#include "bridge/adbutils.h"

#include <QDir>
#include <QFileInfo>

QString deleteLine(const ListItem &item)
{
    return (isFolder(item) ? QStringLiteral("Deleting directory: ") : QStringLiteral("Deleting file: ")) +
           escapeControls(itemName(item));
}

QString pullLine(const ListItem &item)
{
    return (isFolder(item) ? QStringLiteral("Pulling directory: ") : QStringLiteral("Pulling file: ")) +
           escapeControls(entryName(item));
}

QString copyLine(bool isDir, const QString &name)
{
    return (isDir ? QStringLiteral("Copying directory: ") : QStringLiteral("Copying file: ")) + name;
}

QString copyItemLine(const ListItem &item)
{
    return copyLine(isFolder(item), escapeControls(entryName(item)));
}

QString pcPath(const QString &folder, const QString &name)
{
    if (folder.endsWith(u'/') || folder.endsWith(QDir::separator()))
        return folder + name;
    return folder + u'/' + name;
}

BatchRow phoneRow(int k, const ListItem &item, const QString &header, const QString &directory)
{
    BatchRow row;
    row.k = k;
    row.header = header;
    row.isDir = isFolder(item);
    row.source = directory + entryName(item);
    bool numeric = false;
    const qint64 size = item.sizeText.toLongLong(&numeric);
    row.sizeKnown = item.kind == ItemKind::File && numeric;
    row.size = row.sizeKnown ? size : 0;
    return row;
}

BatchRow pushRow(int k, const QString &local, const QString &header, const QString &destination)
{
    const QFileInfo info(local);
    BatchRow row;
    row.k = k;
    row.header = header;
    row.source = local;
    row.isDir = info.isDir();
    row.target = destination + info.fileName();
    row.grouped = info.isFile() && BatchRunner::nameable(info.fileName());
    row.size = info.isFile() ? info.size() : 0;
    row.sizeKnown = info.isFile();
    // Named in full: pushed to a folder that does not exist yet, the file would take the folder's name.
    if (row.isDir)
        row.target += u'/';
    return row;
}

QList<BatchRow> pushedPathRows(const QStringList &paths, const QString &destination)
{
    QList<BatchRow> rows;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        const QString verb = info.isDir() ? QStringLiteral("Pushing directory: ") : QStringLiteral("Pushing file: ");
        rows << pushRow(int(rows.size()) + 1, path, verb + info.fileName(), destination);
    }
    return rows;
}

QList<BatchRow> pcCopyRows(const QList<ListItem> &items, const QString &folder, const QString &destination,
                           const RowHeader &header)
{
    QList<BatchRow> rows;
    for (const ListItem &item : items) {
        BatchRow row = pushRow(int(rows.size()) + 1, pcPath(folder, entryName(item)), header(item), destination);
        if (row.isDir)
            row.target.chop(1);
        rows << row;
    }
    return rows;
}

QList<BatchRow> pullRows(const QList<ListItem> &items, const QString &directory, const QString &folder,
                         const RowHeader &header)
{
    QList<BatchRow> rows;
    for (const ListItem &item : items) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, header(item), directory);
        row.target = pcPath(folder, entryName(item));
        // Folders and links run as groups of their own: what adb makes of them is not one line per row.
        row.grouped = item.kind == ItemKind::File && BatchRunner::nameable(entryName(item));
        rows << row;
    }
    return rows;
}

QList<BatchRow> deleteRows(const QList<ListItem> &items, const QString &directory)
{
    QList<BatchRow> rows;
    for (const ListItem &item : items) {
        BatchRow row = phoneRow(int(rows.size()) + 1, item, deleteLine(item), directory);
        row.size = 0;
        row.grouped = true;
        rows << row;
    }
    return rows;
}

qint64 totalBytes(const QList<BatchRow> &rows)
{
    qint64 total = 0;
    for (const BatchRow &row : rows)
        total += row.size;
    return total;
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

RowStep targetStep(bool exists, bool targetIsFolder, bool sourceIsFolder, const QString &target,
                   ReplaceQuestion &replace)
{
    if (!exists)
        return RowStep::Write;
    if (targetIsFolder != sourceIsFolder)
        return RowStep::KindClash;
    return stepFor(replace.decide(target));
}

void decideOnPc(QList<BatchRow> &rows, ReplaceQuestion &replace)
{
    for (BatchRow &row : rows) {
        const QFileInfo target(row.target);
        row.existed = target.exists() || target.isSymLink();
        row.step = targetStep(row.existed, target.isDir(), row.isDir, row.target, replace);
        if (row.step == RowStep::Stop)
            return;
    }
}

void decideOnPhone(QList<BatchRow> &rows, const QString &destination, const QHash<QString, ItemKind> &onPhone,
                   ReplaceQuestion &replace)
{
    for (BatchRow &row : rows) {
        const QString name = AdbClient::baseName(row.target);
        const auto found = onPhone.constFind(name);
        row.existed = found != onPhone.cend();
        row.step =
            targetStep(row.existed, row.existed && *found == ItemKind::Folder, row.isDir, destination + name, replace);
        if (row.step == RowStep::Stop)
            return;
    }
}
