#pragma once

#include "lists/listitem.h"

#include <QList>

// Label and name ascending (case-insensitive), date newest first, size largest first.
enum class SortKey { Label, Name, Date, Size };

// Sorts rows in place, leaving them in exactly the order a selection sort that swaps the first
// smallest remaining row into place would leave (equal keys included), in n log n.
// False when a date or size does not convert; the rows are then unchanged.
bool SortItems(QList<ListItem> &rows, SortKey key, bool shortListing);
// The same for file rows: sizes are read as whole numbers.
bool SortFileItems(QList<ListItem> &rows, SortKey key, bool shortListing);

// Indices of the rows whose name contains the trimmed text, ignoring case; none for an empty text.
QList<int> SelectMatching(const QList<ListItem> &rows, const QString &text);

// The names of what a command will act on for its question, one a line: the first `shown`, then
// "and N more".
QString NameList(const QStringList &names, int shown = 5);
// "Delete "a.txt"?" for one name, "Delete these 3 items?" and the names under it for more; `where` ends the
// question (" from the phone").
QString DeleteQuestion(const QStringList &names, const QString &where = {});

// New check marks and the count to show as "Selected: N".
int CountChecked(const QList<bool> &checks);
int CheckAll(QList<bool> &checks);
int UncheckAll(QList<bool> &checks);
int InvertChecks(QList<bool> &checks, int count);
int ToggleAllByFirst(QList<bool> &checks);
