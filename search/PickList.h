#pragma once
// The pick list's rules, apart from its window: which entries it shows, in which order,
// and which entry type-ahead selects.
#include <QString>
#include <QStringList>

// Leading and trailing spaces and control characters removed.
QString pickListTrim(const QString& s);

// The entries 0..last of values, trimmed, empty ones left out; entries that become equal
// after trimming all stay. `last` beyond the list is clamped to its end.
QStringList pickListEntries(const QStringList& values, int last);

// Sorts alphabetically by the Russian collation, without regard to case ("ё" sorts where
// Russian puts it). Entries equal but for case keep their relative order.
void sortPickList(QStringList& items);

// The index of the first item whose first typed.size() characters equal the typed text
// regardless of case (the whole item when it is shorter), or -1 when none does. The typed
// text is taken as it is (not trimmed); an empty text selects the first item.
int typeAheadIndex(const QStringList& sortedItems, const QString& typed);
