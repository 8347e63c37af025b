// CSV export: exact bytes, quoting, failures that must leave old files alone, the dialog.
#include "engine/core/Messages.h"
#include "output/CsvExport.h"
#include "output/CsvLine.h"

#include "ModalTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ListGrid : public GridCells {
public:
    QList<QStringList> rows;
    int cols = 0;
    int gridRowCount() const override { return int(rows.size()); }
    int gridColumnCount() const override { return cols; }
    QString cell(int c, int r) const override { return rows.at(r).value(c); }
};

QByteArray cp1251(const QString& s)
{
    QStringEncoder enc("windows-1251");
    return enc(s);
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

ListGrid sampleGrid()
{
    ListGrid g;
    g.cols = 4;
    g.rows = {{"Фамилия", "Имя", "Дата рождения", "Пол"},
              {"Иванов", "Пётр", "01.02.1970", "М"},
              {"Ёлкина", "", "", "Ж"}};
    return g;
}

// A grid of `rows` records of 17 columns, enough to need several buffer flushes.
ListGrid bigGrid(int rows)
{
    ListGrid g;
    g.cols = 17;
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int c = 0; c < 17; ++c)
            row << QStringLiteral("Ячейка%1_%2").arg(r).arg(c);
        g.rows << row;
    }
    return g;
}

} // namespace

using modaltest::whenModal;

class TestCsv : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    QString path(const QString& name) const { return tmp.filePath(name); }

private slots:
    void wholeGridExactBytes()
    {
        const ListGrid g = sampleGrid();
        QString err;
        QVERIFY(writeGridCsv(g, path("a.csv"), &err));
        QVERIFY(err.isEmpty());
        const QByteArray want = cp1251("Фамилия,Имя,Дата рождения,Пол\r\n"
                                       "Иванов,Пётр,01.02.1970,М\r\n"
                                       "Ёлкина,,,Ж\r\n");
        QCOMPARE(readAll(path("a.csv")), want);
        // Spot-check the code page itself: "Ё" is 0xA8, "ё" 0xB8, "Ф" 0xD4.
        QCOMPARE(readAll(path("a.csv")).left(2), QByteArray("\xD4\xE0"));
        QVERIFY(want.contains("\xCF\xB8\xF2\xF0")); // "Пётр"
    }

    void emptyResultIsHeaderAndSixteenCommas()
    {
        ListGrid g;
        g.cols = 17;
        QStringList header;
        for (int c = 0; c < 17; ++c)
            header << QStringLiteral("К%1").arg(c);
        g.rows = {header, QStringList()};
        QVERIFY(writeGridCsv(g, path("empty.csv"), nullptr));
        QCOMPARE(readAll(path("empty.csv")),
                 cp1251(header.join(',')) + "\r\n" + QByteArray(16, ',') + "\r\n");
    }

    void quotedCellsAndUnmappableCharacters()
    {
        ListGrid g;
        g.cols = 3;
        g.rows = {{"a", "b", "c"},
                  {"Иванов, Пётр", "ООО \"Рога\"", "ул.\r\nЛенина"},
                  {"Müller", QString::fromUtf8("\xF0\x9F\x98\x80"), "中"}};
        QVERIFY(writeGridCsv(g, path("q.csv"), nullptr));
        QCOMPARE(readAll(path("q.csv")),
                 "a,b,c\r\n" + cp1251("\"Иванов, Пётр\",\"ООО \"\"Рога\"\"\",\"ул.\r\nЛенина\"") +
                     "\r\nM?ller,?,?\r\n");
    }

    void failuresReportAndLeaveOldFilesAlone()
    {
        QString err;
        // A folder that does not exist; a "folder" that is a file; a folder as the target.
        QVERIFY(!writeGridCsv(sampleGrid(), path("no/such/folder/a.csv"), &err));
        QVERIFY(err.contains("a.csv"));
        writeFile(path("plain"), "keep");
        err.clear();
        QVERIFY(!writeGridCsv(sampleGrid(), path("plain/a.csv"), &err));
        QVERIFY(!err.isEmpty());
        QVERIFY(QDir(tmp.path()).mkdir("sub"));
        QVERIFY(!writeGridCsv(sampleGrid(), path("sub"), &err));
        QVERIFY(QFileInfo(path("sub")).isDir());
        // A device that refuses every byte.
        if (QFileInfo::exists("/dev/full")) {
            err.clear();
            QVERIFY(!writeGridCsv(sampleGrid(), "/dev/full", &err));
            QVERIFY2(err.contains(QString::fromStdString(engine::msg::diskFull())),
                     qPrintable(err));
            struct stat st {};
            QCOMPARE(::stat("/dev/full", &st), 0);
            QVERIFY(S_ISCHR(st.st_mode)); // still the device, not replaced by a file
        }
        // A pipe with no reader is refused at once instead of waiting for one.
        QVERIFY(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0644) == 0);
        QVERIFY(!writeGridCsv(sampleGrid(), path("pipe"), &err));
        QCOMPARE(readAll(path("plain")), QByteArray("keep"));
    }

    // A regular file on a disk that fills up mid-way: the message says the disk is full.
    void fullDiskSaysSo()
    {
        if (::geteuid() != 0)
            QSKIP("making a small file system to fill needs the superuser");
        const QByteArray dir = QFile::encodeName(path("small"));
        QVERIFY(QDir(tmp.path()).mkdir("small"));
        if (::mount("tmpfs", dir.constData(), "tmpfs", 0, "size=64k") != 0)
            QSKIP("no tmpfs could be mounted here");
        QString err;
        const bool ok = writeGridCsv(bigGrid(5000), path("small/a.csv"), &err);
        ::umount2(dir.constData(), MNT_DETACH);
        QVERIFY(!ok);
        QVERIFY2(err.contains(QString::fromStdString(engine::msg::diskFull())), qPrintable(err));
    }

    void readOnlyFolderLeavesOldFileIntact()
    {
        if (::geteuid() == 0)
            QSKIP("permissions do not bind the superuser");
        QVERIFY(QDir(tmp.path()).mkdir("ro"));
        writeFile(path("ro/r.csv"), "old contents");
        QVERIFY(::chmod(QFile::encodeName(path("ro")).constData(), 0555) == 0);
        QString err;
        const bool ok = writeGridCsv(sampleGrid(), path("ro/r.csv"), &err);
        ::chmod(QFile::encodeName(path("ro")).constData(), 0755);
        QVERIFY(!ok);
        QVERIFY(!err.isEmpty());
        QCOMPARE(readAll(path("ro/r.csv")), QByteArray("old contents"));
    }

    void saveDialogWritesTheChosenFile()
    {
        const QString cwd = QDir::currentPath();
        QStringList filters;
        QString suffix, name;
        bool confirms = true;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            name = d->objectName();
            filters = d->nameFilters();
            suffix = d->defaultSuffix();
            confirms = !d->testOption(QFileDialog::DontConfirmOverwrite);
            choose(d, path("chosen")); // the suffix is added
        });
        exportGridWithDialog(nullptr, sampleGrid());
        QCOMPARE(name, QStringLiteral("SaveDialog1"));
        QCOMPARE(filters, QStringList({"Файл результата поиска (*.csv)"}));
        QCOMPARE(suffix, QStringLiteral("csv"));
        QVERIFY(!confirms);
        QCOMPARE(readAll(path("chosen.csv")).left(2), QByteArray("\xD4\xE0"));
        QCOMPARE(QDir::currentPath(), cwd);

        // Again over the same file: replaced without a question.
        writeFile(path("chosen.csv"), "old");
        whenModal<QFileDialog>([&](QFileDialog* d) { choose(d, path("chosen.csv")); });
        exportGridWithDialog(nullptr, sampleGrid());
        QCOMPARE(readAll(path("chosen.csv")).left(2), QByteArray("\xD4\xE0"));
    }

    void cancelWritesNothing()
    {
        const auto before =
            QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        whenModal<QFileDialog>([&](QFileDialog* d) {
            d->selectFile(path("cancelled"));
            static_cast<QDialog*>(d)->reject();
        });
        exportGridWithDialog(nullptr, sampleGrid());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 before);
    }

    void failedExportShowsAMessage()
    {
        // A full disk after the choice (the file size limit stands in for it): the export
        // fails, says so, and the old file stays, with no half-written file left beside it.
        writeFile(path("fail.csv"), "old contents");
        const auto before = QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden);
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        QString shown;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            whenModal<QMessageBox>([&](QMessageBox* m) {
                shown = m->text();
                m->accept();
            });
            rlimit small = old;
            small.rlim_cur = 64 * 1024;
            ::setrlimit(RLIMIT_FSIZE, &small);
            choose(d, path("fail.csv"));
        });
        exportGridWithDialog(nullptr, bigGrid(20000));
        ::setrlimit(RLIMIT_FSIZE, &old);
        QVERIFY2(shown.contains("fail.csv"), qPrintable(shown));
        QCOMPARE(readAll(path("fail.csv")), QByteArray("old contents"));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden), before);
    }

private:
    // Picks a file in the Save dialog once its folder view has settled, and confirms.
    static void choose(QFileDialog* d, const QString& file)
    {
        d->setDirectory(QFileInfo(file).absolutePath());
        QTest::qWait(50);
        // Typed into the name box, as a person would (selectFile leaves a focused box alone).
        if (auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QFileInfo(file).fileName());
        QTest::qWait(20);
        static_cast<QDialog*>(d)->accept();
    }
};

QTEST_MAIN(TestCsv)
#include "test_csv.moc"
