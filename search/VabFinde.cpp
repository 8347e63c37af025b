#include "search/VabFinde.h"

#include "search/Widgets.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>

using namespace widgets;

QString chooserGroupCaption(bool forSurname)
{
    QString caption = QStringLiteral("Где искать по полю ");
    if (forSurname)
        caption += QStringLiteral("Фамилия");
    return caption;
}

QString modeCaptionFor(bool exact, bool left, bool anywhere, bool right, bool similar)
{
    // Tested in this order; with none checked the exact mode is the answer too, as the
    // chooser always opens with it checked.
    if (exact)
        return QStringLiteral("точное");
    if (left)
        return QStringLiteral("с лева");
    if (anywhere)
        return QStringLiteral("любое");
    if (right)
        return QStringLiteral("с права");
    if (similar)
        return QStringLiteral("похожее");
    return QStringLiteral("точное");
}

namespace {
QRadioButton* makeRadio(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto* r = named(new QRadioButton(text, parent), QString::fromLatin1(name), text);
    // Plain text, not the group box's bold underlined maroon title style.
    r->setFont(pixelFont(r->font(), 11));
    setTextColor(r, Qt::black);
    r->setGeometry(x, y, 145, 21);
    return r;
}
} // namespace

TFormFinde::TFormFinde(QLabel* label, bool forSurname, QWidget* parent)
    : QDialog(parent)
    , ModeLabel(label)
    , forSurname_(forSurname)
{
    setObjectName(QStringLiteral("FormFinde"));
    setWindowTitle(QStringLiteral("Выбор поиска"));
    setAccessibleName(QStringLiteral("Выбор поиска"));
    // One row of choices more than the four-choice dialog had: 28 pixels taller.
    setFixedSize(338, 154);
    setWindowFlags(dialogFlags());

    GroupBox1 = named(new QGroupBox(chooserGroupCaption(false), this), QStringLiteral("GroupBox1"),
                      QStringLiteral("Где искать по полю"));
    GroupBox1->setGeometry(8, 4, 322, 110);
    GroupBox1->setFont(pixelFont(GroupBox1->font(), 13, true, false, true));
    setTextColor(GroupBox1, kMaroon);

    // Two columns: exact over prefix on the left, substring over suffix on the right; the
    // heard spelling in a row of its own below them.
    RadioButton4 =
        makeRadio(GroupBox1, "RadioButton4", QStringLiteral("Точное совпадение"), 12, 24);
    RadioButton1 =
        makeRadio(GroupBox1, "RadioButton1", QStringLiteral("Совпадение с лева"), 12, 52);
    RadioButton2 = makeRadio(GroupBox1, "RadioButton2", QStringLiteral("В любом месте"), 166, 24);
    RadioButton3 =
        makeRadio(GroupBox1, "RadioButton3", QStringLiteral("Совпадение с права"), 166, 52);
    RadioButton5 =
        makeRadio(GroupBox1, "RadioButton5", QStringLiteral("Похожее написание"), 12, 80);
    RadioButton4->setChecked(true);

    BitBtn1 = named(new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton),
                                    QStringLiteral("OK"), this),
                    QStringLiteral("BitBtn1"), QStringLiteral("OK"));
    BitBtn1->setGeometry(82, 121, 82, 27);
    BitBtn1->setDefault(true);

    BitBtn2 = named(new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton),
                                    QStringLiteral("Отмена"), this),
                    QStringLiteral("BitBtn2"), QStringLiteral("Отмена"));
    BitBtn2->setGeometry(174, 121, 82, 27);
    // A focused "Отмена" takes Enter itself; with the focus elsewhere Enter means OK.
    BitBtn2->setAutoDefault(true);

    connect(BitBtn1, &QPushButton::clicked, this, &TFormFinde::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TFormFinde::BitBtn2Click);
}

void TFormFinde::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    GroupBox1->setTitle(chooserGroupCaption(forSurname_));
    // Read aloud as shown, the field's name included.
    GroupBox1->setAccessibleName(GroupBox1->title().trimmed());
    RadioButton4->setChecked(true);
}

void TFormFinde::BitBtn1Click()
{
    if (ModeLabel)
        ModeLabel->setText(modeCaptionFor(RadioButton4->isChecked(), RadioButton1->isChecked(),
                                          RadioButton2->isChecked(), RadioButton3->isChecked(),
                                          RadioButton5->isChecked()));
    accept();
}

void TFormFinde::BitBtn2Click()
{
    reject();
}

void openModeChooser(QLabel* label, QLabel* surnameLabel, QWidget* mainWindow)
{
    auto* dlg = new TFormFinde(label, label && label == surnameLabel, mainWindow);
    dlg->move(671, 365);
    execThenDelete(dlg);
}
