// The help window, its key trail, the service mode it switches, and the banner's steps.
#include "output/Help.h"
#include "output/ServiceMode.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

void whenHelpOpens(std::function<void(TFormHelp*)> act)
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
        if (auto* d = qobject_cast<TFormHelp*>(QApplication::activeModalWidget())) {
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

void typeChar(QWidget* w, QChar ch)
{
    QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

QStringList memoLines(QPlainTextEdit* m)
{
    QStringList out;
    for (QTextBlock b = m->document()->begin(); b.isValid(); b = b.next())
        out << b.text();
    return out;
}

// Feeds codes through the trail rule and collects the actions.
QList<TrailAction> feed(QString& trail, const QList<int>& codes)
{
    QList<TrailAction> out;
    for (int c : codes)
        out << keyTrailStep(trail, c).action;
    return out;
}

} // namespace

class TestHelp : public QObject {
    Q_OBJECT

    QWidget* mainWindow = nullptr;
    QPushButton* save = nullptr; // BitBtn4
    QTimer* timer = nullptr;     // Timer1
    QLabel* banner = nullptr;    // Panel2
    QStringList opened;

private slots:
    void init()
    {
        mainWindow = new QWidget;
        save = new QPushButton(QStringLiteral("Сохранить"), mainWindow);
        save->hide();
        timer = new QTimer(mainWindow);
        timer->setInterval(5000);
        timer->start();
        banner = new QLabel(bannerText1(), mainWindow);
        banner->hide();
        registerMainWindowParts({save, timer, banner});
        mainWindow->show();
        BannerPhase = 0;
        KeyTrail.clear();
        opened.clear();
        setUrlOpener([this](const QString& a) { opened << a; });
    }
    void cleanup()
    {
        setUrlOpener({});
        delete mainWindow;
        mainWindow = nullptr;
    }

    void keyCodes()
    {
        QCOMPARE(keyPressCode(Qt::Key_A, Qt::NoModifier, "a"), 97);
        QCOMPARE(keyPressCode(Qt::Key_unknown, Qt::NoModifier, "а"), 224); // Cyrillic
        QCOMPARE(keyPressCode(Qt::Key_unknown, Qt::ShiftModifier, "Я"), 223);
        QCOMPARE(keyPressCode(Qt::Key_unknown, Qt::NoModifier, "ё"), 184);
        QCOMPARE(keyPressCode(Qt::Key_A, Qt::ControlModifier, "\x01"), 1);
        QCOMPARE(keyPressCode(Qt::Key_Z, Qt::ControlModifier, ""), 26);
        QCOMPARE(keyPressCode(Qt::Key_Return, Qt::NoModifier, "\r"), 13);
        QCOMPARE(keyPressCode(Qt::Key_Enter, Qt::KeypadModifier, "\r"), 13);
        QCOMPARE(keyPressCode(Qt::Key_Escape, Qt::NoModifier, "\x1b"), 27);
        QCOMPARE(keyPressCode(Qt::Key_Backspace, Qt::NoModifier, "\b"), 8);
        QCOMPARE(keyPressCode(Qt::Key_unknown, Qt::NoModifier, "ü"), 63);
        QCOMPARE(keyPressCode(Qt::Key_Shift, Qt::ShiftModifier, ""), -1);
        QCOMPARE(keyPressCode(Qt::Key_Left, Qt::NoModifier, ""), -1);
        QCOMPARE(keyPressCode(Qt::Key_Tab, Qt::NoModifier, "\t"), -1);
    }

    void trailSequences()
    {
        // "=" (61), Ctrl+E (5), space (32) spell the service code; Enter switches from it,
        // and its own code is appended after the test.
        QString trail;
        QCOMPARE(feed(trail, {61, 5, 32}),
                 QList<TrailAction>({TrailAction::None, TrailAction::None, TrailAction::None}));
        QCOMPARE(trail, QStringLiteral("61532"));
        TrailStep s = keyTrailStep(trail, 13);
        QCOMPARE(s.action, TrailAction::SwitchAndClose);
        QCOMPARE(s.switchTrail, QStringLiteral("61532"));
        QVERIFY(isServiceCode(s.switchTrail));
        QCOMPARE(trail, QStringLiteral("6153213"));

        // Typing the digits themselves gives their codes, not the code.
        trail.clear();
        feed(trail, {'6', '1', '5', '3', '2'});
        QCOMPARE(trail, QStringLiteral("5449535150"));
        QVERIFY(!isServiceCode(trail));

        // An empty trail and Enter; Escape closes and is appended too; no code, no digits.
        trail.clear();
        s = keyTrailStep(trail, 13);
        QCOMPARE(s.action, TrailAction::SwitchAndClose);
        QCOMPARE(s.switchTrail, QString());
        QCOMPARE(trail, QStringLiteral("13"));
        trail.clear();
        QCOMPARE(feed(trail, {224, 1, -1, 27}),
                 QList<TrailAction>({TrailAction::None, TrailAction::None, TrailAction::None,
                                     TrailAction::Close}));
        QCOMPARE(trail, QStringLiteral("224127"));
    }

    void bannerStepsFromStart()
    {
        const QString t1 = bannerText1(), t2 = bannerText2();
        QVERIFY(t1 != t2);
        QVERIFY(t1.contains(QString(33, ' ')) && !t1.contains(QString(34, ' ')));
        QCOMPARE(t1.section(QString(33, ' '), 1), t2.section(QString(33, ' '), 1)); // same mail

        BannerState s;
        s.caption = t1;
        // A step while loading still runs: the caption stays, the phase becomes 1.
        bannerStep(s, t1, t2);
        QCOMPARE(s.interval, 1000);
        QCOMPARE(s.phase, 1);
        QVERIFY(s.visible);
        QCOMPARE(s.caption, t1);
        s.phase = 2; // the main window is shown
        bannerStep(s, t1, t2);
        QVERIFY(!s.visible);
        QCOMPARE(s.phase, 2); // a shown banner does not touch the phase
        bannerStep(s, t1, t2);
        QVERIFY(s.visible);
        QCOMPARE(s.caption, t2);
        QCOMPARE(s.phase, 1);
        bannerStep(s, t1, t2);
        QVERIFY(!s.visible);
        bannerStep(s, t1, t2);
        QVERIFY(s.visible);
        QCOMPARE(s.caption, t1);
        QCOMPARE(s.phase, 2);

        // Window shown before the first step: the first appearance carries text 2.
        BannerState early;
        early.caption = t1;
        early.phase = 2;
        bannerStep(early, t1, t2);
        QCOMPARE(early.caption, t2);
        QVERIFY(early.visible);
    }

    void bannerOnTheWindowAndItsClick()
    {
        bannerTimerStep(); // before FormShow
        QCOMPARE(timer->interval(), 1000);
        QVERIFY(!banner->isHidden());
        QCOMPARE(banner->text(), bannerText1());
        QCOMPARE(BannerPhase, 1);
        BannerPhase = 2; // FormShow
        bannerTimerStep();
        QVERIFY(banner->isHidden());
        bannerTimerStep();
        QVERIFY(!banner->isHidden());
        QCOMPARE(banner->text(), bannerText2());
        QCOMPARE(BannerPhase, 1);

        bannerClick();
        QCOMPARE(opened, QStringList({bannerText2().section(' ', 0, 0)}));
        QVERIFY(!opened.first().contains('@'));

        // Driven by the timer itself.
        QObject::connect(timer, &QTimer::timeout, [] { bannerTimerStep(); });
        timer->setInterval(10);
        const bool before = banner->isHidden();
        QTRY_VERIFY(banner->isHidden() != before);
    }

    void serviceModeSwitches()
    {
        banner->show(); // even a showing banner is hidden
        My_Visible(QStringLiteral("61532"));
        QVERIFY(!save->isHidden());
        QVERIFY(!timer->isActive());
        QVERIFY(banner->isHidden());
        My_Visible(QStringLiteral("6153"));
        QVERIFY(save->isHidden());
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 5000);
        My_Visible(QString());
        QVERIFY(save->isHidden());
        QVERIFY(timer->isActive());
    }

    void helpWindowContents()
    {
        QString caption, current;
        QStringList tabs, m2, m6, addresses;
        bool onTop = false, readOnly = true, blinked = false, timerRuns = false;
        QSize size, picture;
        whenHelpOpens([&](TFormHelp* d) {
            caption = d->windowTitle();
            size = d->size();
            onTop = d->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
            for (int i = 0; i < d->PageControl1->count(); ++i)
                tabs << d->PageControl1->tabText(i);
            current = d->PageControl1->tabText(d->PageControl1->currentIndex());
            m2 = memoLines(d->Memo2);
            m6 = memoLines(d->Memo6);
            readOnly = d->Memo2->isReadOnly() && d->Memo6->isReadOnly() && d->Edit2->isReadOnly() &&
                       d->Edit14->isReadOnly();
            addresses << d->Edit2->text() << d->Edit14->text();
            for (QLineEdit* e : d->mailEdits) {
                readOnly = readOnly && e->isReadOnly();
                addresses << e->text();
            }
            picture = d->Image1->pixmap().size();
            timerRuns = d->Timer1->isActive() && d->Timer1->interval() == 1000;
            const bool was = d->StaticText15->isHidden();
            d->Timer1Timer();
            blinked = d->StaticText15->isHidden() != was && d->StaticText15->text() == "Работа на заказ";
            d->reject();
        });
        openHelp(mainWindow);
        QCOMPARE(caption, QStringLiteral("\"ПК Информационный справочник г.Ведрогорска v 2.0\""));
        QCOMPARE(size, QSize(712, 580));
        QVERIFY(onTop);
        QCOMPARE(tabs, QStringList({"О программе...", "Как с нами связаться ?"}));
        QCOMPARE(current, QStringLiteral("Как с нами связаться ?"));
        QCOMPARE(m2.size(), 15);
        QCOMPARE(m2, memo2Lines());
        QCOMPARE(m2.at(0), QStringLiteral("Справочник по г.Ведрогорска. "));
        QCOMPARE(m2.at(3), QStringLiteral("результата поиска по «Ф.И.О.»"));
        QCOMPARE(m2.mid(11), QStringList({"", " ", " ", ""}));
        QCOMPARE(m6.size(), 24);
        QCOMPARE(m6.at(4), QStringLiteral("«совпадение справа». Лучше всего выбирайте «в любом месте». Это "));
        QCOMPARE(m6.last(), QStringLiteral("Удачной работы!"));
        QVERIFY(readOnly);
        QCOMPARE(addresses.size(), 8);
        for (int i = 2; i < 8; ++i)
            QVERIFY(addresses.at(i).contains('@'));
        QCOMPARE(picture, QSize(128, 128));
        QVERIFY(timerRuns);
        QVERIFY(blinked);
        QVERIFY(FormHelp == nullptr);
    }

    void serviceCodeTypedIntoTheAboutText()
    {
        KeyTrail = QStringLiteral("leftover"); // emptied when the window shows
        bool closed = false;
        QString memoAfter;
        whenHelpOpens([&](TFormHelp* d) {
            d->PageControl1->setCurrentWidget(d->TabSheet1);
            d->Memo2->setFocus();
            typeChar(d->Memo2, '=');
            QTest::keyClick(d->Memo2, Qt::Key_E, Qt::ControlModifier);
            typeChar(d->Memo2, ' ');
            memoAfter = d->Memo2->toPlainText();
            QTest::keyClick(d->Memo2, Qt::Key_Return);
            closed = !d->isVisible();
        });
        openHelp(mainWindow);
        QVERIFY(closed);
        QCOMPARE(KeyTrail, QStringLiteral("6153213"));
        QCOMPARE(memoAfter, memo2Lines().join('\n')); // read-only: the text is unchanged
        QVERIFY(!save->isHidden());
        QVERIFY(!timer->isActive());
        QVERIFY(banner->isHidden());

        // Another trail switches it off again.
        whenHelpOpens([&](TFormHelp* d) {
            typeChar(d->Memo2, QChar(u'а'));
            QTest::keyClick(d->Memo2, Qt::Key_Enter);
        });
        openHelp(mainWindow);
        QCOMPARE(KeyTrail, QStringLiteral("22413"));
        QVERIFY(save->isHidden());
        QVERIFY(timer->isActive());

        // The empty trail does the same.
        My_Visible(QStringLiteral("61532"));
        whenHelpOpens([&](TFormHelp* d) { QTest::keyClick(d->Memo2, Qt::Key_Return); });
        openHelp(mainWindow);
        QCOMPARE(KeyTrail, QStringLiteral("13"));
        QVERIFY(save->isHidden());
        QVERIFY(timer->isActive());
    }

    void escapeClosesOnlyFromTheAboutText()
    {
        My_Visible(QStringLiteral("61532"));
        bool openAfterEscapeElsewhere = false;
        whenHelpOpens([&](TFormHelp* d) {
            QTest::keyClick(d->Edit2, Qt::Key_Escape);
            openAfterEscapeElsewhere = d->isVisible();
            typeChar(d->Memo2, QChar(u'Я'));
            QTest::keyClick(d->Memo2, Qt::Key_Escape);
        });
        openHelp(mainWindow);
        QVERIFY(openAfterEscapeElsewhere);
        QCOMPARE(KeyTrail, QStringLiteral("22327"));
        QVERIFY(!save->isHidden()); // the mode did not change
        QVERIFY(!timer->isActive());
    }

    void addressesOpenTrimmed()
    {
        whenHelpOpens([&](TFormHelp* d) {
            d->Edit14->setText(QStringLiteral("  www.example.net/page  "));
            QTest::mouseClick(d->Edit2, Qt::LeftButton);
            QTest::mouseClick(d->Edit14, Qt::LeftButton);
            d->reject();
        });
        openHelp(mainWindow);
        QCOMPARE(opened.size(), 2);
        QVERIFY(!opened.at(0).isEmpty() && !opened.at(0).contains(' '));
        QCOMPARE(opened.at(1), QStringLiteral("www.example.net/page"));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
