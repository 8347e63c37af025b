// CSV export of cells that come from a search result: written from their UTF-8 bytes, with
// exactly the bytes the same cells give as text (capitalised names, quoting, characters
// outside the code page, malformed bytes, cells written over the result).
#include "output/CsvExport.h"
#include "output/CsvLine.h"
#include "util/StringGrid.h"
#include "util/Strings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <string>
#include <vector>

namespace {

// Rows of UTF-8 texts; the first two columns are shown with a capital first letter. With
// `bytes` set the source also hands out the bytes themselves.
class Utf8Rows : public GridRowSource {
public:
    std::vector<std::vector<std::string>> rows;
    bool bytes = true;

    QString cell(int col, int dataRow) const override
    {
        const std::string& v = rows.at(size_t(dataRow)).at(size_t(col));
        const QString text = QString::fromUtf8(v.data(), qsizetype(v.size()));
        return col < 2 ? fz::CapitalizeFirst(text) : text;
    }
    bool cellUtf8(int col, int dataRow, std::string_view& text,
                  bool& capitalizeFirst) const override
    {
        if (!bytes)
            return false;
        text = rows.at(size_t(dataRow)).at(size_t(col));
        capitalizeFirst = col < 2;
        return true;
    }
    bool rowUtf8(int dataRow, int columns, std::string_view* text,
                 bool* capitalizeFirst) const override
    {
        const auto& row = rows.at(size_t(dataRow));
        if (!bytes || columns != int(row.size()))
            return false;
        for (int c = 0; c < columns; ++c) {
            text[c] = row[size_t(c)];
            capitalizeFirst[c] = c < 2;
        }
        return true;
    }
};

QByteArray exportOf(const StringGrid& grid, const QString& path)
{
    QString error;
    if (!writeGridCsv(grid, path, &error))
        return "failed: " + error.toUtf8();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "unreadable";
    return f.readAll();
}

const std::vector<std::string> kTexts = {"",
                                         "иванов",
                                         "ёлкин",
                                         "Ёжик",
                                         "émile",
                                         "ßtraße",
                                         "a,b",
                                         "say \"hi\"",
                                         "\"",
                                         "line\r\nbreak",
                                         "€100 — №5 «ok»",
                                         "日本",
                                         "😀smile",
                                         "ǆemal",
                                         "ΣΊΣΥΦΟΣ",
                                         "\xFF"
                                         "bad",
                                         "ok\xD0",
                                         "\xED\xA0\x80x",
                                         "\xC0\xAFover",
                                         "\xF4\x90\x80\x80",
                                         "tab\tin",
                                         std::string("nul\0in", 6),
                                         "ґанок",
                                         "ўсё"};

} // namespace

class TestCsvFromResult : public QObject {
    Q_OBJECT

private slots:
    void bytesEqualTheTextPath()
    {
        auto fast = std::make_shared<Utf8Rows>();
        auto slow = std::make_shared<Utf8Rows>();
        slow->bytes = false;
        // every text in every column, so each is seen capitalised and as it is
        for (size_t i = 0; i < kTexts.size(); ++i)
            fast->rows.push_back(
                {kTexts[i], kTexts[(i + 5) % kTexts.size()], kTexts[(i + 11) % kTexts.size()]});
        // cells beyond the export's buffer (about a megabyte), quoted, on both paths
        std::string big;
        for (int i = 0; i < 300000; ++i)
            big += i % 1000 ? "ж" : "\",";
        fast->rows.push_back({big, "x", big});
        slow->rows = fast->rows;

        StringGrid a(3), b(3);
        for (StringGrid* g : {&a, &b})
            for (int c = 0; c < 3; ++c)
                g->setCell(c, 0, QStringLiteral("Заголовок, %1").arg(c));
        a.setDataRows(fast, int(fast->rows.size()));
        b.setDataRows(slow, int(slow->rows.size()));
        // a cell written over the result wins in both
        a.setCell(1, 3, QStringLiteral("вписано"));
        b.setCell(1, 3, QStringLiteral("вписано"));

        std::string_view bytes;
        bool cap = false;
        QVERIFY(a.cellUtf8(0, 1, bytes, cap) && cap);
        QVERIFY(!a.cellUtf8(0, 0, bytes, cap)); // header
        QVERIFY(!a.cellUtf8(1, 3, bytes, cap)); // written
        QVERIFY(!b.cellUtf8(0, 1, bytes, cap));

        QTemporaryDir dir;
        const QByteArray viaBytes = exportOf(a, dir.filePath("a.csv"));
        const QByteArray viaText = exportOf(b, dir.filePath("b.csv"));
        QCOMPARE(viaBytes, viaText);
        QVERIFY(viaBytes.contains("\"a,b\""));
        QVERIFY(viaBytes.contains("\"Say \"\"hi\"\"\"") || viaBytes.contains("\"say \"\"hi\"\"\""));
        QVERIFY(viaBytes.contains("\xC8\xE2\xE0\xED\xEE\xE2")); // "Иванов", capitalised
        QVERIFY(viaBytes.contains("\xA8\xEB\xEA\xE8\xED"));     // "Ёлкин"

        // Whole rows at a time (no cell written over the result), over many batches of
        // rows: the same bytes again.
        for (int k = 0; k < 200; ++k)
            for (size_t i = 0; i + 1 < slow->rows.size(); ++i)
                fast->rows.push_back(slow->rows[i]);
        slow->rows = fast->rows;
        StringGrid c(3), d(3);
        c.setDataRows(fast, int(fast->rows.size()));
        d.setDataRows(slow, int(slow->rows.size()));
        std::string_view row[3];
        bool caps[3] = {};
        QVERIFY(c.rowUtf8(1, row, caps) && caps[0] && !caps[2] && !d.rowUtf8(1, row, caps));
        QCOMPARE(exportOf(c, dir.filePath("c.csv")), exportOf(d, dir.filePath("d.csv")));
    }

    // Runs of ASCII and of Russian letters are converted many bytes at a time: texts of
    // every length up to 48 bytes, the runs broken anywhere (by quotes, commas, ё, other
    // characters, a malformed byte), give the text path's bytes, cell by cell and whole
    // rows at once.
    void mixedRunsOfEveryLength()
    {
        const std::vector<std::string> pieces = {"ж", "Я", "a",    "Z", " ", ",", "\"",
                                                 "ё", "€", "\xD0", "п", "р", "5"};
        std::uint32_t seed = 7;
        auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
        auto rows = std::make_shared<Utf8Rows>();
        for (int n = 0; n < 48; ++n)
            for (int k = 0; k < 12; ++k) {
                std::string t;
                while (t.size() < size_t(n))
                    t += next() % 3 ? pieces[next() % 3 + (k % 2 ? 8 : 0)]
                                    : pieces[next() % pieces.size()];
                rows->rows.push_back({t, t + "a", t});
            }
        for (const auto& row : rows->rows)
            for (bool cap : {false, true}) {
                const std::string& t = row[0];
                QString text = QString::fromUtf8(t.data(), qsizetype(t.size()));
                QByteArray viaText, viaBytes;
                appendCsvField(viaText, cap ? fz::CapitalizeFirst(text) : text);
                const bool wellFormed = text.toUtf8() == QByteArray::fromStdString(t);
                QCOMPARE(appendCsvFieldUtf8(viaBytes, t, cap), wellFormed);
                if (wellFormed)
                    QCOMPARE(viaBytes, viaText);
            }
        auto slow = std::make_shared<Utf8Rows>(*rows);
        slow->bytes = false;
        StringGrid a(3), b(3);
        a.setDataRows(rows, int(rows->rows.size()));
        b.setDataRows(slow, int(slow->rows.size()));
        QTemporaryDir dir;
        QCOMPARE(exportOf(a, dir.filePath("a.csv")), exportOf(b, dir.filePath("b.csv")));
    }

    void malformedBytesAreLeftToTheTextPath()
    {
        QByteArray out = "x";
        QVERIFY(!appendCsvFieldUtf8(out, "\xFF", false));
        QVERIFY(!appendCsvFieldUtf8(out, "ab\xD0", false));
        QVERIFY(!appendCsvFieldUtf8(out, "\xED\xA0\x80", false));
        QVERIFY(!appendCsvFieldUtf8(out, "\xC0\xAF", false));
        QCOMPARE(out, QByteArray("x")); // nothing appended
        QVERIFY(appendCsvFieldUtf8(out, "я,Я", true));
        QCOMPARE(out, QByteArray("x\"\xDF,\xDF\""));
    }
};

QTEST_GUILESS_MAIN(TestCsvFromResult)
#include "test_csv_from_result.moc"
