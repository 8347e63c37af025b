#pragma once
// The match-mode chooser "Выбор поиска".
#include <QDialog>
#include <QString>

class QLabel;
class QGroupBox;
class QRadioButton;
class QPushButton;

// The label whose mode is being chosen; set just before the chooser opens.
extern QLabel* ModeLabel;

class TFormFinde : public QDialog {
    Q_OBJECT
public:
    explicit TFormFinde(QWidget* parent = nullptr);
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
    // The surname's mode label: only its chooser names the field in the group box.
    QLabel* surnameLabel = nullptr;

protected:
    void showEvent(QShowEvent* e) override; // FormShow
};

extern TFormFinde* FormFinde;

// The group box caption: "Где искать по полю " with "Фамилия" appended for the surname.
QString chooserGroupCaption(bool forSurname);
// The label caption for the checked radio button, tested exact, prefix, substring, suffix,
// similar.
QString modeCaptionFor(bool exact, bool left, bool anywhere, bool right, bool similar = false);

// Sets ModeLabel to label, creates a new chooser and shows it modally. `surnameLabel` is the
// surname's mode label (the only one whose chooser names its field).
void openModeChooser(QLabel* label, QLabel* surnameLabel, QWidget* mainWindow);
