// Traces that years of editing in Access leave in a file, each made on purpose by the
// project's writer: the file opens, every row is read once with its values, and Count(*) is
// the number of rows read whatever the definition's own count says. A header that records a
// password or encrypted pages gets its own message; a later format's header reads as Jet 4;
// a Jet 3 file's text and names are read in the code page it records.
#include "EngineTestSupport.h"

#include "engine/core/Messages.h"
#include "engine/mdb/MdbCheck.h"
#include "engine/mdb/MdbHeader.h"
#include "tools/jet4/Jet3Writer.h"

#include <fstream>

using namespace enginetest;

namespace {

const std::vector<jet4::Column> kColumns = {
    {"N", jet4::ColumnType::Long},
    {"FAM", jet4::ColumnType::Text, 40},
    {"SUM", jet4::ColumnType::Numeric, 255, 12, 2},
};

std::vector<jet4::Row> rows(int n)
{
    std::vector<jet4::Row> out;
    for (int i = 0; i < n; ++i)
        out.push_back({std::to_string(i), "Иванов-" + std::to_string(i),
                       i % 3 ? Cell(std::to_string(i * 1000 - 2500) + ".5") : Cell()});
    return out;
}

// The rows the engine reads, as "N|FAM|SUM" strings in the table's order.
std::vector<std::string> readBack(const std::string& dir)
{
    engine::AdoQuery q;
    q.setConnectionString(engine::buildConnectionString(dir));
    std::vector<std::string> out;
    for (const auto& r : run(q, "SELECT * FROM FZ_T1"))
        out.push_back(r.at(0).value_or("null") + "|" + r.at(1).value_or("null") + "|" +
                      r.at(2).value_or("null"));
    const auto c = run(q, "SELECT Count(*) FROM FZ_T1");
    if (std::stoll(*c.at(0).at(0)) != static_cast<long long>(out.size()))
        return {"Count(*) differs from the rows read"};
    return out;
}

std::vector<std::string> expected(int n, std::vector<int> skip = {})
{
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i)
        if (std::find(skip.begin(), skip.end(), i) == skip.end())
            out.push_back(std::to_string(i) + "|Иванов-" + std::to_string(i) + "|" +
                          (i % 3 ? std::to_string(i * 1000 - 2500) + ",50" : "null"));
    return out;
}

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

void patch(const std::string& path, std::size_t at, unsigned char x)
{
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    f.seekg(static_cast<std::streamoff>(at));
    char c = 0;
    f.get(c);
    f.seekp(static_cast<std::streamoff>(at));
    f.put(static_cast<char>(static_cast<unsigned char>(c) ^ x));
}

std::string openError(const std::string& dir)
{
    engine::AdoQuery q;
    q.setConnectionString(engine::buildConnectionString(dir));
    return errorOf(q, "SELECT * FROM FZ_T1");
}

} // namespace

class TestAccessTraces : public QObject {
    Q_OBJECT
private slots:
    void staleRowCounts()
    {
        for (std::uint32_t stored : {0u, 3u, 9u, 500u}) {
            const std::string dir = freshDir("stale-" + std::to_string(stored));
            jet4::TableQuirks quirks;
            quirks.storedRows = stored;
            jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", kColumns, rows(7), quirks);
            QCOMPARE(readBack(dir), expected(7));
        }
    }

    void deletedRowsStillCounted()
    {
        const std::string dir = freshDir("deleted");
        jet4::TableQuirks quirks;
        quirks.deletedRows = {0, 4, 5};
        jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", kColumns, rows(8), quirks);
        QCOMPARE(readBack(dir), expected(8, {0, 4, 5}));
    }

    void rowsMovedToAnotherPage()
    {
        // 600 rows span several pages; the moved ones live on a page after all the others.
        const std::string dir = freshDir("moved");
        jet4::TableQuirks quirks;
        quirks.movedRows = {0, 1, 299, 599};
        quirks.storedRows = 601;
        jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", kColumns, rows(600), quirks);
        QCOMPARE(sorted(readBack(dir)), sorted(expected(600)));
    }

    void droppedTextColumnStillCounted()
    {
        const std::vector<jet4::Column> fixedOnly = {kColumns[0], kColumns[2]};
        for (int n : {0, 3}) {
            const std::string dir = freshDir("dropped-" + std::to_string(n));
            jet4::TableQuirks quirks;
            quirks.droppedTextColumn = true;
            std::vector<jet4::Row> rs;
            for (const auto& r : rows(n))
                rs.push_back({r[0], r[2]});
            jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", fixedOnly, rs, quirks);
            engine::AdoQuery q;
            q.setConnectionString(engine::buildConnectionString(dir));
            const auto got = run(q, "SELECT * FROM FZ_T1");
            QCOMPARE(got.size(), std::size_t(n));
            if (n)
                QCOMPARE(got.back().at(1).value_or(""), std::string("-500,50"));
        }
    }

    void protectionAndLaterFormats()
    {
        const std::string dir = freshDir("header");
        const std::string file = dir + "/tabl1.mdb";
        jet4::writeTable(file, "FZ_T1", kColumns, rows(3));
        patch(file, 0x42, 0x5A); // a password character
        QCOMPARE(openError(dir), engine::msg::passwordProtected(file));
        patch(file, 0x42, 0x5A);

        // An encoded file: every page after the first masked under a key the header keeps.
        // Access opens it without a password, and so do we.
        const std::uint32_t key = 0x5EC0DE42;
        for (int i = 0; i < 4; ++i)
            patch(file, 0x3E + i, static_cast<unsigned char>(key >> (8 * i)));
        std::string bytes;
        {
            std::ifstream in(file, std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        }
        for (std::size_t pg = 1; pg < bytes.size() / 4096; ++pg)
            engine::decodePage(key, static_cast<std::uint32_t>(pg),
                               reinterpret_cast<unsigned char*>(bytes.data()) + pg * 4096, 4096);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        QCOMPARE(readBack(dir), expected(3));
        QVERIFY(engine::checkMdbFile(file).empty());
        jet4::writeTable(file, "FZ_T1", kColumns, rows(3));

        // Access 2010's header: the later formats' signature, version 3 in one byte, a
        // non-zero byte after it.
        std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(4);
        f.write("Standard ACE DB", 15);
        f.seekp(0x14);
        f.put(3).put(1);
        f.close();
        QCOMPARE(readBack(dir), expected(3));
        patch(file, 0x3E, 0x01); // a page key in a later format: encrypted under a password
        QCOMPARE(openError(dir), engine::msg::passwordProtected(file));
    }

    void jet3TextInItsCodePage()
    {
        const std::string dir = freshDir("jet3");
        jet4::writeJet3Table(dir + "/tabl1.mdb", "Umsätze", {{"Ort", jet4::ColumnType::Text, 40}},
                             {{"Montréal"}, {"£ 5"}, {std::nullopt}}, 1252);
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        const auto got = run(q, "SELECT * FROM Umsätze");
        QCOMPARE(got.size(), std::size_t(3));
        QCOMPARE(got[0][0].value_or(""), std::string("Montréal"));
        QCOMPARE(got[1][0].value_or(""), std::string("£ 5"));
        QVERIFY(!got[2][0]);
    }
};

QTEST_MAIN(TestAccessTraces)
#include "test_access_traces.moc"
