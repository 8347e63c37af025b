// Through the real main window: mode labels and the chooser feeding the search, a pick list
// filling its field, the help window switching the service mode, and the export it unlocks.
#include "AppTestSupport.h"

#include "app/Controls.h"

#include "output/Help.h"
#include "search/Street.h"
#include "search/VabFinde.h"

#include <QAccessible>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace apptest;

namespace {

// ID KOD FAM NAME OTCHEST IndexFZ STRANA OBL RAION CITI DEREV STRIT N_HOUSE1 N_HOUSE2 N_kv
// DATA_r POL TEL_h TEL_r
std::vector<Row> people()
{
    return {
        person({{0, "1"}, {2, "петров"}, {3, "иван"}, {9, "Ведрогорск"}, {11, "Ленина"}, {16, "муж"}}),
        person({{0, "2"}, {2, "петрова"}, {3, "мария"}, {9, "Новогорск"}, {11, "Мира"}, {16, "жен"}}),
        person({{0, "3"}, {2, "сидоров"}, {3, "пётр"}, {9, "Ведрогорск"}, {11, "Садовая"}, {16, "муж"}}),
        person({{0, "4"}, {2, "гарпетрова"}, {3, "анна"}, {9, "Липецк"}, {11, " Ёлочная "}, {16, "жен"}}),
    };
}

template <class T>
bool isA(QWidget* w)
{
    return qobject_cast<T*>(w) != nullptr;
}

} // namespace

class TestThroughMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> form;
    QString dir;

    QString statement() const { return QString::fromStdString(form->ADOQuery1.sqlText()); }

    // Opens the chooser from a label and confirms the given radio button with OK.
    void chooseMode(QLabel* label, bool doubleClick, const QString& radio)
    {
        onModal(isA<TFormFinde>, [radio](QWidget* w) {
            auto* d = static_cast<TFormFinde*>(w);
            if (auto* r = d->findChild<QRadioButton*>(radio))
                r->setChecked(true);
            d->BitBtn1->click();
        });
        if (doubleClick)
            QTest::mouseDClick(label, Qt::LeftButton);
        else
            QTest::mouseClick(label, Qt::LeftButton);
    }

    QStringList surnamesFound() const
    {
        QStringList out;
        for (int r = 1; r < form->grid().gridRowCount(); ++r)
            out << form->grid().cell(0, r);
        return out;
    }

private slots:
    void initTestCase()
    {
        dir = enterFolder("e2e");
        writeDatabase(dir, people());
        form = startLoaded();
        QVERIFY(form->dataLoaded());
    }
    void cleanupTestCase() { form.reset(); }

    void eachModeShapesTheSearch_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("condition");
        QTest::addColumn<int>("count");
        QTest::newRow("prefix") << "RadioButton1" << "с лева" << "Петр" << "FAM LIKE \"петр%\"" << 2;
        QTest::newRow("substring") << "RadioButton2" << "любое" << "петр" << "FAM LIKE \"%петр%\"" << 3;
        QTest::newRow("suffix") << "RadioButton3" << "с права" << "ова" << "FAM LIKE \"%ова\"" << 2;
        QTest::newRow("exact") << "RadioButton4" << "точное" << "петров" << "FAM=\"петров\"" << 1;
        // heard, not read: finds the man, not the woman nor the longer name
        QTest::newRow("similar") << "RadioButton5" << "похожее" << "Пэтроф" << "FAM SIMILAR \"пэтроф\"" << 1;
    }
    void eachModeShapesTheSearch()
    {
        QFETCH(QString, radio);
        QFETCH(QString, caption);
        QFETCH(QString, typed);
        QFETCH(QString, condition);
        QFETCH(int, count);
        chooseMode(form->StaticText6, true, radio);
        QCOMPARE(form->StaticText6->text(), caption);
        // A screen reader hears the new mode, and the label shows all of it.
        QCOMPARE(QAccessible::queryAccessibleInterface(form->StaticText6)->text(QAccessible::Name),
                 "Режим поиска: Фамилия — " + caption);
        QVERIFY(form->StaticText6->fontMetrics().horizontalAdvance(caption)
                <= form->StaticText6->contentsRect().width());
        form->LabeledEdit1->setText(typed);
        form->BitBtn2->click();
        QCOMPARE(statement(), "SELECT * FROM FZ_T1 WHERE " + condition);
        QCOMPARE(form->LabeledEdit9->text().toInt(), count);
        form->LabeledEdit1->clear();
    }

    void streetModeOpensOnSingleClickAndPickListFillsTheField()
    {
        chooseMode(form->StaticText3, false, QStringLiteral("RadioButton2"));
        QCOMPARE(form->StaticText3->text(), QStringLiteral("любое"));

        QStringList shown;
        onModal(isA<TFormStreet>, [&shown](QWidget* w) {
            auto* d = static_cast<TFormStreet*>(w);
            for (int i = 0; i < d->ListBox1->count(); ++i)
                shown << d->ListBox1->item(i)->text();
            typeText(d->Edit1, QStringLiteral("ЁЛ"));
            QTest::keyClick(d->Edit1, Qt::Key_Return);
        });
        form->Button7->click();
        QCOMPARE(shown, QStringList({"Ёлочная", "Ленина", "Мира", "Садовая"}));
        QCOMPARE(form->LabeledEdit4->text(), QStringLiteral("Ёлочная"));
        form->BitBtn2->click();
        QCOMPARE(statement(), QStringLiteral("SELECT * FROM FZ_T1 WHERE STRIT LIKE \"%Ёлочная%\""));
        QCOMPARE(surnamesFound(), QStringList({"Гарпетрова"}));
        form->LabeledEdit4->clear();
    }

    void serviceModeUnlocksTheExport()
    {
        QVERIFY(form->BitBtn4->isHidden());
        onModal(isA<TFormHelp>, [](QWidget* w) {
            auto* d = static_cast<TFormHelp*>(w);
            typeText(d->Memo2, QStringLiteral("="));
            QTest::keyClick(d->Memo2, Qt::Key_E, Qt::ControlModifier);
            typeText(d->Memo2, QStringLiteral(" "));
            QTest::keyClick(d->Memo2, Qt::Key_Return);
        });
        form->BitBtn3->click();
        QVERIFY(!form->BitBtn4->isHidden());
        QVERIFY(!form->Timer1->isActive());
        QVERIFY(form->Panel2->isHidden());

        // Everyone called "...петр..." goes to a file.
        form->LabeledEdit1->setText(QStringLiteral("петр"));
        form->StaticText6->setText(QStringLiteral("любое"));
        form->BitBtn2->click();
        QCOMPARE(surnamesFound(), QStringList({"Петров", "Петрова", "Гарпетрова"}));
        const QString target = dir + "/out/found";
        QDir().mkpath(dir + "/out");
        onModal(isA<QFileDialog>, [target](QWidget* w) {
            auto* d = static_cast<QFileDialog*>(w);
            d->setDirectory(QFileInfo(target).absolutePath());
            QTest::qWait(50);
            if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QFileInfo(target).fileName());
            static_cast<QDialog*>(d)->accept();
        });
        form->BitBtn4->click();
        QFile f(target + ".csv");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.size(), 5); // header, three records, the empty tail after the last CRLF
        for (int i = 0; i < 4; ++i) {
            QVERIFY(lines.at(i).endsWith('\r'));
            QCOMPARE(lines.at(i).count(','), 16);
        }
        QVERIFY(lines.at(1).contains("\xCF\xE5\xF2\xF0\xEE\xE2")); // "Петров" in cp1251

        // Any other trail hides the button again and restarts the banner.
        onModal(isA<TFormHelp>, [](QWidget* w) {
            QTest::keyClick(static_cast<TFormHelp*>(w)->Memo2, Qt::Key_Return);
        });
        form->BitBtn3->click();
        QVERIFY(form->BitBtn4->isHidden());
        QVERIFY(form->Timer1->isActive());
    }
};

QTEST_MAIN(TestThroughMainWindow)
#include "test_chooser_main_window.moc"
