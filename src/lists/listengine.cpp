#include "lists/listengine.h"

#include <QCollator>

#include <algorithm>
#include <limits>
#include <set>

namespace {

// Rows with equal keys share a class; classes are numbered in the order the sort puts them.
// Returns false when a key does not convert.
bool rankRows(const QList<ListItem> &rows, SortKey key, bool shortListing, bool wholeSizes, std::vector<int> &rank)
{
    const qsizetype n = rows.size();
    rank.assign(n, 0);
    std::vector<int> order(n);
    for (qsizetype i = 0; i < n; ++i)
        order[i] = int(i);

    if (key == SortKey::Label || key == SortKey::Name) {
        // This Qt's collation keys ignore the case-insensitive setting, so case is folded first and
        // the keys of an ordinary collator are compared: one key per row instead of a collation per
        // comparison.
        QCollator collator;
        std::vector<QCollatorSortKey> keys;
        keys.reserve(n);
        for (const ListItem &row : rows)
            keys.push_back(collator.sortKey((key == SortKey::Label ? itemLabel(row) : itemName(row)).toCaseFolded()));
        std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
        for (qsizetype i = 1; i < n; ++i)
            rank[order[i]] = rank[order[i - 1]] + (keys[order[i - 1]].compare(keys[order[i]]) < 0 ? 1 : 0);
        return true;
    }

    // Dates and sizes: larger first, so rank by the negated value.
    std::vector<double> values(n);
    for (qsizetype i = 0; i < n; ++i) {
        const ListItem &row = rows.at(i);
        // Entries the phone would not describe ("?") go after every known date or size.
        if ((key == SortKey::Date ? itemStamp(row) : itemSize(row)) == QStringLiteral("?")) {
            values[i] = std::numeric_limits<double>::infinity();
            continue;
        }
        if (key == SortKey::Date) {
            const auto stamp = parseItemStamp(itemStamp(row), shortListing);
            if (!stamp)
                return false;
            values[i] = -double(stamp->toMSecsSinceEpoch());
        } else {
            QString size = itemSize(row);
            bool ok = false;
            double value = 0;
            if (wholeSizes) {
                value = double(size.toLongLong(&ok));
            } else {
                // Long-form listings leave one character too many at the end of the size.
                if (!shortListing)
                    size.chop(1);
                value = size.trimmed().toDouble(&ok);
            }
            if (!ok)
                return false;
            values[i] = -value;
        }
    }
    std::sort(order.begin(), order.end(), [&](int a, int b) { return values[a] < values[b]; });
    for (qsizetype i = 1; i < n; ++i)
        rank[order[i]] = rank[order[i - 1]] + (values[order[i - 1]] < values[order[i]] ? 1 : 0);
    return true;
}

// Replays the selection sort on classes: at step i the first row (by current position) of the
// smallest remaining class is swapped into place i.
void replaySelectionSort(QList<ListItem> &rows, const std::vector<int> &rank)
{
    const int n = int(rows.size());
    if (n < 2)
        return;
    const int classes = *std::max_element(rank.begin(), rank.end()) + 1;
    if (classes == n) {
        // No equal keys: the order is simply the sorted one.
        QList<ListItem> sorted(n);
        for (int i = 0; i < n; ++i)
            sorted[rank[i]] = std::move(rows[i]);
        rows = std::move(sorted);
        return;
    }
    std::vector<std::set<int>> positions(classes);
    std::vector<int> classAt(rank.begin(), rank.end());
    for (int i = 0; i < n; ++i)
        positions[classAt[i]].insert(i);
    int smallest = 0;
    for (int i = 0; i < n; ++i) {
        while (positions[smallest].empty())
            ++smallest;
        const int m = *positions[smallest].begin();
        const int here = classAt[i];
        positions[smallest].erase(positions[smallest].begin());
        if (m != i) {
            rows.swapItemsAt(i, m);
            positions[here].erase(i);
            positions[here].insert(m);
            classAt[m] = here;
            classAt[i] = smallest;
        }
    }
}

bool sortRows(QList<ListItem> &rows, SortKey key, bool shortListing, bool wholeSizes)
{
    std::vector<int> rank;
    if (!rankRows(rows, key, shortListing, wholeSizes, rank))
        return false;
    replaySelectionSort(rows, rank);
    return true;
}

} // namespace

bool sortItems(QList<ListItem> &rows, SortKey key, bool shortListing)
{
    return sortRows(rows, key, shortListing, false);
}

bool sortFileItems(QList<ListItem> &rows, SortKey key, bool shortListing)
{
    return sortRows(rows, key, shortListing, true);
}

QList<int> selectMatching(const QList<ListItem> &rows, const QString &text)
{
    QList<int> matches;
    const QString needle = text.trimmed();
    if (needle.isEmpty())
        return matches;
    for (int i = 0; i < rows.size(); ++i) {
        if (itemName(rows.at(i)).contains(needle, Qt::CaseInsensitive))
            matches << i;
    }
    return matches;
}

QString nameList(const QStringList &names, int shown)
{
    QStringList lines = names.first(std::min<qsizetype>(shown, names.size()));
    if (names.size() > shown)
        lines << QStringLiteral("and %1 more").arg(names.size() - shown);
    return lines.join(u'\n');
}

QString deleteQuestion(const QStringList &names, const QString &where)
{
    if (names.size() == 1)
        return QStringLiteral("Delete \"") + names.first() + u'"' + where + u'?';
    return QStringLiteral("Delete these %1 items").arg(names.size()) + where + QStringLiteral("?\n\n") +
           nameList(names);
}

int countChecked(const QList<bool> &checks)
{
    return int(std::count(checks.begin(), checks.end(), true));
}

int checkAll(QList<bool> &checks)
{
    std::fill(checks.begin(), checks.end(), true);
    return int(checks.size());
}

int uncheckAll(QList<bool> &checks)
{
    std::fill(checks.begin(), checks.end(), false);
    return 0;
}

int invertChecks(QList<bool> &checks, int count)
{
    for (bool &check : checks)
        check = !check;
    return int(checks.size()) - count;
}

int toggleAllByFirst(QList<bool> &checks)
{
    if (checks.isEmpty())
        return 0;
    const bool state = !checks.first();
    std::fill(checks.begin(), checks.end(), state);
    return state ? int(checks.size()) : 0;
}
