#pragma once
// The pick-list dialog "Список".
#include <QDialog>
#include <QPointer>
#include <QStringList>

class QLineEdit;
class QListWidget;
class QLabel;
class QPushButton;

class TFormStreet : public QDialog {
    Q_OBJECT
public:
    // target: the main-window field the chosen entry is written into.
    explicit TFormStreet(QLineEdit* target, QWidget* parent = nullptr);
    void LoadListBox(const QStringList& values, int last);
    QListWidget* ListBox1 = nullptr;
    QLabel* StaticText2 = nullptr;     // the count
    QPushButton* SpeedButton2 = nullptr; // "ОК"
    QLineEdit* Edit1 = nullptr;        // type-ahead
    QPushButton* SpeedButton1 = nullptr; // "выход"

    void Edit1KeyUp();        // type-ahead from the box's current text
    void SpeedButton2Click(); // accept
    void ListBox1DblClick();  // accept
    void SpeedButton1Click(); // leave without writing

    // The items as the box shows them (sorted).
    QStringList items;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override; // FormShow

private:
    // Writes the selected item (or the empty text when none) into the target and closes.
    void acceptSelection();

    QPointer<QLineEdit> TargetEdit; ///< the field the chosen entry goes to
};

// A new list for target, centred over mainWindow, loaded with values and shown modally.
void openPickList(QLineEdit* target, const QStringList& values, QWidget* mainWindow);
