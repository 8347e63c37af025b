#include "app/Controls.h"

#include <QMouseEvent>

void ClickLabel::mousePressEvent(QMouseEvent* e)
{
    QLabel::mousePressEvent(e);
    if (e->button() == Qt::LeftButton)
        emit clicked();
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* e)
{
    QLabel::mouseDoubleClickEvent(e);
    if (e->button() == Qt::LeftButton)
        emit doubleClicked();
}

void DropDownComboBox::showPopup()
{
    emit droppedDown();
    QComboBox::showPopup();
}

void DropDownComboBox::changeEvent(QEvent* e)
{
    QComboBox::changeEvent(e);
    if (e->type() == QEvent::FontChange && lineEdit())
        lineEdit()->setFont(font());
}

void appendComboItems(QComboBox* box, const QStringList& items)
{
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->addItems(items);
    box->setCurrentIndex(-1);
    box->setEditText(text);
}

void clearComboItems(QComboBox* box)
{
    const QString text = box->currentText();
    const QSignalBlocker block(box);
    box->clear();
    box->setEditText(text);
}

DateMaskEdit::DateMaskEdit(QWidget* parent)
    : QLineEdit(parent)
{
    // Digits are optional in every position, as in the desktop mask's "9".
    setInputMask(QStringLiteral("00.00.0000;_"));
}

QString DateMaskEdit::maskedText() const
{
    // text() leaves unfilled positions out; the display keeps them as the blank character.
    QString s = displayText();
    s.replace(QLatin1Char('_'), QLatin1Char(' '));
    return s;
}
