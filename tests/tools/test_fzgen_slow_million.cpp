// A million persons: written by fzgen, counted and exported by mdbtools, and read back by
// libmdb value by value against the generator. Prints the times taken.

#include "tests/tools/MdbRead.h"
#include "tools/fzgen/Population.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtTest>

class FzgenMillion : public QObject {
    Q_OBJECT
private slots:
    void millionRows()
    {
        const QString fzgen = QStringLiteral(FZ_BIN_DIR "/fzgen");
        QElapsedTimer timer;
        timer.start();
        const auto made =
            readback::run(fzgen, {"tabl1.mdb", "--rows", "1000000", "--seed", "2007", "--messy"});
        const qint64 writeMs = timer.elapsed();
        QVERIFY2(made.exitCode == 0, made.err.constData());
        const qint64 bytes = QFileInfo("tabl1.mdb").size();

        QCOMPARE(readback::run("mdb-count", {"tabl1.mdb", "FZ_T1"}).out.trimmed(),
                 QByteArray("1000000"));
        timer.restart();
        QProcess exporter;
        exporter.setStandardOutputFile("export.csv");
        exporter.start("mdb-export", {"tabl1.mdb", "FZ_T1"});
        QVERIFY(exporter.waitForFinished(600000));
        const qint64 exportMs = timer.elapsed();
        QCOMPARE(exporter.exitCode(), 0);
        QVERIFY(exporter.readAllStandardError().isEmpty());
        qint64 lines = 0;
        {
            QFile f("export.csv");
            QVERIFY(f.open(QIODevice::ReadOnly));
            // Values hold no line breaks, so records are lines.
            while (!f.atEnd())
                lines += f.readLine().endsWith('\n');
        }
        QCOMPARE(lines, 1000001);
        QFile::remove("export.csv");

        fzgen::Options o;
        o.rows = 1000000;
        o.seed = 2007;
        o.messy = true;
        fzgen::PersonGenerator generator(o);
        readback::TableInfo info;
        std::uint64_t n = 0, mismatches = 0;
        timer.restart();
        QVERIFY(readback::readTable("tabl1.mdb", "FZ_T1", info, [&](const jet4::Row& row) {
            ++n;
            mismatches += row != generator.next();
        }));
        const qint64 readMs = timer.elapsed();
        QCOMPARE(n, 1000000u);
        QCOMPARE(mismatches, 0u);
        QCOMPARE(info.ownedMapType, 1);
        QFile::remove("tabl1.mdb");
        qInfo("1,000,000 rows: fzgen %lld ms (%lld MB), mdb-export %lld ms, libmdb read %lld ms",
              writeMs, bytes / 1000000, exportMs, readMs);
    }
};

QTEST_GUILESS_MAIN(FzgenMillion)
#include "test_fzgen_slow_million.moc"
