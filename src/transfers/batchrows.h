#pragma once

#include "base/prompter.h"
#include "lists/listitem.h"
#include "transfers/batchrunner.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// The rows of the file browser's batches: their first log lines, where they come from and go, and the
// user's answer where a target is there already.

using RowHeader = std::function<QString(const ListItem &)>;

QString deleteLine(const ListItem &item);
QString pullLine(const ListItem &item);
QString copyLine(bool isDir, const QString &name);
QString copyItemLine(const ListItem &item);

// `name` in the PC folder `folder`, whichever separator that ends in.
QString pcPath(const QString &folder, const QString &name);

// A phone entry of `directory`; its size only when it is a file the listing gave one for.
BatchRow phoneRow(int k, const ListItem &item, const QString &header, const QString &directory);
// A PC file or folder pushed into `destination`.
BatchRow pushRow(int k, const QString &local, const QString &header, const QString &destination);
// PC files and folders pushed by their paths, each named by what it is, not by a dot in its name.
QList<BatchRow> pushedPathRows(const QStringList &paths, const QString &destination);
// Rows of the PC folder `folder` copied to a phone folder; a folder goes in as a whole, under its own name
// without a slash, as it always went.
QList<BatchRow> pcCopyRows(const QList<ListItem> &items, const QString &folder, const QString &destination,
                           const RowHeader &header);
QList<BatchRow> pullRows(const QList<ListItem> &items, const QString &directory, const QString &folder,
                         const RowHeader &header);
QList<BatchRow> deleteRows(const QList<ListItem> &items, const QString &directory);
qint64 totalBytes(const QList<BatchRow> &rows);

RowStep stepFor(ReplaceQuestion::Decision decision);
// What to do with a row whose target may be there: a folder merges into a folder; a file never takes the
// place of a folder or the other way round; else the user decides.
RowStep targetStep(bool exists, bool targetIsFolder, bool sourceIsFolder, const QString &target,
                   ReplaceQuestion &replace);
// The replace questions of a batch's rows, asked before any of them runs; stops at the first Stop.
void decideOnPc(QList<BatchRow> &rows, ReplaceQuestion &replace);
void decideOnPhone(QList<BatchRow> &rows, const QString &destination, const QHash<QString, ItemKind> &onPhone,
                   ReplaceQuestion &replace);
