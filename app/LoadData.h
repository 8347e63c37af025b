#pragma once
// The dialog "Загрузка базы": runs the load when "ОК" is pressed and shows how far it got.
#include "app/DatabaseLoad.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QProgressBar;
class QPushButton;

class TFormLoadData : public QDialog {
    Q_OBJECT
public:
    // What a load fills in belongs to the window that opens the dialog; the dialog reaches it
    // only through these.
    struct Hooks {
        std::function<void()> starting; // a load begins: empty what an earlier one added
        DatabaseLoad::Hooks load;       // status text and combo items; the bar is the dialog's
        std::function<void(const QString&, QWidget* over)> showError; // a load failed
    };

    // The load goes through `query` and fills `lists`; both outlive the dialog.
    TFormLoadData(engine::AdoQuery& query, ValueLists& lists, Hooks hooks,
                  QWidget* parent = nullptr);

    QPushButton* SpeedButton1 = nullptr; // "ОК"
    QProgressBar* ProgressBar1 = nullptr;

    void SpeedButton1Click();
    void LoadComboBox(QComboBox* box, const QString& column);
    bool loading() const { return loading_; }
    // A load has completed (a later failed one does not undo it).
    bool loaded() const { return DataLoaded; }

protected:
    void showEvent(QShowEvent* e) override;    // FormShow
    void keyPressEvent(QKeyEvent* e) override; // FormKeyPress
    void closeEvent(QCloseEvent* e) override;

private:
    engine::AdoQuery& query_; ///< the main window's query object
    ValueLists& lists_;       ///< the pick lists' values the load fills
    Hooks hooks_;
    bool loading_ = false;   ///< a load is running
    bool DataLoaded = false; ///< a load has completed
};
