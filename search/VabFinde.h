#pragma once
// The match-mode chooser "Выбор поиска".
#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QGroupBox;
class QRadioButton;
class QPushButton;

class TFormFinde : public QDialog {
    Q_OBJECT
public:
    // label: the mode label the choice is written into; forSurname: it is the surname's (the
    // only chooser that names its field).
    TFormFinde(QLabel* label, bool forSurname, QWidget* parent = nullptr);
    QGroupBox* GroupBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr; // "Совпадение с лева"
    QRadioButton* RadioButton2 = nullptr; // "В любом месте"
    QRadioButton* RadioButton3 = nullptr; // "Совпадение с права"
    QRadioButton* RadioButton4 = nullptr; // "Точное совпадение"
    QRadioButton* RadioButton5 = nullptr; // "Похожее написание"
    QPushButton* BitBtn1 = nullptr;       // OK
    QPushButton* BitBtn2 = nullptr;       // "Отмена"
    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* e) override; // FormShow

private:
    QPointer<QLabel> ModeLabel; ///< the mode label the choice goes to
    bool forSurname_;        ///< the group box names the surname field
};

// The group box caption: "Где искать по полю " with "Фамилия" appended for the surname.
QString chooserGroupCaption(bool forSurname);
// The label caption for the checked radio button, tested exact, prefix, substring, suffix,
// similar.
QString modeCaptionFor(bool exact, bool left, bool anywhere, bool right, bool similar = false);

// A new chooser for label, shown modally. `surnameLabel` is the surname's mode label (the
// only one whose chooser names its field).
void openModeChooser(QLabel* label, QLabel* surnameLabel, QWidget* mainWindow);
