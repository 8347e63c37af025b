// "Поиск..." end to end: fields -> statement -> engine -> count field and grid.
#include "AppTestSupport.h"

#include "app/Controls.h"

#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace apptest;

namespace {

const QString kSelect = QStringLiteral("SELECT * FROM FZ_T1 WHERE ");

// ID KOD FAM NAME OTCHEST IndexFZ STRANA OBL RAION CITI DEREV STRIT N_HOUSE1 N_HOUSE2 N_kv
// DATA_r POL TEL_h TEL_r
std::vector<Row> people()
{
    return {
        // clang-format off
        person({{0, "1"}, {1, "a"}, {2, "петров"}, {3, "иван"}, {4, "иванович"}, {5, "123456"},
                {6, "Россия"}, {7, "Ведрогорская"}, {8, "Центральный"}, {9, "Ведрогорск"},
                {11, "Ленина"}, {12, "12"}, {13, "1"}, {14, "5"}, {15, "01.02.1970"},
                {16, "муж"}, {17, "2223344"}, {18, "5556677"}}),
        person({{0, "2"}, {1, "b"}, {2, "петрова"}, {3, "мария"}, {4, "ивановна"}, {5, "123457"},
                {6, "Россия"}, {7, "Ведрогорская"}, {8, "Северный"}, {9, "Ведрогорск"},
                {10, "Липки"}, {11, "Ленина"}, {12, "12 "}, {14, "7"}, {15, "03.04.1980"},
                {16, "жен"}, {17, "2223345"}}),
        person({{0, "3"}, {1, "c"}, {2, "сидоров"}, {3, "пётр"}, {4, "петрович"}, {5, "123456"},
                {6, "Беларусь"}, {7, "Минская"}, {8, "Центральный"}, {9, "Новогорск"}, {10, ""},
                {11, "Садовая"}, {12, "3"}, {13, ""}, {14, "5"}, {15, "01.02.1970"}, {16, "муж"},
                {18, "5556678"}}),
        person({{0, "4"}, {2, "о\"брайен"}, {3, "джон"}, {9, "абвгдежзийклмнопрсту"},
                {11, "a_b"}, {16, "муж"}}),
        person({{0, "5"}, {2, "кузнецова"}, {3, "анна"}, {11, "axb"}, {16, "жен"}}),
        // clang-format on
    };
}

} // namespace

class TestSearchRun : public QObject {
    Q_OBJECT

    std::unique_ptr<TForm1> form;

    // Presses "Поиск..." and returns the message shown, if any.
    QString search()
    {
        QString message;
        QPointer<QTimer> watch = captureMessage(&message);
        form->BitBtn2->click();
        delete watch.data();
        return message;
    }
    QString statement() const { return QString::fromStdString(form->ADOQuery1.sqlText()); }
    int found() const { return form->LabeledEdit9->text().toInt(); }
    QStringList column(int c) const
    {
        QStringList out;
        for (int r = 1; r < form->grid().gridRowCount(); ++r)
            out << form->grid().cell(c, r);
        return out;
    }
    void resetFields()
    {
        for (QLineEdit* e :
             {form->LabeledEdit1, form->LabeledEdit2, form->LabeledEdit3, form->LabeledEdit24,
              form->LabeledEdit25, form->LabeledEdit26, form->LabeledEdit4})
            e->clear();
        form->LabeledEdit23->setText("Индекс");
        form->ComboBox1->setEditText("Страна");
        form->ComboBox6->setEditText("Область");
        form->LabeledEdit7->setText("№дома 1");
        form->Edit1->setText("№дома 2");
        form->LabeledEdit8->setText("№ кв.");
        form->MaskEdit1->clear();
        form->LabeledEdit5->setText("XXXXXXXXXX");
        form->LabeledEdit6->setText("XXXXXXXXXX");
        form->CheckBox1->setChecked(false);
        form->CheckBox2->setChecked(false);
        for (QLabel* l :
             {static_cast<QLabel*>(form->StaticText6), static_cast<QLabel*>(form->StaticText14),
              static_cast<QLabel*>(form->StaticText15), static_cast<QLabel*>(form->StaticText4),
              static_cast<QLabel*>(form->StaticText8), static_cast<QLabel*>(form->StaticText9),
              static_cast<QLabel*>(form->StaticText3)})
            l->setText("точное");
    }

private slots:
    void initTestCase()
    {
        writeDatabase(enterFolder("people"), people());
        form = startLoaded();
        QVERIFY(form->dataLoaded());
    }
    void init() { resetFields(); }
    void cleanupTestCase() { form.reset(); }

    void eachCriterionAlone_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("where");
        QTest::addColumn<QStringList>("ids"); // as found, in table order
        // clang-format off
        QTest::newRow("surname") << "LabeledEdit1" << "  ПеТРов " << "FAM=\"петров\"" << QStringList{"Петров"};
        QTest::newRow("name") << "LabeledEdit2" << "Мария" << "NAME=\"мария\"" << QStringList{"Петрова"};
        QTest::newRow("patronymic") << "LabeledEdit3" << "ПЕТРОВИЧ" << "OTCHEST=\"петрович\"" << QStringList{"Сидоров"};
        QTest::newRow("index") << "LabeledEdit23" << " 123456" << "IndexFZ=\"123456\"" << QStringList{"Петров", "Сидоров"};
        QTest::newRow("country") << "ComboBox1" << "Беларусь" << "STRANA=\"Беларусь\"" << QStringList{"Сидоров"};
        QTest::newRow("region") << "ComboBox6" << "Ведрогорская" << "OBL=\"Ведрогорская\"" << QStringList{"Петров", "Петрова"};
        QTest::newRow("district") << "LabeledEdit24" << "Центральный " << "RAION=\"Центральный\"" << QStringList{"Петров", "Сидоров"};
        QTest::newRow("city") << "LabeledEdit25" << "Новогорск" << "CITI=\"Новогорск\"" << QStringList{"Сидоров"};
        QTest::newRow("village") << "LabeledEdit26" << "Липки" << "DEREV=\"Липки\"" << QStringList{"Петрова"};
        QTest::newRow("street") << "LabeledEdit4" << "Ленина" << "STRIT=\"Ленина\"" << QStringList{"Петров", "Петрова"};
        QTest::newRow("house 2") << "Edit1" << "1" << "N_HOUSE2=\"1\"" << QStringList{"Петров"};
        QTest::newRow("flat") << "LabeledEdit8" << "7" << "N_kv=\"7\"" << QStringList{"Петрова"};
        QTest::newRow("home phone") << "LabeledEdit5" << "2223345" << "TEL_h=\"2223345\"" << QStringList{"Петрова"};
        QTest::newRow("work phone") << "LabeledEdit6" << "5556678" << "TEL_r=\"5556678\"" << QStringList{"Сидоров"};
        QTest::newRow("quote searches for itself") << "LabeledEdit1" << "О\"Брайен" << "FAM=\"о\"\"брайен\"" << QStringList{"О\"брайен"};
        // clang-format on
    }
    void eachCriterionAlone()
    {
        QFETCH(QString, control);
        QFETCH(QString, text);
        QFETCH(QString, where);
        QFETCH(QStringList, ids);
        QWidget* w = form->findChild<QWidget*>(control);
        QVERIFY(w);
        if (auto* c = qobject_cast<QComboBox*>(w))
            c->setEditText(text);
        else
            static_cast<QLineEdit*>(w)->setText(text);
        QCOMPARE(search(), QString());
        QCOMPARE(statement(), kSelect + where);
        QCOMPARE(found(), ids.size());
        QCOMPARE(column(0), ids);
    }

    void dateAndSex()
    {
        form->MaskEdit1->setFocus();
        form->MaskEdit1->home(false);
        QTest::keyClicks(form->MaskEdit1, "01021970");
        search();
        QCOMPARE(statement(), kSelect + "DATA_r=\"01.02.1970\"");
        QCOMPARE(found(), 2);

        resetFields();
        form->CheckBox1->click();
        search();
        QCOMPARE(statement(), kSelect + "POL=\"жен\"");
        QCOMPARE(column(0), (QStringList{"Петрова", "Кузнецова"}));
        form->CheckBox2->click();
        search();
        QCOMPARE(statement(), kSelect + "POL=\"муж\"");
        QCOMPARE(found(), 3);
    }

    void houseNumberKeepsItsTrailingSpace()
    {
        form->LabeledEdit7->setText("12 ");
        search();
        QCOMPARE(statement(), kSelect + "N_HOUSE1=\"12 \"");
        QVERIFY(column(0).contains("Петрова"));
    }

    void combinedInTheirFixedOrder()
    {
        form->CheckBox2->click();
        form->LabeledEdit25->setText("Ведрогорск");
        form->LabeledEdit1->setText("Петр");
        form->StaticText6->setText("с лева"); // as the chooser writes it
        search();
        QCOMPARE(statement(),
                 kSelect + "FAM LIKE \"петр%\" AND CITI=\"Ведрогорск\" AND POL=\"муж\"");
        QCOMPARE(column(0), QStringList{"Петров"});

        resetFields();
        form->LabeledEdit4->setText("a_b");
        form->StaticText3->setText("любое");
        form->LabeledEdit3->setText("ович");
        form->StaticText15->setText("с права");
        form->LabeledEdit3->clear();
        search();
        QCOMPARE(statement(), kSelect + "STRIT LIKE \"%a_b%\"");
        QCOMPARE(found(), 2); // "_" stays a wildcard outside the exact mode
        form->StaticText3->setText("точное");
        search();
        QCOMPARE(found(), 1);

        resetFields();
        form->LabeledEdit3->setText("ович");
        form->StaticText15->setText("с права");
        form->LabeledEdit24->setText("Центр");
        form->StaticText4->setText("с лева");
        form->LabeledEdit23->setText("123456");
        search();
        QCOMPARE(statement(),
                 kSelect +
                     "OTCHEST LIKE \"%ович\" AND IndexFZ=\"123456\" AND RAION LIKE \"Центр%\"");
        QCOMPARE(column(0), (QStringList{"Петров", "Сидоров"}));
    }

    void nothingToSearchFor()
    {
        form->LabeledEdit1->setText("петров");
        search();
        QCOMPARE(form->grid().gridRowCount(), 2);
        form->LabeledEdit1->clear();
        // Placeholders and an emptied combo box add no condition; nor do both sex boxes.
        form->ComboBox6->setEditText("");
        {
            const QSignalBlocker b1(form->CheckBox1), b2(form->CheckBox2);
            form->CheckBox1->setChecked(true);
            form->CheckBox2->setChecked(true);
        }
        form->LabeledEdit1->setText("petrov");
        search();
        form->LabeledEdit1->clear();
        const QString before = statement();
        QCOMPARE(search(), QString("Не выбрана информация для поиска !!!"));
        QCOMPARE(statement(), before); // nothing was run
        QCOMPARE(form->LabeledEdit9->text(), QString("0"));
        QCOMPARE(form->grid().gridRowCount(), 2);
        QCOMPARE(form->grid().cell(0, 1), QString());
        QCOMPARE(form->grid().cell(0, 0), QString("Фамилия"));
    }

    void gridContents()
    {
        form->LabeledEdit1->setText("о\"брайен");
        search();
        QCOMPARE(form->grid().gridRowCount(), 2);
        QCOMPARE(form->grid().cell(1, 1), QString("Джон"));
        QCOMPARE(form->grid().cell(3, 1), QString("абвгдежзийклмнопрсту"));
        QCOMPARE(form->grid().cell(4, 1), QString()); // null
        QCOMPARE(form->grid().cell(14, 1), QString("муж"));
        QCOMPARE(form->StringGrid1->columnWidth(3), 160); // 20 characters
        QCOMPARE(
            form->StringGrid1->model()->data(form->StringGrid1->model()->index(0, 0)).toString(),
            QString("О\"брайен"));

        resetFields();
        form->LabeledEdit1->setText("сидоров");
        search();
        QCOMPARE(form->grid().cell(3, 1), QString("Новогорск"));
        QCOMPARE(form->StringGrid1->columnWidth(3), 160); // never narrower again

        resetFields();
        form->LabeledEdit1->setText("никого");
        search();
        QCOMPARE(form->LabeledEdit9->text(), QString("0"));
        QCOMPARE(form->grid().gridRowCount(), 2);
        QCOMPARE(form->grid().cell(0, 1), QString());
    }

    // The grid's title click sorts and Ctrl+C copies; the next search is in table order.
    void gridSortsAndCopies()
    {
        form->ComboBox6->setEditText("Ведрогорская");
        search();
        QCOMPARE(column(0), QStringList({"Петров", "Петрова"}));
        QHeaderView* h = form->StringGrid1->horizontalHeader();
        const QPoint title(h->sectionViewportPosition(0) + 5, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, title);
        QCOMPARE(column(0), QStringList({"Петрова", "Петров"}));
        form->StringGrid1->setFocus();
        form->StringGrid1->setCurrentIndex(form->StringGrid1->model()->index(0, 1));
        QTest::keyClick(form->StringGrid1, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("Имя\nМария\n"));
        search();
        QCOMPARE(column(0), QStringList({"Петров", "Петрова"}));
    }

    void enterInTheSurnameFieldSearches()
    {
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        form->LabeledEdit1->setFocus();
        typeText(form->LabeledEdit1, "Кузнецова");
        form->LabeledEdit9->clear();
        QTest::keyClick(form->LabeledEdit1, Qt::Key_Return);
        QCOMPARE(statement(), kSelect + "FAM=\"кузнецова\"");
        QCOMPARE(form->LabeledEdit9->text(), QString("1"));

        // The same from an editable combo box and from the date field.
        resetFields();
        const int items = form->ComboBox1->count();
        form->ComboBox1->setFocus();
        form->ComboBox1->setEditText("Беларусь");
        QTest::keyClick(form->ComboBox1->lineEdit(), Qt::Key_Return);
        QCOMPARE(statement(), kSelect + "STRANA=\"Беларусь\"");
        QCOMPARE(form->ComboBox1->count(), items); // Enter adds no item to the list
        resetFields();
        form->MaskEdit1->setFocus();
        form->MaskEdit1->home(false);
        QTest::keyClicks(form->MaskEdit1, "03041980");
        QTest::keyClick(form->MaskEdit1, Qt::Key_Enter);
        QCOMPARE(statement(), kSelect + "DATA_r=\"03.04.1980\"");
        QCOMPARE(form->LabeledEdit9->text(), QString("1"));
    }

    void engineErrorLeavesCountAndGrid()
    {
        form->LabeledEdit1->setText("петров");
        search();
        QCOMPARE(found(), 1);
        form->LabeledEdit1->setText("сидоров");
        form->StaticText6->setText("нет такого режима"); // leaves " AND " without a condition
        const QString message = search();
        QCOMPARE(statement(), kSelect);
        QVERIFY(!message.isEmpty());
        QCOMPARE(found(), 1);
        QCOMPARE(form->grid().cell(0, 1), QString("Петров"));
    }

    void searchLooksInTheCurrentDirectory()
    {
        const QString home = QDir::currentPath();
        enterFolder("elsewhere");
        form->LabeledEdit1->setText("петров");
        const QString message = search();
        QVERIFY(!message.isEmpty());
        QVERIFY(QString::fromStdString(form->ADOQuery1.connectionString())
                    .contains("/elsewhere/tabl1.mdb"));
        QDir::setCurrent(home);
        search();
        QCOMPARE(found(), 1);
        QCOMPARE(QDir::currentPath(), home);
    }

    void tooFewColumnsIsAnErrorBeforeTheCount()
    {
        auto columns = fzgen::personColumns();
        columns.resize(12);
        std::vector<Row> rows = {person({{0, "1"}, {2, "петров"}, {6, "Россия"}})};
        for (auto& r : rows)
            r.resize(12);
        writeDatabase(enterFolder("narrow"), rows, columns);
        form->LabeledEdit9->setText("77");
        form->LabeledEdit1->setText("петров");
        const QString message = search();
        QVERIFY(message.contains("19"));
        QCOMPARE(form->LabeledEdit9->text(), QString("77"));
    }
};

QTEST_MAIN(TestSearchRun)
#include "test_search_run.moc"
