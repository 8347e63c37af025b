// Files written by the Jet 4 writer, read back by libmdb and by mdbtools' own commands.

#include "tests/tools/MdbRead.h"
#include "tools/jet4/Jet4Text.h"
#include "tools/jet4/Jet4Writer.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using jet4::Cell;
using jet4::Column;
using jet4::ColumnType;
using jet4::Row;

namespace {

std::string cellText(const Cell& c)
{
    return c ? "\"" + *c + "\"" : "NULL";
}

// Compares value by value, NULL and "" kept apart.
void compareRows(const std::vector<Row>& got, const std::vector<Row>& want)
{
    QCOMPARE(got.size(), want.size());
    for (std::size_t r = 0; r < want.size(); ++r) {
        QCOMPARE(got[r].size(), want[r].size());
        for (std::size_t c = 0; c < want[r].size(); ++c)
            if (got[r][c] != want[r][c])
                QFAIL(qPrintable(QString("row %1 column %2: read %3, wrote %4")
                                     .arg(r)
                                     .arg(c)
                                     .arg(QString::fromStdString(cellText(got[r][c])),
                                          QString::fromStdString(cellText(want[r][c])))));
    }
}

std::string repeat(const std::string& unit, int n)
{
    std::string s;
    for (int i = 0; i < n; ++i)
        s += unit;
    return s;
}

const std::vector<Column> kPeople = {
    {"ID", ColumnType::Long}, {"FAM", ColumnType::Text, 50}, {"CITY", ColumnType::Text, 100}};

std::vector<Row> peopleRows(int count)
{
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i)
        rows.push_back({std::to_string(i + 1),
                        i % 7 == 3 ? Cell() : Cell("петров-" + std::to_string(i)),
                        i % 5 == 1 ? Cell("") : Cell("Ведрогорск, ул. Мира " + std::to_string(i))});
    return rows;
}

QString mdbTool(const char* name)
{
    return QString("mdb-") + name;
}

} // namespace

class Jet4Readback : public QObject {
    Q_OBJECT
private slots:
    void smallTableThroughLibmdbAndCommands()
    {
        const std::vector<Row> rows = {
            {"1", "иванов", "  Ведрогорск  "},
            {"-2147483648", std::nullopt, ""},
            {"2147483647", "", std::nullopt},
            {std::nullopt, "O'Brien \"Jr\", 100%_x", "ab"},
            {"+7", "ё", "Ā Ѐ ü"},
        };
        jet4::writeTable("small.mdb", "FZ_T1", kPeople, rows);
        std::vector<Row> want = rows;
        want[4][0] = "7";
        readback::TableInfo info;
        compareRows(readback::readAll("small.mdb", "FZ_T1", &info), want);
        QCOMPARE(info.names, (std::vector<std::string>{"ID", "FAM", "CITY"}));
        QCOMPARE(info.types, (std::vector<int>{MDB_LONGINT, MDB_TEXT, MDB_TEXT}));
        QCOMPARE(info.sizes, (std::vector<int>{4, 100, 200}));
        QCOMPARE(info.rowCount, 5u);
        QCOMPARE(info.ownedMapType, 0);

        const auto tables = readback::run(mdbTool("tables"), {"-1", "small.mdb"});
        QCOMPARE(tables.out.trimmed(), QByteArray("FZ_T1"));
        const auto count = readback::run(mdbTool("count"), {"small.mdb", "FZ_T1"});
        QCOMPARE(count.out.trimmed(), QByteArray("5"));
        const auto schema = readback::run(mdbTool("schema"), {"small.mdb"});
        QVERIFY(schema.out.contains("[ID]\t\t\tLong Integer"));
        QVERIFY(schema.out.contains("[FAM]\t\t\tText (50)"));
        QVERIFY(schema.out.contains("[CITY]\t\t\tText (100)"));
        QVERIFY2(!schema.err.contains("rror"), schema.err.constData());

        // mdb-export prints NULL and "" alike (empty and unquoted); text is quoted.
        const auto exported = readback::run(mdbTool("export"), {"small.mdb", "FZ_T1"});
        QCOMPARE(exported.exitCode, 0);
        const auto records = readback::parseCsv(exported.out.toStdString());
        QCOMPARE(records.size(), want.size() + 1);
        for (std::size_t r = 0; r < want.size(); ++r)
            for (std::size_t c = 0; c < 3; ++c) {
                const readback::CsvField& f = records[r + 1][c];
                QCOMPARE(f.text, want[r][c].value_or(""));
                QCOMPARE(f.quoted, c > 0 && want[r][c] && !want[r][c]->empty());
            }
    }

    // Enough rows for well over 512 data pages: the owned-pages map becomes a reference map
    // with bitmap pages; a second table follows it in the same file.
    void manyPagesUseReferenceMap()
    {
        const std::vector<Row> big = peopleRows(40000);
        const std::vector<Row> tail = peopleRows(900);
        {
            jet4::Writer w("many.mdb");
            w.beginTable("Big", kPeople);
            for (const Row& r : big)
                w.addRow(r);
            w.endTable();
            w.beginTable("Tail", kPeople);
            for (const Row& r : tail)
                w.addRow(r);
            w.endTable();
            w.finish();
        }
        QVERIFY(QFileInfo("many.mdb").size() > 520 * 4096);
        readback::TableInfo info;
        compareRows(readback::readAll("many.mdb", "Big", &info), big);
        QCOMPARE(info.ownedMapType, 1);
        QCOMPARE(info.rowCount, 40000u);
        readback::TableInfo tailInfo;
        compareRows(readback::readAll("many.mdb", "Tail", &tailInfo), tail);
        QCOMPARE(tailInfo.ownedMapType, 0);

        const auto exported = readback::run(mdbTool("export"), {"many.mdb", "Big"});
        QCOMPARE(exported.out.count('\n'), 40001);
        QVERIFY2(exported.err.isEmpty(), exported.err.constData()); // no "page doesn't match"
        QCOMPARE(readback::run(mdbTool("count"), {"many.mdb", "Big"}).out.trimmed(),
                 QByteArray("40000"));
    }

    // Every column at its 255-character limit, in one-byte (Latin) and two-byte (Cyrillic)
    // storage; a row past the Jet limit of 4060 bytes is refused without spoiling the table.
    void fullWidthColumns()
    {
        std::vector<Column> latinCols, cyrCols;
        for (int i = 0; i < 15; ++i)
            latinCols.push_back({"L" + std::to_string(i), ColumnType::Text, 255});
        for (int i = 0; i < 7; ++i)
            cyrCols.push_back({"К" + std::to_string(i), ColumnType::Text, 255});
        Row latin, cyr, latinMixed;
        for (int i = 0; i < 15; ++i) {
            latin.push_back(repeat(std::string(1, static_cast<char>('a' + i)), 255));
            latinMixed.push_back(i % 2 ? Cell() : Cell(repeat("é", 255)));
        }
        for (int i = 0; i < 7; ++i)
            cyr.push_back(repeat("ж", 254) + "Я");

        jet4::Writer w("wide.mdb");
        w.beginTable("Latin", latinCols);
        w.addRow(latin);
        w.addRow(latinMixed);
        w.endTable();
        w.beginTable("Cyr", cyrCols);
        w.addRow(cyr);
        Row tooLong = cyr;
        tooLong.push_back(std::nullopt);
        QVERIFY_THROWS_EXCEPTION(jet4::WriteError, w.addRow(tooLong)); // 8 cells for 7 columns
        w.endTable();
        w.beginTable("Over", {cyrCols[0],
                              cyrCols[1],
                              cyrCols[2],
                              cyrCols[3],
                              cyrCols[4],
                              cyrCols[5],
                              cyrCols[6],
                              {"К7", ColumnType::Text, 255}});
        Row over = cyr;
        over.push_back(cyr[0]);
        try {
            w.addRow(over);
            QFAIL("a row of 8 x 510 bytes was accepted");
        } catch (const jet4::WriteError& e) {
            QVERIFY2(QString(e.what()).contains("4060"), e.what());
        }
        over[7] = "short";
        w.addRow(over);
        w.endTable();
        w.finish();
        compareRows(readback::readAll("wide.mdb", "Latin"), {latin, latinMixed});
        compareRows(readback::readAll("wide.mdb", "Cyr"), {cyr});
        compareRows(readback::readAll("wide.mdb", "Over"), {over});
    }

    // Stored forms: one byte per character where every character allows it, else UTF-16LE;
    // a leading U+FEFF and characters with a zero low byte still read back exactly.
    void textEncodings()
    {
        auto stored = [](const std::string& utf8) {
            std::vector<std::uint8_t> out;
            jet4::appendText(out, jet4::toUcs2(utf8), true);
            return out;
        };
        QCOMPARE(stored("abc"), (std::vector<std::uint8_t>{0xFF, 0xFE, 'a', 'b', 'c'}));
        QCOMPARE(stored("ab"), (std::vector<std::uint8_t>{'a', 0, 'b', 0}));
        QCOMPARE(stored("жук"), (std::vector<std::uint8_t>{0x36, 0x04, 0x43, 0x04, 0x3A, 0x04}));
        QCOMPARE(stored("\xEF\xBB\xBFx"),
                 (std::vector<std::uint8_t>{0xFF, 0xFE, 0, 0xFF, 0xFE, 'x', 0}));
        QVERIFY_THROWS_EXCEPTION(jet4::WriteError, stored("\xEF\xBB\xBF\xC4\x80")); // U+FEFF U+0100

        const std::vector<std::string> values = {
            "abc",          "a",
            "ab",           "",
            "  x  ",        "жук",
            "café crème",   "ĀĀĀ",
            "ЀЀЀ",          "Мир, mixed ё",
            "\xEF\xBB\xBF", "\xEF\xBB\xBFtail",
            "tab\there",    "€ 5",
            "\xC2\xA0nbsp",
        };
        std::vector<Row> rows;
        for (const std::string& v : values)
            rows.push_back({v});
        jet4::writeTable("text.mdb", "T", {{"V", ColumnType::Text, 40}}, rows);
        compareRows(readback::readAll("text.mdb", "T"), rows);

        for (const char* bad :
             {"\xFF", "\xC0\xAF", "\xED\xA0\x80", "\xF0\x9F\x98\x80", "a\xE2\x82"})
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError, jet4::toUcs2(bad));
        QVERIFY_THROWS_EXCEPTION(jet4::WriteError, jet4::toUcs2(std::string("a\0b", 3)));
    }

    // Definitions longer than a page continue on further pages; the first case makes the last
    // column name end exactly at the end of the first page.
    void definitionsSpanningPages()
    {
        for (int layout = 0; layout < 2; ++layout) {
            std::vector<jet4::Column> cols;
            Row row;
            const int n = layout == 0 ? 61 : 255;
            for (int i = 0; i < n; ++i) {
                // 63 + 61 * 25 + 34 * (2 + 40) + 27 * (2 + 38) = 4096
                const std::size_t len = layout == 0 ? (i < 34 ? 20 : 19) : 64;
                std::string name = "C" + std::to_string(i) + "_";
                name += std::string(len - name.size(), layout == 0 ? 'x' : 'y');
                cols.push_back({name, i % 2 ? ColumnType::Long : ColumnType::Text, 3});
                row.push_back(i % 2 ? Cell(std::to_string(i * 1000))
                                    : Cell("v" + std::to_string(i % 10)));
            }
            jet4::writeTable("widedef.mdb", "W", cols, {row, row});
            readback::TableInfo info;
            compareRows(readback::readAll("widedef.mdb", "W", &info), {row, row});
            QCOMPARE(info.names.size(), static_cast<std::size_t>(n));
            QCOMPARE(info.names.back(), cols.back().name);
        }
    }

    void severalTablesAndEmptyOnes()
    {
        jet4::Writer w("multi.mdb");
        w.beginTable("Первая", kPeople);
        for (const Row& r : peopleRows(30))
            w.addRow(r);
        w.endTable();
        w.beginTable("Empty", {{"X", ColumnType::Long}});
        w.endTable();
        w.beginTable("Numbers", {{"N", ColumnType::Long}, {"M", ColumnType::Long}});
        std::vector<Row> numbers;
        for (int i = 0; i < 3000; ++i) // short rows: the 255-rows-per-page limit applies
            numbers.push_back({std::to_string(i), i % 3 ? Cell(std::to_string(-i)) : Cell()});
        for (const Row& r : numbers)
            w.addRow(r);
        w.endTable();
        w.finish();

        const auto tables = readback::run(mdbTool("tables"), {"-1", "multi.mdb"});
        QCOMPARE(tables.out, QByteArray("Первая\nEmpty\nNumbers\n"));
        compareRows(readback::readAll("multi.mdb", "Первая"), peopleRows(30));
        readback::TableInfo emptyInfo;
        QVERIFY(readback::readAll("multi.mdb", "Empty", &emptyInfo).empty());
        QCOMPARE(emptyInfo.names.size(), 1u);
        compareRows(readback::readAll("multi.mdb", "Numbers"), numbers);
        QCOMPARE(readback::run(mdbTool("count"), {"multi.mdb", "Numbers"}).out.trimmed(),
                 QByteArray("3000"));
    }

    // Misuse is refused with a message; a refused row does not end up in the file; a writer
    // that never finishes leaves neither the target nor its temporary file behind.
    void misuseAndAbandonedFiles()
    {
        QFile::remove("misuse.mdb");
        {
            jet4::Writer w("misuse.mdb");
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError, w.addRow({"1"}));
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError,
                                     w.beginTable("T", {{"A", ColumnType::Text, 256}}));
            QVERIFY_THROWS_EXCEPTION(
                jet4::WriteError,
                w.beginTable("T", {{"A", ColumnType::Long}, {"a", ColumnType::Long}}));
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError, w.beginTable("T", {}));
            w.beginTable("T", {{"N", ColumnType::Long}, {"S", ColumnType::Text, 3}});
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError,
                                     w.beginTable("U", {{"N", ColumnType::Long}}));
            const std::vector<Row> bad = {
                {"1"},       {"1", "abcd"},       {"x", "a"},    {"1.5", "a"},  {"", "a"},
                {" 1", "a"}, {"2147483648", "a"}, {"1", "\xC3"}, {"1", "жжжж"},
            };
            for (const Row& r : bad)
                QVERIFY_THROWS_EXCEPTION(jet4::WriteError, w.addRow(r));
            w.addRow({"1", "жжж"});
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError, w.finish()); // table still open
            w.endTable();
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError,
                                     w.beginTable("t", {{"N", ColumnType::Long}}));
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError,
                                     w.beginTable("MSysObjects", {{"N", ColumnType::Long}}));
            QVERIFY(!QFile::exists("misuse.mdb")); // not before finish()
            w.finish();
            QVERIFY_THROWS_EXCEPTION(jet4::WriteError, w.finish());
        }
        compareRows(readback::readAll("misuse.mdb", "T"), {{"1", "жжж"}});
        try {
            jet4::Writer w("misuse.mdb");
            w.beginTable("T", {{"N", ColumnType::Long}});
            w.addRow({"y"});
            QFAIL("non-numeric Long accepted");
        } catch (const jet4::WriteError& e) {
            QVERIFY2(QString(e.what()).contains("column N of row 1 of table T"), e.what());
        }
        // The earlier complete file is untouched, and no temporary file is left over.
        compareRows(readback::readAll("misuse.mdb", "T"), {{"1", "жжж"}});
        QCOMPARE(QDir(".").entryList({"misuse.mdb*"}, QDir::Files), QStringList{"misuse.mdb"});
        QVERIFY_THROWS_EXCEPTION(jet4::WriteError, jet4::Writer("no-such-dir/x.mdb"));
    }
};

QTEST_GUILESS_MAIN(Jet4Readback)
#include "test_jet4_readback.moc"
