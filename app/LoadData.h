#pragma once
// Loading the database at start: the dialog "Загрузка базы" and the load steps behind it.
#include "engine/AdoQuery.h"

#include <QDialog>
#include <QStringList>
#include <functional>
#include <string>

class QComboBox;
class QProgressBar;
class QPushButton;
class TForm1;

// Distinct districts, cities, villages and streets of the table, for the pick lists.
struct ValueLists {
    QStringList ListRaion; ///< districts
    QStringList ListCiti;  ///< towns
    QStringList ListDerev; ///< villages
    QStringList ListStrit; ///< streets
};

// The load, step by step, through the shared query object. Each step reports through the
// hooks as soon as it is done, so that what a failed load got through stays visible.
class DatabaseLoad {
public:
    struct Hooks {
        std::function<void(const QString&)> statusText;           // "Количество данных в базе N"
        std::function<void(int)> progress;                        // 0..100
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

class TFormLoadData : public QDialog {
    Q_OBJECT
public:
    explicit TFormLoadData(TForm1& mainForm, QWidget* parent = nullptr);

    QPushButton* SpeedButton1 = nullptr; // "ОК"
    QProgressBar* ProgressBar1 = nullptr;

    void SpeedButton1Click();
    void LoadComboBox(QComboBox* box, const QString& column);
    bool loading() const { return loading_; }
    // A load has completed (a later failed one does not undo it).
    bool loaded() const { return DataLoaded; }

protected:
    void showEvent(QShowEvent* e) override;   // FormShow
    void keyPressEvent(QKeyEvent* e) override; // FormKeyPress
    void closeEvent(QCloseEvent* e) override;

private:
    TForm1& form_;          ///< the window the load fills in
    bool loading_ = false;  ///< a load is running
    bool DataLoaded = false;   ///< a load has completed
};
