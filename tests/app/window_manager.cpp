// The main window under an X server with a window manager (run by with_openbox.sh): maximising
// stretches page, panels and grid while the buttons keep their places, restoring gives back
// 825 x 614, the title is the window's own, and a dialog cannot be maximised.
#include "AppTestSupport.h"

#include "app/OwnLook.h"
#include "search/VabFinde.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>

using namespace apptest;

namespace {

// A window property as xprop prints it, or "" without xprop.
QString windowProperty(QWidget* w, const char* name)
{
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(w->winId()), QString::fromLatin1(name)});
    p.waitForFinished(5000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestWindowManager : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { applyOwnLook(); }

    void maximiseStretchesAndRestoreGivesBackTheSize()
    {
        writeDatabase(enterFolder("maximise"),
                      {person({{0, "1"}, {2, "петров"}, {9, "Ведрогорск"}, {11, "Ленина"}})});
        auto form = startLoaded();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_COMPARE(form->size(), QSize(825, 614));
        const QString title = windowProperty(form.get(), "_NET_WM_NAME");
        if (!title.isEmpty())
            QVERIFY2(title.contains("= \"" + form->windowTitle() + "\""), qPrintable(title));
        const QRect buttons[] = {form->BitBtn1->geometry(), form->BitBtn2->geometry(),
                                 form->BitBtn3->geometry()};
        const QRect grid = form->StringGrid1->geometry();

        form->showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(form->width() > 1200 && form->height() > 900, 5000);
        QTRY_COMPARE(form->StringGrid1->width(), form->TabSheet1->width());
        QCOMPARE(form->Panel1->width(), form->TabSheet1->width());
        QCOMPARE(form->Panel3->width(), form->TabSheet1->width());
        QVERIFY(form->StringGrid1->height() > grid.height() + 250);
        QCOMPARE(form->BitBtn1->geometry(), buttons[0]);
        QCOMPARE(form->BitBtn2->geometry(), buttons[1]);
        QCOMPARE(form->BitBtn3->geometry(), buttons[2]);

        form->showNormal();
        QTRY_COMPARE_WITH_TIMEOUT(form->size(), QSize(825, 614), 5000);
        QTRY_COMPARE(form->StringGrid1->geometry(), grid);
    }

    void dialogsOfferNoMaximising()
    {
        QWidget owner;
        QLabel label(QStringLiteral("точное"), &owner);
        owner.show();
        TFormFinde chooser(&label, false, &owner);
        chooser.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chooser));
        const QString actions = windowProperty(&chooser, "_NET_WM_ALLOWED_ACTIONS");
        if (actions.isEmpty())
            QSKIP("xprop (package x11-utils) is not installed");
        QVERIFY2(actions.contains("_NET_WM_ACTION_CLOSE"), qPrintable(actions));
        // (openbox still draws its minimise and maximise boxes on every frame.)
        QVERIFY2(!actions.contains("MAXIMIZE"), qPrintable(actions));
    }
};

QTEST_MAIN(TestWindowManager)
#include "window_manager.moc"
