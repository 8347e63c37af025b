#include "search/Street.h"

#include "search/PickList.h"
#include "search/Widgets.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>

using namespace widgets;

namespace {
bool isEnter(const QKeyEvent* k)
{
    return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
}
} // namespace

TFormStreet::TFormStreet(QLineEdit* target, QWidget* parent)
    : QDialog(parent)
    , TargetEdit(target)
{
    setObjectName(QStringLiteral("FormStreet"));
    setWindowTitle(QStringLiteral("Список"));
    setAccessibleName(QStringLiteral("Список"));
    setWindowFlags(dialogFlags(true));
    setFixedSize(255, 458);

    ListBox1 = named(new QListWidget(this), QStringLiteral("ListBox1"), QStringLiteral("Список"));
    ListBox1->setGeometry(7, 7, 241, 385);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setUniformItemSizes(true);

    auto* countCaption = named(new QLabel(QStringLiteral("Количество записей:"), this),
                               QStringLiteral("StaticText1"));
    QFont bold = countCaption->font();
    bold.setBold(true);
    countCaption->setFont(bold);
    setTextColor(countCaption, kNavy);
    // As wide as its text in whatever font the desktop gives; the count follows it.
    countCaption->adjustSize();
    countCaption->setGeometry(7, 396, countCaption->width(), 18);

    StaticText2 = named(new QLabel(QStringLiteral("0"), this), QStringLiteral("StaticText2"),
                        QStringLiteral("Количество записей"));
    StaticText2->setFont(bold);
    setTextColor(StaticText2, kNavy);
    const int countLeft = countCaption->geometry().right() + 4;
    StaticText2->setGeometry(countLeft, 396, 248 - countLeft, 18);

    auto* panel = named(new QFrame(this), QStringLiteral("Panel1"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setGeometry(0, 420, 255, 38);

    SpeedButton2 = flatButton(panel, QStringLiteral("SpeedButton2"), QStringLiteral("ОК"),
                              QRect(5, 6, 50, 26));
    Edit1 = named(new QLineEdit(panel), QStringLiteral("Edit1"), QStringLiteral("Поиск в списке"));
    Edit1->setGeometry(60, 8, 130, 22);
    SpeedButton1 = flatButton(panel, QStringLiteral("SpeedButton1"), QStringLiteral("выход"),
                              QRect(195, 6, 55, 26));

    // Tab goes from the list to the type-ahead box, then to "ОК" and "выход"; Enter or Space
    // presses a focused button.
    for (QPushButton* b : {SpeedButton2, SpeedButton1}) {
        b->setFocusPolicy(Qt::TabFocus);
        b->setAutoDefault(true);
    }
    // A flat button draws no focus of its own: a dotted frame shows where the focus is.
    panel->setStyleSheet(QStringLiteral("QPushButton:focus { border: 1px dotted #000080; }"));
    setTabOrder(ListBox1, Edit1);
    setTabOrder(Edit1, SpeedButton2);
    setTabOrder(SpeedButton2, SpeedButton1);

    connect(SpeedButton2, &QPushButton::clicked, this, &TFormStreet::SpeedButton2Click);
    connect(SpeedButton1, &QPushButton::clicked, this, &TFormStreet::SpeedButton1Click);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this, [this] { ListBox1DblClick(); });
    Edit1->installEventFilter(this);
    ListBox1->installEventFilter(this);
}

void TFormStreet::LoadListBox(const QStringList& values, int last)
{
    // Everything is gathered and sorted in one go and handed to the box at once: the box
    // never re-sorts item by item.
    QStringList all = items;
    all.append(pickListEntries(values, last));
    sortPickList(all);
    items = std::move(all);
    ListBox1->clear();
    ListBox1->addItems(items);
}

void TFormStreet::Edit1KeyUp()
{
    const int row = typeAheadIndex(items, Edit1->text());
    if (row < 0) {
        ListBox1->clearSelection();
        ListBox1->setCurrentItem(nullptr);
        return;
    }
    ListBox1->setCurrentRow(row);
    ListBox1->scrollToItem(ListBox1->item(row));
}

void TFormStreet::acceptSelection()
{
    const QList<QListWidgetItem*> sel = ListBox1->selectedItems();
    const QString text = sel.isEmpty() ? QString() : sel.first()->text();
    if (TargetEdit)
        TargetEdit->setText(text);
    accept();
}

void TFormStreet::SpeedButton2Click()
{
    acceptSelection();
}
void TFormStreet::ListBox1DblClick()
{
    acceptSelection();
}
void TFormStreet::SpeedButton1Click()
{
    reject();
}

bool TFormStreet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1 || watched == ListBox1) {
        if (event->type() == QEvent::KeyPress && isEnter(static_cast<QKeyEvent*>(event))) {
            acceptSelection();
            return true;
        }
        if (watched == Edit1 && event->type() == QEvent::KeyRelease)
            Edit1KeyUp();
    }
    return QDialog::eventFilter(watched, event);
}

void TFormStreet::keyPressEvent(QKeyEvent* e)
{
    // Escape leaves as "выход" does: the field is not changed.
    if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
        SpeedButton1Click();
        return;
    }
    QDialog::keyPressEvent(e);
}

void TFormStreet::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (e->spontaneous())
        return;
    StaticText2->setText(QString::number(ListBox1->count()));
    StaticText2->setAccessibleName(QStringLiteral("Количество записей: ") + StaticText2->text());
    ListBox1->setFocus(Qt::OtherFocusReason);
}

void openPickList(QLineEdit* target, const QStringList& values, QWidget* mainWindow)
{
    auto* dlg = new TFormStreet(target, mainWindow);
    dlg->LoadListBox(values, int(values.size()) - 1);
    // A dialog with a parent window opens centred over it.
    execThenDelete(dlg);
}
