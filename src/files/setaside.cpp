#include "files/setaside.h"

#include "bridge/adbutils.h"

#include <QFile>
#include <QFileInfo>

namespace {

bool replaces(const BatchRow &row)
{
    return row.grouped && row.step == RowStep::Write && row.existed && !row.isDir && !row.target.endsWith(u'/');
}

// What the batch itself writes: an aside name must not be one of them.
QSet<QString> targets(const QList<BatchRow> &rows)
{
    QSet<QString> paths;
    for (const BatchRow &row : rows)
        paths.insert(row.target);
    return paths;
}

// Runs the rows' commands, as many in one shell as the limit allows; `onLine` gets every line of the
// output.
void runInShells(TADB &adb, qsizetype limit, const QStringList &commands,
                 const std::function<void(const QString &)> &onLine = {})
{
    QString text;
    auto flush = [&] {
        if (text.isEmpty())
            return;
        const QString output = adb.Shell(text);
        if (onLine) {
            for (const QString &line : output.split(u'\n'))
                onLine(line);
        }
        text.clear();
    };
    for (const QString &command : commands) {
        if (!text.isEmpty() && text.size() + command.size() + 2 > limit)
            flush();
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) + command;
    }
    flush();
}

} // namespace

namespace SetAside {

QString asideName(const QString &target)
{
    return target + QStringLiteral(".velbrook-old");
}

void onPc(QList<BatchRow> &rows)
{
    const QSet<QString> written = targets(rows);
    for (BatchRow &row : rows) {
        if (!replaces(row))
            continue;
        const QString aside = asideName(row.target);
        const QFileInfo there(aside);
        if (written.contains(aside) || there.exists() || there.isSymLink() || !QFile::rename(row.target, aside))
            continue;
        row.setAside = true;
        row.existed = false;
    }
}

void onPhone(const TADB &adb, qsizetype limit, QList<BatchRow> &rows, const QSet<QString> &taken)
{
    const QSet<QString> written = targets(rows);
    QStringList commands;
    QHash<int, BatchRow *> byRow;
    for (BatchRow &row : rows) {
        const QString aside = asideName(row.target);
        if (!replaces(row) || written.contains(aside) || taken.contains(TADB::BaseName(aside)))
            continue;
        commands << QStringLiteral("mv ") + quoteDevicePath(row.target) + u' ' + quoteDevicePath(aside) +
                        QStringLiteral(" 2>/dev/null; ") + rowMarkerCommand(row.k);
        byRow.insert(row.k, &row);
    }
    // Not stopped by a Cancel half-way: a file moved aside unknown to the batch would never be put back.
    TADB whole(adb);
    whole.setCancelToken(nullptr);
    runInShells(whole, limit, commands, [&](const QString &line) {
        const std::optional<RowMarker> marker = readRowMarker(line.trimmed());
        if (!marker || marker->status != 0)
            return;
        if (BatchRow *row = byRow.value(marker->row)) {
            row->setAside = true;
            row->existed = false;
        }
    });
}

void putBackOnPc(const QList<BatchRow> &rows)
{
    for (const BatchRow &row : rows) {
        if (!row.setAside)
            continue;
        const QString aside = asideName(row.target);
        if (row.arrived.value_or(false)) {
            QFile::remove(aside);
            continue;
        }
        const QFileInfo part(row.target);
        if (part.exists() || part.isSymLink())
            QFile::remove(row.target);
        QFile::rename(aside, row.target);
    }
}

void putBackOnPhone(const TADB &adb, qsizetype limit, const QList<BatchRow> &rows)
{
    QStringList commands;
    for (const BatchRow &row : rows) {
        if (!row.setAside)
            continue;
        const QString aside = quoteDevicePath(asideName(row.target));
        // A rename over the part a failed row left replaces it.
        if (row.arrived.value_or(false))
            commands << QStringLiteral("rm ") + aside;
        else
            commands << QStringLiteral("mv ") + aside + u' ' + quoteDevicePath(row.target);
    }
    if (commands.isEmpty())
        return;
    // A Cancel stops the batch, never this.
    TADB cleanup(adb);
    cleanup.setCancelToken(nullptr);
    runInShells(cleanup, limit, commands);
}

} // namespace SetAside
