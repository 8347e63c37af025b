#include "search/PickList.h"

#include "util/Strings.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <QLocale>

#include <algorithm>
#include <numeric>
#include <vector>

QString pickListTrim(const QString& s)
{
    return fz::Trim(s);
}

QStringList pickListEntries(const QStringList& values, int last)
{
    QStringList out;
    const qsizetype end = std::min<qsizetype>(qsizetype(last) + 1, values.size());
    if (end > 0)
        out.reserve(end);
    for (qsizetype i = 0; i < end; ++i) {
        QString t = pickListTrim(values.at(i));
        if (!t.isEmpty())
            out.append(std::move(t));
    }
    return out;
}

void sortPickList(QStringList& items)
{
    if (items.size() < 2)
        return;
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // One key per item, then a plain sort over the keys: far cheaper than collating
    // pairs of strings over and over.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(items.size());
    for (const QString& s : items)
        keys.push_back(collator.sortKey(s));
    std::vector<qsizetype> order(items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return keys[a].compare(keys[b]) < 0; });
    QStringList sorted;
    sorted.reserve(items.size());
    for (qsizetype i : order)
        sorted.append(std::move(items[i]));
    items = std::move(sorted);
}

int typeAheadIndex(const QStringList& sortedItems, const QString& typed)
{
    const qsizetype n = typed.size();
    for (qsizetype i = 0; i < sortedItems.size(); ++i) {
        if (QStringView(sortedItems.at(i)).left(n).compare(typed, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}
