#pragma once
// The pick lists' values as a load leaves them.
#include <QStringList>

// Distinct districts, cities, villages and streets of the table, for the pick lists.
struct ValueLists {
    QStringList ListRaion; ///< districts
    QStringList ListCiti;  ///< towns
    QStringList ListDerev; ///< villages
    QStringList ListStrit; ///< streets
};
