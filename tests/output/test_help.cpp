// The help window, its key trail and the service-mode switch it asks for, and the banner's steps.
#include "output/Help.h"
#include "output/ServiceMode.h"

#include "ModalTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBlock>
#include <QtTest>

namespace {

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

using modaltest::whenModal;

class TestHelp : public QObject {
    Q_OBJECT

    QWidget* mainWindow = nullptr;
    QStringList opened;
    QStringList switches; // the trails the window asked the service mode to switch from

    void openHelp()
    {
        ::openHelp(mainWindow, [this](const QString& trail) { switches << trail; });
    }

private slots:
    void init()
    {
        mainWindow = new QWidget;
        mainWindow->show();
        opened.clear();
        switches.clear();
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
        QCOMPARE(keyPressCode(Qt::Key_A, Qt::ControlModifier, "\x01"), 1);
        QCOMPARE(keyPressCode(Qt::Key_Z, Qt::ControlModifier, ""), 26);
        QCOMPARE(keyPressCode(Qt::Key_Return, Qt::NoModifier, "\r"), 13);
        QCOMPARE(keyPressCode(Qt::Key_Escape, Qt::NoModifier, "\x1b"), 27);
        QCOMPARE(keyPressCode(Qt::Key_unknown, Qt::NoModifier, "ü"), 63);
        QCOMPARE(keyPressCode(Qt::Key_Shift, Qt::ShiftModifier, ""), -1);
        QCOMPARE(keyPressCode(Qt::Key_Tab, Qt::NoModifier, "\t"), -1);
    }

    void trailSequences()
    {
        // "=" (61), Ctrl+E (5), space (32) spell the service code; Enter switches from the
        // trail as it stood, and its own code is appended after the test.
        QString trail;
        QCOMPARE(feed(trail, {61, 5, 32}), QList<TrailAction>(3, TrailAction::None));
        TrailStep s = keyTrailStep(trail, 13);
        QCOMPARE(s.action, TrailAction::SwitchAndClose);
        QVERIFY(isServiceCode(s.switchTrail));
        QCOMPARE(trail, QStringLiteral("6153213"));
        // The digits themselves give their own codes, not the code.
        trail.clear();
        feed(trail, {'6', '1', '5', '3', '2'});
        QCOMPARE(trail, QStringLiteral("5449535150"));
        // An empty trail switches from ""; Escape closes and is appended; no code, no digits.
        trail.clear();
        QCOMPARE(keyTrailStep(trail, 13).switchTrail, QString());
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
        QCOMPARE(t1.section(QString(33, ' '), 1), t2.section(QString(33, ' '), 1)); // same mail
        using After = std::tuple<bool, QString, int>; // visible, caption, phase

        // A step while loading (phase 0) keeps the caption and sets the phase to 1.
        BannerState s;
        s.caption = t1;
        bannerStep(s, t1, t2);
        QCOMPARE(s.interval, 1000);
        QVERIFY(After(s.visible, s.caption, s.phase) == After(true, t1, 1));
        s.phase = 2; // the main window is shown
        const QList<After> steps = {{false, t1, 2}, {true, t2, 1}, {false, t2, 1}, {true, t1, 2}};
        for (const After& want : steps) {
            bannerStep(s, t1, t2);
            QVERIFY(After(s.visible, s.caption, s.phase) == want);
        }
        // Window shown before the first step: the first appearance carries text 2.
        BannerState early{5000, false, t1, 2};
        bannerStep(early, t1, t2);
        QVERIFY(After(early.visible, early.caption, early.phase) == After(true, t2, 1));
    }

    void helpWindowContents()
    {
        QString caption, current;
        QStringList tabs, m2, m6;
        bool readOnly = true, blinked = false;
        whenModal<TFormHelp>([&](TFormHelp* d) {
            caption = d->windowTitle();
            for (int i = 0; i < d->PageControl1->count(); ++i)
                tabs << d->PageControl1->tabText(i);
            current = d->PageControl1->tabText(d->PageControl1->currentIndex());
            m2 = memoLines(d->Memo2);
            m6 = memoLines(d->Memo6);
            for (QLineEdit* e : d->mailEdits + QList<QLineEdit*>{d->Edit2, d->Edit14})
                readOnly = readOnly && e->isReadOnly();
            readOnly = readOnly && d->Memo2->isReadOnly() && d->mailEdits.size() == 6;
            const bool was = d->StaticText15->isHidden();
            d->Timer1Timer();
            blinked = d->Timer1->isActive() && d->StaticText15->isHidden() != was;
            d->reject();
        });
        openHelp();
        QCOMPARE(caption, QStringLiteral("\"ПК Информационный справочник г.Ведрогорска v 2.0\""));
        QCOMPARE(tabs, QStringList({"О программе...", "Как с нами связаться ?"}));
        QCOMPARE(current, QStringLiteral("Как с нами связаться ?"));
        QCOMPARE(m2, memo2Lines());
        QCOMPARE(m2.size(), 15);
        QCOMPARE(m2.at(0), QStringLiteral("Справочник по г.Ведрогорска. ")); // trailing space kept
        QCOMPARE(m2.mid(11), QStringList({"", " ", " ", ""}));
        QCOMPARE(m6, memo6Lines());
        QCOMPARE(m6.size(), 29); // the text as it was, and one paragraph on the heard spelling
        QCOMPARE(m6.at(4), QStringLiteral(
                               "«совпадение справа». Лучше всего выбирайте «в любом месте». Это "));
        QCOMPARE(m6.mid(6, 6).filter(QStringLiteral("«похожее написание»")).size(), 1);
        QCOMPARE(m6.at(11), QString());
        QCOMPARE(m6.at(12),
                 QStringLiteral("Аналогично поиску по «Фамилия» вы можете задать условия поиска "));
        QCOMPARE(m6.last(), QStringLiteral("Удачной работы!"));
        QVERIFY(readOnly);
        QVERIFY(blinked);
    }

    void serviceCodeTypedIntoTheAboutText()
    {
        bool closed = false;
        QString memoAfter, trail;
        whenModal<TFormHelp>([&](TFormHelp* d) {
            d->PageControl1->setCurrentWidget(d->TabSheet1);
            d->Memo2->setFocus();
            modaltest::typeText(d->Memo2, QStringLiteral("="));
            QTest::keyClick(d->Memo2, Qt::Key_E, Qt::ControlModifier);
            modaltest::typeText(d->Memo2, QStringLiteral(" "));
            memoAfter = d->Memo2->toPlainText();
            QTest::keyClick(d->Memo2, Qt::Key_Return);
            closed = !d->isVisible();
            trail = d->keyTrail();
        });
        openHelp();
        QVERIFY(closed);
        QCOMPARE(trail, QStringLiteral("6153213"));
        QCOMPARE(memoAfter, memo2Lines().join('\n')); // read-only: the text is unchanged
        QCOMPARE(switches, QStringList({kServiceCode}));

        // Another trail, and a window opened afresh starts an empty one.
        whenModal<TFormHelp>([&](TFormHelp* d) {
            modaltest::typeText(d->Memo2, QStringLiteral("а"));
            QTest::keyClick(d->Memo2, Qt::Key_Enter);
            trail = d->keyTrail();
        });
        openHelp();
        QCOMPARE(trail, QStringLiteral("22413"));
        QCOMPARE(switches.last(), QStringLiteral("224"));

        // Enter alone switches from the empty trail.
        whenModal<TFormHelp>([&](TFormHelp* d) {
            QTest::keyClick(d->Memo2, Qt::Key_Return);
            trail = d->keyTrail();
        });
        openHelp();
        QCOMPARE(trail, QStringLiteral("13"));
        QCOMPARE(switches, QStringList({kServiceCode, "224", ""}));
    }

    void escapeClosesFromEveryControl()
    {
        QStringList stayedOpen;
        int tried = 0;
        // Every control that can take the focus, the page tabs included.
        for (int i = 0;; ++i) {
            bool more = false;
            whenModal<TFormHelp>([&](TFormHelp* d) {
                QList<QWidget*> controls;
                for (QWidget* w : d->findChildren<QWidget*>())
                    if (w->focusPolicy() != Qt::NoFocus && !w->isHidden())
                        controls << w;
                more = i + 1 < controls.size();
                QWidget* w = controls.at(i);
                d->PageControl1->setCurrentWidget(d->TabSheet1->isAncestorOf(w) ? d->TabSheet1
                                                                                : d->TabSheet2);
                w->setFocus();
                QTest::keyClick(w, Qt::Key_Escape);
                if (d->isVisible()) {
                    stayedOpen << w->metaObject()->className() + (" " + w->objectName());
                    d->reject();
                }
            });
            openHelp();
            ++tried;
            if (!more)
                break;
        }
        QVERIFY(tried > 10);
        QVERIFY2(stayedOpen.isEmpty(), qPrintable(stayedOpen.join(", ")));
        QVERIFY(switches.isEmpty()); // Escape never switches the service mode

        // In the About text Escape still ends the key trail.
        QString trail;
        whenModal<TFormHelp>([&](TFormHelp* d) {
            modaltest::typeText(d->Memo2, QStringLiteral("Я"));
            QTest::keyClick(d->Memo2, Qt::Key_Escape);
            trail = d->keyTrail();
        });
        openHelp();
        QCOMPARE(trail, QStringLiteral("22327"));
        QVERIFY(switches.isEmpty());
    }

    void addressesOpenTrimmed()
    {
        whenModal<TFormHelp>([&](TFormHelp* d) {
            d->Edit14->setText(QStringLiteral("  www.example.net/page  "));
            QTest::mouseClick(d->Edit2, Qt::LeftButton);
            QTest::mouseClick(d->Edit14, Qt::LeftButton);
            d->reject();
        });
        openHelp();
        QCOMPARE(opened.size(), 2);
        QVERIFY(!opened.at(0).isEmpty() && !opened.at(0).contains(' '));
        QCOMPARE(opened.at(1), QStringLiteral("www.example.net/page"));
    }
};

QTEST_MAIN(TestHelp)
#include "test_help.moc"
