// A city-sized file: the loading dialog shows the import's progress, and a search that finds
// a large part of the table is shown at once.
#include "AppTestSupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

using namespace apptest;

class TestBig : public QObject {
    Q_OBJECT
private slots:
    void importProgressAndBigResult()
    {
        const int rows = qEnvironmentVariableIntValue("FZ_BIG_ROWS") > 0
                             ? qEnvironmentVariableIntValue("FZ_BIG_ROWS")
                             : 300000;
        const QString dir = enterFolder("big");
        fzgen::Options options;
        options.rows = std::uint64_t(rows);
        options.seed = 7;
        fzgen::writePersons((dir + "/tabl1.mdb").toStdString(), options);

        QList<int> seen;
        int timerTicks = 0;
        QTimer ticker; // stands for the window system: it must keep running during the import
        QObject::connect(&ticker, &QTimer::timeout, [&] { ++timerTicks; });
        ticker.start(20);
        onModal(isLoadDialog, [&](QWidget* w) {
            auto* d = static_cast<TFormLoadData*>(w);
            QObject::connect(d->ProgressBar1, &QProgressBar::valueChanged,
                             [&](int v) { seen << v; });
            confirmLoad(w);
        });
        QElapsedTimer load;
        load.start();
        auto form = std::make_unique<TForm1>();
        const qint64 loadMs = load.elapsed();
        QVERIFY(form->dataLoaded());
        form->show();
        qInfo("first open and load of %d rows: %lld ms, progress values %s", rows, loadMs,
              qPrintable([&] {
                  QStringList s;
                  for (int v : seen)
                      s << QString::number(v);
                  return s.join(',');
              }()));
        QCOMPARE(form->statusText(), QString("Количество данных в базе %1").arg(rows));
        QVERIFY(std::any_of(seen.begin(), seen.end(), [](int v) { return v > 0 && v < 15; }));
        QVERIFY(seen.endsWith(100));
        QVERIFY(timerTicks > 0);

        // Sex alone: about half the table, from the button to a filled grid.
        form->CheckBox2->click();
        QElapsedTimer t;
        t.start();
        form->BitBtn2->click();
        const qint64 searchMs = t.elapsed();
        const int found = form->LabeledEdit9->text().toInt();
        qInfo("\"М\" alone: %d records, button to grid ready %lld ms", found, searchMs);
        QVERIFY(found > rows / 3);
        QCOMPARE(form->grid().gridRowCount(), found + 1);
        QVERIFY(!form->grid().cell(0, found).isEmpty());
        QCOMPARE(form->grid().cell(14, found), QString("муж"));
    }
};

QTEST_MAIN(TestBig)
#include "test_big_slow.moc"
