// Every window's captions are shown whole and no box scrolls its starting text out of sight,
// at the scale the test runs at (also registered at 1.5x and 2x: QT_SCALE_FACTOR).
#include "AppTestSupport.h"

#include "app/Controls.h"
#include "app/OwnLook.h"
#include "output/Help.h"
#include "search/Street.h"
#include "search/VabFinde.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

using namespace apptest;

namespace {

QString where(const QWidget* w, const QString& text)
{
    return w->window()->objectName() + "/" + w->objectName() + " \"" + text + "\"";
}

// The captions of window's widgets that do not fit their boxes.
QStringList cutCaptions(QWidget* window)
{
    QStringList cut;
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (l->isHidden() || l->text().isEmpty() || l->wordWrap() || l->objectName().isEmpty())
            continue;
        const int need = l->fontMetrics().horizontalAdvance(l->text());
        if (need > l->contentsRect().width() || !l->parentWidget()->rect().contains(l->geometry()))
            cut << where(l, l->text());
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (b->isHidden() || b->text().isEmpty())
            continue;
        int need = b->fontMetrics().horizontalAdvance(b->text());
        if (qobject_cast<QCheckBox*>(b) || qobject_cast<QRadioButton*>(b))
            need = b->sizeHint().width();
        else if (!b->icon().isNull())
            need += b->iconSize().width() + 4;
        if (need > b->width())
            cut << where(b, b->text());
    }
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        if (g->fontMetrics().horizontalAdvance(g->title()) + 8 > g->width())
            cut << where(g, g->title());
    return cut;
}

// The edit boxes whose text, the caret at its end, no longer starts at the box's left.
QStringList scrolledTexts(QWidget* window)
{
    QStringList scrolled;
    const QList<QLineEdit*> edits = window->findChildren<QLineEdit*>();
    for (QLineEdit* e : edits)
        e->end(false);
    (void)window->grab(); // the scroll position is worked out when the box is drawn
    for (QLineEdit* e : edits) {
        if (e->isHidden() || e->text().isEmpty() || !e->isVisibleTo(window))
            continue;
        if (e->cursorPositionAt(QPoint(e->contentsRect().left() + 4, e->height() / 2)) != 0)
            scrolled << where(e, e->text());
    }
    return scrolled;
}

} // namespace

class TestCaptionsWhole : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> form;

private slots:
    void initTestCase()
    {
        applyOwnLook();
        writeDatabase(enterFolder("captions"),
                      {person({{0, "1"}, {2, "петров"}, {9, "Ведрогорск"}, {11, "Ленина"}})});
        form = startLoaded();
        QVERIFY(form->dataLoaded());
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    void cleanupTestCase() { form.reset(); }

    void mainWindowAndLoadingDialog()
    {
        QCOMPARE(cutCaptions(form.get()), QStringList());
        QCOMPARE(scrolledTexts(form.get()), QStringList());
        QCOMPARE(cutCaptions(form->loadDialog()), QStringList());
    }

    void pickListChooserAndHelp()
    {
        TFormStreet list(form->LabeledEdit4, form.get());
        list.LoadListBox(QStringList(85, QStringLiteral("Ленина")), 84);
        list.show();
        QCOMPARE(list.StaticText2->text(), QStringLiteral("85"));
        QCOMPARE(cutCaptions(&list), QStringList());

        TFormFinde chooser(form->StaticText6, true, form.get());
        chooser.show();
        QCOMPARE(cutCaptions(&chooser), QStringList());

        TFormHelp help({}, form.get());
        help.show();
        for (QWidget* page : {help.TabSheet1, help.TabSheet2}) {
            help.PageControl1->setCurrentWidget(page);
            QCOMPARE(cutCaptions(page), QStringList());
        }
    }
};

QTEST_MAIN(TestCaptionsWhole)
#include "test_captions_whole.moc"
