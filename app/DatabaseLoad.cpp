#include "app/DatabaseLoad.h"

#include <utility>

DatabaseLoad::DatabaseLoad(engine::AdoQuery& query, Hooks hooks)
    : q_(query)
    , hooks_(std::move(hooks))
{
}

void DatabaseLoad::runStatement(const QString& statement)
{
    q_.close();
    q_.clearSql();
    q_.addSql(statement.toStdString());
    q_.open();
}

void DatabaseLoad::progress(int value)
{
    if (hooks_.progress)
        hooks_.progress(value);
}

QStringList DatabaseLoad::distinctValues(const QString& column)
{
    runStatement(QStringLiteral("SELECT Distinct(") + column + QStringLiteral(") FROM FZ_T1"));
    q_.first();
    QStringList values;
    while (!q_.eof()) {
        values.append(QString::fromStdString(q_.fieldAsString(0)));
        q_.next();
    }
    return values;
}

void DatabaseLoad::run(const std::string& connectionString, ValueLists& lists)
{
    progress(0);
    q_.setConnectionString(connectionString);

    runStatement(QStringLiteral("SELECT Count(*) FROM FZ_T1"));
    const QString count = QString::fromStdString(q_.fieldAsString(0));
    if (hooks_.statusText)
        hooks_.statusText(QStringLiteral("Количество данных в базе ") + count);

    progress(15);
    for (const QString& column : {QStringLiteral("Strana"), QStringLiteral("Obl")}) {
        const QStringList items = distinctValues(column);
        if (hooks_.comboItems)
            hooks_.comboItems(column, items);
        progress(column == QLatin1String("Strana") ? 30 : 45);
    }

    const struct {
        const char* column;
        QStringList* list;
        int progressAfter;
    } steps[] = {{"Raion", &lists.ListRaion, 60},
                 {"Citi", &lists.ListCiti, 75},
                 {"Derev", &lists.ListDerev, 90},
                 {"strit", &lists.ListStrit, 100}};
    for (const auto& step : steps) {
        step.list->clear();
        *step.list = distinctValues(QString::fromLatin1(step.column));
        progress(step.progressAfter);
    }

    q_.close();
    q_.setConnectionString(std::string());
}
