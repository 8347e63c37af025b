// The main window for an operator without a mouse or with a screen reader, and its own look on
// a dark desktop: F4 and the mode labels' action open the chooser, group boxes are named by
// their own captions, message boxes carry the program's name, the palette stays light.
#include "AppTestSupport.h"

#include "app/ModeCaption.h"
#include "app/OwnLook.h"
#include "search/VabFinde.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

using namespace apptest;

class TestKeyboardAndLook : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> form;

    std::vector<std::pair<QLineEdit*, QLabel*>> modeFields() const
    {
        return {{form->LabeledEdit1, form->StaticText6},  {form->LabeledEdit2, form->StaticText14},
                {form->LabeledEdit3, form->StaticText15}, {form->LabeledEdit24, form->StaticText4},
                {form->LabeledEdit25, form->StaticText8}, {form->LabeledEdit26, form->StaticText9},
                {form->LabeledEdit4, form->StaticText3}};
    }

    // Opens a chooser with `open`, presses `keys` where its focus is, and gives back every
    // mode label's caption afterwards.
    QStringList choose(const std::function<void()>& open, const QList<Qt::Key>& keys)
    {
        auto seen = std::make_shared<bool>(false);
        QPointer<QTimer> watch =
            onModal([](QWidget* w) { return qobject_cast<TFormFinde*>(w) != nullptr; },
                    [seen, keys](QWidget* w) {
                        *seen = true;
                        (void)QTest::qWaitFor(
                            [w] { return w->isAncestorOf(QApplication::focusWidget()); }, 3000);
                        for (Qt::Key k : keys)
                            QTest::keyClick(QApplication::focusWidget(), k);
                        if (w->isVisible())
                            static_cast<QDialog*>(w)->reject();
                    });
        open();
        (void)QTest::qWaitFor([seen] { return *seen; }, 5000);
        delete watch.data();
        QStringList captions;
        if (!*seen)
            captions << QStringLiteral("no chooser");
        for (const auto& [field, label] : modeFields())
            captions << label->text();
        return captions;
    }

private slots:
    void initTestCase()
    {
        // A dark desktop: another style and a dark palette before the program sets its own.
        QApplication::setStyle(QStringLiteral("Windows"));
        QPalette dark(QColor(0xEE, 0xEE, 0xEE), QColor(0x30, 0x30, 0x30));
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEE));
        QApplication::setPalette(dark);
        applyOwnLook();

        writeDatabase(enterFolder("keys"),
                      {person({{0, "1"}, {2, "петров"}, {9, "Ведрогорск"}, {11, "Ленина"}})});
        form = startLoaded();
        QVERIFY(form->dataLoaded());
    }
    void cleanupTestCase() { form.reset(); }

    void f4AndTheLabelsActionOpenTheFieldsChooser()
    {
        const auto fields = modeFields();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const auto [field, label] = fields[i];
            const auto f4 = [this, field = field] {
                form->activateWindow();
                (void)QTest::qWaitForWindowActive(form.get());
                field->setFocus();
                QTest::keyClick(field, Qt::Key_F4);
            };
            // Down from "Точное совпадение" is "Совпадение с лева", right "В любом месте".
            QStringList want(7, QStringLiteral("точное"));
            want[qsizetype(i)] = QStringLiteral("с лева");
            QCOMPARE(choose(f4, {Qt::Key_Down, Qt::Key_Return}), want);
            QCOMPARE(choose(f4, {Qt::Key_Right, Qt::Key_Escape}), want);
            // A screen reader's press (or show-menu) action on the label.
            QAccessibleActionInterface* a =
                QAccessible::queryAccessibleInterface(label)->actionInterface();
            QCOMPARE(a->actionNames(), QStringList({QAccessibleActionInterface::pressAction(),
                                                    QAccessibleActionInterface::showMenuAction()}));
            const QString action = a->actionNames().at(qsizetype(i % 2));
            want[qsizetype(i)] = QStringLiteral("любое");
            QCOMPARE(choose([a, action] { a->doAction(action); }, {Qt::Key_Right, Qt::Key_Enter}),
                     want);
            label->setText(QStringLiteral("точное"));
        }
        // F4 elsewhere opens nothing.
        form->LabeledEdit23->setFocus();
        QTest::keyClick(form->LabeledEdit23, Qt::Key_F4);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void groupBoxesAreReadByTheirOwnCaptions()
    {
        const auto name = [](QObject* o) {
            return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
        };
        const auto labels = [](QObject* o) {
            QStringList out;
            for (const auto& [iface, rel] :
                 QAccessible::queryAccessibleInterface(o)->relations(QAccessible::Label))
                out << iface->text(QAccessible::Name);
            return out;
        };
        const QList<QGroupBox*> boxes = form->findChildren<QGroupBox*>();
        QCOMPARE(boxes.size(), 3);
        for (QGroupBox* b : boxes)
            QCOMPARE(name(b), b->title());
        // The inner box is not labelled by the outer one; its fields are labelled by it.
        QVERIFY(!labels(form->GroupBox2).contains(form->GroupBox1->title()));
        QCOMPARE(labels(form->MaskEdit1), QStringList({"Дополнительная информация"}));
        QVERIFY(labels(form->LabeledEdit24).contains(form->GroupBox1->title()));
    }

    void messageBoxesCarryTheProgramsName()
    {
        QStringList titles;
        const auto title = [&titles] {
            return onModal(isMessageBox, [&titles](QWidget* w) {
                titles << w->windowTitle();
                static_cast<QDialog*>(w)->accept();
            });
        };
        title();
        form->BitBtn2->click(); // nothing to search for
        title();
        form->showError(QStringLiteral("ошибка"));
        QCOMPARE(titles, QStringList(2, QStringLiteral("Справочник г.Ведрогорска")));
    }

    void ownLightLookOnADarkDesktop()
    {
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
        for (QWidget* w : QList<QWidget*>{form.get(), form->LabeledEdit1, form->loadDialog()}) {
            const QPalette& p = w->palette();
            QVERIFY(p.color(QPalette::Base).lightness() > 200);
            QVERIFY(p.color(QPalette::Button).lightness() > 200);
            QVERIFY(p.color(QPalette::Text).lightness() < 60);
        }
        // The maroon caption is drawn on a light face.
        const QImage shot = form->GroupBox1->grab().toImage();
        QVERIFY(shot.pixelColor(shot.width() - 4, shot.height() - 4).lightness() > 200);
        int maroonish = 0;
        for (int x = 0; x < 160; ++x)
            for (int y = 0; y < 16; ++y) {
                const QColor c = shot.pixelColor(x, y);
                maroonish += c.red() > 90 && c.green() < 60 && c.blue() < 60;
            }
        QVERIFY(maroonish > 20);
    }
};

QTEST_MAIN(TestKeyboardAndLook)
#include "test_keyboard_look.moc"
