#pragma once
// The load of the database at start, step by step, without a window.
#include "app/ValueLists.h"
#include "engine/AdoQuery.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

// The load through the shared query object. Each step reports through the hooks as soon as
// it is done, so that what a failed load got through stays visible.
class DatabaseLoad {
public:
    struct Hooks {
        std::function<void(const QString&)> statusText; // "Количество данных в базе N"
        std::function<void(int)> progress;              // 0..100
        std::function<void(const QString& column, const QStringList&)> comboItems; // Strana, Obl
    };

    DatabaseLoad(engine::AdoQuery& query, Hooks hooks);

    // Opens the database the connection string names and runs every step; throws
    // engine::EngineError. Leaves the query object closed and without a connection when done.
    void run(const std::string& connectionString, ValueLists& lists);

    // The values of "SELECT Distinct(column) FROM FZ_T1", in the engine's order; null as "".
    QStringList distinctValues(const QString& column);

private:
    void runStatement(const QString& statement);
    void progress(int value);

    engine::AdoQuery& q_;
    Hooks hooks_;
};
