#pragma once
// Small controls of the main window that behave like their desktop counterparts.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

// A static text that reports single and double clicks.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
};

// A combo box that tells when its list is about to drop down.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;
signals:
    void droppedDown();

protected:
    // The edit line draws the text: it takes the box's font, whatever style sheet is above.
    void changeEvent(QEvent* e) override;
};

// Item lists of a combo box whose own text is a placeholder the items must not replace:
// appends the items; removes every item.
void appendComboItems(QComboBox* box, const QStringList& items);
void clearComboItems(QComboBox* box);

// The birth-date field: the mask "!99/99/9999;1;_" with "." as the separator. maskedText()
// is the field's text as the search reads it: every position, an unfilled one as a space,
// "  .  .    " when nothing is typed.
class DateMaskEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DateMaskEdit(QWidget* parent = nullptr);
    QString maskedText() const;
};
