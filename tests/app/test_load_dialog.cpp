// The loading dialog on its own: everything a load fills in goes out through the hooks of
// whoever opened it, with no main window present.
#include "AppTestSupport.h"

#include "app/StartDatabase.h"
#include "engine/AdoQuery.h"

#include <QComboBox>
#include <QProgressBar>

using namespace apptest;

class TestLoadDialog : public QObject {
    Q_OBJECT

    struct Recorder {
        QStringList events;
        QString error;
        QWidget* errorOver = nullptr;

        TFormLoadData::Hooks hooks()
        {
            TFormLoadData::Hooks h;
            h.starting = [this] { events << "starting"; };
            h.load.statusText = [this](const QString& text) { events << text; };
            h.load.comboItems = [this](const QString& column, const QStringList& items) {
                events << column + "=" + QStringList(items).join('|');
            };
            h.showError = [this](const QString& text, QWidget* over) {
                error = text;
                errorOver = over;
            };
            return h;
        }
    };

private slots:
    void failedThenCompletedLoad()
    {
        const QString dir = enterFolder("load_dialog");
        engine::AdoQuery query;
        ValueLists lists;
        lists.ListStrit = QStringList{"left over"};
        Recorder rec;
        TFormLoadData dialog(query, lists, rec.hooks());

        // No database yet: the failure goes to the opener, over the dialog, and nothing is
        // taken for loaded.
        dialog.SpeedButton1Click();
        QVERIFY(!rec.error.isEmpty());
        QCOMPARE(rec.errorOver, &dialog);
        QVERIFY(!dialog.loaded());
        QCOMPARE(rec.events, QStringList{"starting"});
        QVERIFY(lists.ListStrit.isEmpty());

        writeDatabase(dir, {person({{0, "1"}, {6, "Россия"}, {7, "Ведрогорская"}, {11, "Ленина"}}),
                            person({{0, "2"}, {6, "Россия"}, {11, "Садовая"}})});
        rec = {};
        dialog.SpeedButton1Click();
        QVERIFY(rec.error.isEmpty());
        QVERIFY(dialog.loaded());
        QCOMPARE(rec.events.size(), 4);
        QCOMPARE(rec.events.at(0), QString("starting"));
        QCOMPARE(rec.events.at(1), QString("Количество данных в базе 2"));
        QCOMPARE(rec.events.at(2), QString("Strana=Россия"));
        QVERIFY(rec.events.at(3).startsWith("Obl="));
        QCOMPARE(lists.ListStrit.size(), 2);
        QCOMPARE(dialog.ProgressBar1->value(), 100);
        QVERIFY(query.connectionString().empty());

        // A single list filled on request keeps the box's own text.
        QComboBox box;
        box.setEditable(true);
        box.setEditText("Страна");
        query.setConnectionString(databaseConnectionString());
        dialog.LoadComboBox(&box, "Strana");
        QCOMPARE(box.count(), 1);
        QCOMPARE(box.currentText(), QString("Страна"));
    }
};

QTEST_MAIN(TestLoadDialog)
#include "test_load_dialog.moc"
