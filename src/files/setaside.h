#pragma once

#include "files/batchrunner.h"

#include <QList>
#include <QSet>
#include <QString>

class TADB;

// A file a batch is about to write over is first moved aside, beside it, and put back when its row did not
// arrive: a row that fails or is cancelled on its way then leaves the old file as it was, not a part of the
// new one. The old file goes once the new one is whole. Rows whose old file could not be moved aside keep
// today's way: written in place.
namespace SetAside {

QString asideName(const QString &target);

// The rows that replace a file: decided to be written, over one that is there. `taken` holds the names
// the phone folder has, so that no aside name meets one of them.
void onPc(QList<BatchRow> &rows);
void onPhone(const TADB &adb, qsizetype limit, QList<BatchRow> &rows, const QSet<QString> &taken);

// After the batch, also after a Cancel: drops or restores each old file. The old files that could not be put
// back (the phone gone meanwhile), where they are now.
QStringList putBackOnPc(const QList<BatchRow> &rows);
// `pushed`: the rows were written by adb push; the phone removes the part of one that broke off, maybe only
// after the batch ended, so its old file waits (up to about 3 s) until that part is gone.
QStringList putBackOnPhone(const TADB &adb, qsizetype limit, const QList<BatchRow> &rows, bool pushed = false);

} // namespace SetAside
