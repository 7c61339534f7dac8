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

// Runs each row's command followed by its marker, as many in one shell as the limit allows; the rows whose
// command succeeded.
QSet<int> runMarked(const TADB &adb, qsizetype limit, const QList<std::pair<int, QString>> &commands)
{
    // Not stopped by a Cancel half-way: a file moved without the batch knowing would never be put back.
    TADB whole(adb);
    whole.setCancelToken(nullptr);
    QSet<int> done;
    QString text;
    auto flush = [&] {
        if (text.isEmpty())
            return;
        for (const QString &line : whole.Shell(text).split(u'\n')) {
            if (const std::optional<RowMarker> marker = readRowMarker(line.trimmed()); marker && marker->status == 0)
                done.insert(marker->row);
        }
        text.clear();
    };
    for (const auto &[k, command] : commands) {
        const QString marked = command + QStringLiteral(" 2>/dev/null; ") + rowMarkerCommand(k);
        if (!text.isEmpty() && text.size() + marked.size() + 2 > limit)
            flush();
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) + marked;
    }
    flush();
    return done;
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
    QList<std::pair<int, QString>> commands;
    for (const BatchRow &row : rows) {
        const QString aside = asideName(row.target);
        if (replaces(row) && !written.contains(aside) && !taken.contains(TADB::BaseName(aside)))
            commands.append(
                {row.k, QStringLiteral("mv ") + quoteDevicePath(row.target) + u' ' + quoteDevicePath(aside)});
    }
    if (commands.isEmpty())
        return;
    const QSet<int> moved = runMarked(adb, limit, commands);
    for (BatchRow &row : rows) {
        if (replaces(row) && moved.contains(row.k)) {
            row.setAside = true;
            row.existed = false;
        }
    }
}

QStringList putBackOnPc(const QList<BatchRow> &rows)
{
    QStringList kept;
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
        if (!QFile::rename(aside, row.target))
            kept << aside;
    }
    return kept;
}

QStringList putBackOnPhone(const TADB &adb, qsizetype limit, const QList<BatchRow> &rows, bool pushed)
{
    QList<std::pair<int, QString>> commands;
    for (const BatchRow &row : rows) {
        if (!row.setAside)
            continue;
        const QString aside = quoteDevicePath(asideName(row.target));
        const QString target = quoteDevicePath(row.target);
        QString command = QStringLiteral("rm ") + aside;
        if (!row.arrived.value_or(false)) {
            // A rename over the part a failed row left replaces it; never into a folder made there meanwhile.
            command = QStringLiteral("[ ! -d ") + target + QStringLiteral(" ] && mv ") + aside + u' ' + target;
            if (pushed) {
                const QString wait = QStringLiteral("[ -f ") + target + QStringLiteral(" ] && sleep 1; ");
                command = wait + wait + wait + command;
            }
        }
        commands.append({row.k, command});
    }
    if (commands.isEmpty())
        return {};
    const QSet<int> done = runMarked(adb, limit, commands);
    QStringList kept;
    for (const BatchRow &row : rows) {
        if (row.setAside && !row.arrived.value_or(false) && !done.contains(row.k))
            kept << asideName(row.target);
    }
    return kept;
}

} // namespace SetAside
