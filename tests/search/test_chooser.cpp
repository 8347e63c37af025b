// The match-mode chooser, driven as a modal dialog over stand-in labels.
#include "../output/ModalTestSupport.h"

#include "search/VabFinde.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using modaltest::whenModal;

class TestChooser : public QObject {
    Q_OBJECT

    QWidget* mainWindow = nullptr;
    QLabel* surname = nullptr; // StaticText6
    QLabel* city = nullptr;    // StaticText8

    // Opens the chooser for label and runs act on it; returns the group box caption and
    // whether the exact mode was checked on opening.
    std::pair<QString, bool> open(QLabel* label, std::function<void(TFormFinde*)> act)
    {
        std::pair<QString, bool> seen;
        whenModal<TFormFinde>([&seen, act](TFormFinde* d) {
            seen = {d->GroupBox1->title(), d->RadioButton4->isChecked()};
            act(d);
        });
        openModeChooser(label, surname, mainWindow);
        return seen;
    }

private slots:
    void init()
    {
        mainWindow = new QWidget;
        surname = new QLabel(QStringLiteral("точное"), mainWindow);
        city = new QLabel(QStringLiteral("точное"), mainWindow);
        mainWindow->show();
    }
    void cleanup() { delete mainWindow; }

    void onlyTheSurnameChooserNamesItsField()
    {
        QCOMPARE(open(surname, [](TFormFinde* d) { d->BitBtn2Click(); }).first,
                 QStringLiteral("Где искать по полю Фамилия"));
        QPointer<TFormFinde> closed;
        QCOMPARE(open(city, [&closed](TFormFinde* d) { closed = d; d->BitBtn2Click(); }).first,
                 QStringLiteral("Где искать по полю "));
        QVERIFY(closed.isNull()); // deleted once closed
    }

    void clickedRadioButtonBecomesTheCaption()
    {
        city->setText(QStringLiteral("с права"));
        const auto seen = open(city, [](TFormFinde* d) {
            QTest::mouseClick(d->RadioButton2, Qt::LeftButton, {}, QPoint(6, d->RadioButton2->height() / 2));
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        });
        QVERIFY(seen.second); // opens on the exact mode whatever the label shows
        QCOMPARE(city->text(), QStringLiteral("любое"));
        QCOMPARE(surname->text(), QStringLiteral("точное"));
        // Tested in the fixed order exact, prefix, substring, suffix.
        QCOMPARE(modeCaptionFor(false, true, true, false), QStringLiteral("с лева"));
        QCOMPARE(modeCaptionFor(false, false, false, true), QStringLiteral("с права"));
        // The fifth choice sits below the four, inside the group box, and reads aloud.
        city->setText(QStringLiteral("точное"));
        QRect fifth, fourth, box;
        QString spoken;
        open(city, [&](TFormFinde* d) {
            fifth = d->RadioButton5->geometry();
            fourth = d->RadioButton1->geometry();
            box = d->GroupBox1->contentsRect();
            spoken = QAccessible::queryAccessibleInterface(d->RadioButton5)->text(QAccessible::Name);
            QVERIFY(!d->RadioButton5->isChecked());
            QTest::mouseClick(d->RadioButton5, Qt::LeftButton, {}, QPoint(6, d->RadioButton5->height() / 2));
            QTest::keyClick(d, Qt::Key_Enter);
        });
        QCOMPARE(city->text(), QStringLiteral("похожее"));
        QVERIFY(fifth.top() >= fourth.bottom() && box.contains(fifth));
        QCOMPARE(spoken, QStringLiteral("Похожее написание"));
    }

    void cancelAndEscapeKeepTheCaption()
    {
        surname->setText(QStringLiteral("с права"));
        open(surname, [](TFormFinde* d) {
            d->RadioButton2->setChecked(true);
            QTest::mouseClick(d->BitBtn2, Qt::LeftButton);
        });
        QCOMPARE(surname->text(), QStringLiteral("с права"));
        open(surname, [](TFormFinde* d) {
            d->RadioButton2->setChecked(true);
            QTest::keyClick(d->RadioButton2, Qt::Key_Escape);
        });
        QCOMPARE(surname->text(), QStringLiteral("с права"));
        // Enter on a focused "Отмена" cancels; a screen reader hears the field's name.
        QString groupName;
        open(surname, [&groupName](TFormFinde* d) {
            groupName = QAccessible::queryAccessibleInterface(d->GroupBox1)->text(QAccessible::Name);
            d->RadioButton2->setChecked(true);
            d->BitBtn2->setFocus(Qt::TabFocusReason);
            QTest::keyClick(d->BitBtn2, Qt::Key_Return);
        });
        QCOMPARE(surname->text(), QStringLiteral("с права"));
        QCOMPARE(groupName, QStringLiteral("Где искать по полю Фамилия"));
    }

    void enterConfirmsAndOkWithoutChangeResetsToExact()
    {
        open(surname, [](TFormFinde* d) {
            d->RadioButton1->setChecked(true);
            d->RadioButton1->setFocus();
            QTest::keyClick(d->RadioButton1, Qt::Key_Return);
        });
        QCOMPARE(surname->text(), QStringLiteral("с лева"));
        open(surname, [](TFormFinde* d) { QTest::keyClick(d, Qt::Key_Enter); });
        QCOMPARE(surname->text(), QStringLiteral("точное"));
    }
};

QTEST_MAIN(TestChooser)
#include "test_chooser.moc"
