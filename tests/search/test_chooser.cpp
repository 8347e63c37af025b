// The match-mode chooser, driven as a modal dialog.
#include "search/VabFinde.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Runs `act` on the chooser once it is up; a later timer closes anything left open so a
// failing case cannot hang the run.
void whenChooserOpens(std::function<void(TFormFinde*)> act)
{
    // What the poll found, so the safety net below closes only a window this call was for.
    struct Found {
        bool seen = false;
        QPointer<QWidget> window;
    };
    auto found = std::make_shared<Found>();
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, act, found] {
        if (auto* d = qobject_cast<TFormFinde*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            found->seen = true;
            found->window = d;
            act(d);
        }
    });
    poll->start();
    QTimer::singleShot(8000, [found, guard = QPointer<QTimer>(poll)] {
        delete guard.data(); // a poll that never found its window stops here
        QWidget* w = found->seen ? found->window.data() : QApplication::activeModalWidget();
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            d->done(QDialog::Rejected);
    });
}

struct Seen {
    QString title;
    QString groupCaption;
    bool exactChecked = false;
    QSize size;
};

} // namespace

class TestChooser : public QObject {
    Q_OBJECT

    QWidget* mainWindow = nullptr;
    QLabel* surname = nullptr; // StaticText6
    QLabel* city = nullptr;    // StaticText8

    // Opens the chooser for label, lets `act` work on it, and returns what it looked like.
    Seen open(QLabel* label, std::function<void(TFormFinde*)> act)
    {
        Seen seen;
        whenChooserOpens([&seen, act](TFormFinde* d) {
            seen.title = d->windowTitle();
            seen.groupCaption = d->GroupBox1->title();
            seen.exactChecked = d->RadioButton4->isChecked();
            seen.size = d->size();
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
        surname->setObjectName(QStringLiteral("StaticText6"));
        city = new QLabel(QStringLiteral("точное"), mainWindow);
        city->setObjectName(QStringLiteral("StaticText8"));
        mainWindow->show();
    }
    void cleanup()
    {
        delete mainWindow;
        mainWindow = nullptr;
    }

    void plainRules()
    {
        QCOMPARE(chooserGroupCaption(false), QStringLiteral("Где искать по полю "));
        QCOMPARE(chooserGroupCaption(true), QStringLiteral("Где искать по полю Фамилия"));
        // Tested in the fixed order exact, prefix, substring, suffix.
        QCOMPARE(modeCaptionFor(true, true, false, false), QStringLiteral("точное"));
        QCOMPARE(modeCaptionFor(false, true, true, false), QStringLiteral("с лева"));
        QCOMPARE(modeCaptionFor(false, false, true, true), QStringLiteral("любое"));
        QCOMPARE(modeCaptionFor(false, false, false, true), QStringLiteral("с права"));
    }

    void onlyTheSurnameChooserNamesItsField()
    {
        Seen s = open(surname, [](TFormFinde* d) { d->BitBtn2Click(); });
        QCOMPARE(s.title, QStringLiteral("Выбор поиска"));
        QCOMPARE(s.groupCaption, QStringLiteral("Где искать по полю Фамилия"));
        QCOMPARE(s.size, QSize(338, 126));
        s = open(city, [](TFormFinde* d) { d->BitBtn2Click(); });
        QCOMPARE(s.groupCaption, QStringLiteral("Где искать по полю "));
        QVERIFY(FormFinde == nullptr);
    }

    void eachRadioButtonWritesItsCaption_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("caption");
        QTest::newRow("prefix") << "RadioButton1" << "с лева";
        QTest::newRow("substring") << "RadioButton2" << "любое";
        QTest::newRow("suffix") << "RadioButton3" << "с права";
        QTest::newRow("exact") << "RadioButton4" << "точное";
    }
    void eachRadioButtonWritesItsCaption()
    {
        QFETCH(QString, button);
        QFETCH(QString, caption);
        city->setText(QStringLiteral("любое"));
        const Seen s = open(city, [button](TFormFinde* d) {
            auto* r = d->findChild<QRadioButton*>(button);
            if (r)
                QTest::mouseClick(r, Qt::LeftButton, {}, QPoint(6, r->height() / 2));
            QTest::mouseClick(d->BitBtn1, Qt::LeftButton);
        });
        // Whatever the label showed, the chooser opens on the exact mode.
        QVERIFY(s.exactChecked);
        QCOMPARE(city->text(), caption);
        QCOMPARE(surname->text(), QStringLiteral("точное"));
    }

    void radioButtonsHaveTheirTextsAndNames()
    {
        QStringList texts;
        open(city, [&texts](TFormFinde* d) {
            for (auto* r : {d->RadioButton4, d->RadioButton1, d->RadioButton2, d->RadioButton3})
                texts << r->text() + "|" + r->accessibleName();
            texts << d->BitBtn1->text() << d->BitBtn2->text();
            d->reject();
        });
        QCOMPARE(texts, QStringList({"Точное совпадение|Точное совпадение",
                                     "Совпадение с лева|Совпадение с лева",
                                     "В любом месте|В любом месте",
                                     "Совпадение с права|Совпадение с права", "OK", "Отмена"}));
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
