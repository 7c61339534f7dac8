#pragma once

#include "lists/listitem.h"

#include <QList>

// Label and name ascending (case-insensitive), date newest first, size largest first.
enum class SortKey { Label, Name, Date, Size };

// Sorts rows in place, leaving them in exactly the order a selection sort that swaps the first
// smallest remaining row into place would leave (equal keys included), in n log n.
// False when a date or size does not convert; the rows are then unchanged.
bool sortItems(QList<ListItem> &rows, SortKey key, bool shortListing);
// The same for file rows: sizes are read as whole numbers.
bool sortFileItems(QList<ListItem> &rows, SortKey key, bool shortListing);

// Indices of the rows whose name contains the trimmed text, ignoring case; none for an empty text.
QList<int> selectMatching(const QList<ListItem> &rows, const QString &text);

// The names of what a command will act on for its question, one a line: the first `shown`, then
// "and N more".
QString nameList(const QStringList &names, int shown = 5);
// "Delete "a.txt"?" for one name, "Delete these 3 items?" and the names under it for more; `where` ends the
// question (" from the phone").
QString deleteQuestion(const QStringList &names, const QString &where = {});

// New check marks and the count to show as "Selected: N".
int countChecked(const QList<bool> &checks);
int checkAll(QList<bool> &checks);
int uncheckAll(QList<bool> &checks);
int invertChecks(QList<bool> &checks, int count);
int toggleAllByFirst(QList<bool> &checks);
