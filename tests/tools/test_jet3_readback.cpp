// Jet 3 files from the writer, read back through libmdb in the code page they were written in.

#include "engine/mdb/MdbHeader.h"
#include "tests/tools/MdbRead.h"
#include "tools/jet4/Jet3Writer.h"

#include <QFile>
#include <QtTest>

#include <cstdlib>

using jet4::Column;
using jet4::ColumnType;
using jet4::Row;

namespace {

const std::vector<Column> kColumns = {
    {"Nr", ColumnType::Long}, {"Ort", ColumnType::Text, 40}, {"Betrag", ColumnType::Text, 10}};

std::vector<Row> readIn(const char* charset, const std::string& path, const std::string& table,
                        readback::TableInfo* info = nullptr)
{
    ::setenv("MDB_JET3_CHARSET", charset, 1);
    return readback::readAll(path, table, info);
}

} // namespace

class Jet3Readback : public QObject {
    Q_OBJECT
private slots:
    void textComesBackInItsCodePage()
    {
        const std::vector<Row> rows = {
            {"1", "Montréal", "£ 5"},
            {"-2147483648", std::nullopt, ""},
            {std::nullopt, "Zürich", "€ 3"},
        };
        jet4::writeJet3Table("w1252.mdb", "Umsätze", kColumns, rows, 1252);
        readback::TableInfo info;
        QCOMPARE(readIn("CP1252", "w1252.mdb", "Umsätze", &info), rows);
        QCOMPARE(info.names, (std::vector<std::string>{"Nr", "Ort", "Betrag"}));
        QCOMPARE(info.types, (std::vector<int>{MDB_LONGINT, MDB_TEXT, MDB_TEXT}));
        QCOMPARE(info.sizes, (std::vector<int>{4, 40, 10}));
        QCOMPARE(readback::run("mdb-ver", {"w1252.mdb"}).out.trimmed(), QByteArray("JET3"));

        QFile f("w1252.mdb");
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray head = f.read(engine::kMdbHeaderBytes);
        const engine::MdbHeader h = engine::readMdbHeader(
            reinterpret_cast<const unsigned char*>(head.constData()), head.size());
        QVERIFY(h.format == engine::MdbHeader::Format::Jet3);
        QCOMPARE(h.codePage, 1252u);
        QVERIFY(!h.encrypted && !h.password);

        // The same letters in another code page are other bytes: only that code page reads them.
        const std::vector<Row> cyrillic = {{"7", "Ведрогорск", "Ё"}};
        jet4::writeJet3Table("w1251.mdb", "Города", kColumns, cyrillic, 1251);
        QCOMPARE(readIn("CP1251", "w1251.mdb", "Города"), cyrillic);
        QVERIFY(readIn("CP1252", "w1251.mdb", "Города").empty());
    }

    void refusesWhatItCannotStore()
    {
        const auto refused = [](const std::string& table, const std::vector<Row>& rows) {
            try {
                jet4::writeJet3Table("refused.mdb", table, kColumns, rows, 1252);
            } catch (const jet4::WriteError&) {
                return !QFile::exists("refused.mdb");
            }
            return false;
        };
        QVERIFY(refused("Города", {}));
        QVERIFY(refused("T", {{"1", "Москва", ""}}));
        QVERIFY(refused("T", {{"1", "a", "12345678901"}})); // longer than the column
        const Row wide = {"1", std::string(40, 'x'), std::string(10, 'y')};
        QVERIFY(!refused("T", {wide}));
        QFile::remove("refused.mdb");
        const std::vector<Column> long255 = {{"A", ColumnType::Text, 255}};
        QVERIFY_THROWS_EXCEPTION(jet4::WriteError, jet4::writeJet3Table("long.mdb", "T", long255,
                                                                        {{std::string(251, 'z')}},
                                                                        1252)); // 256 bytes
        QVERIFY(refused("T", std::vector<Row>(40, wide))); // more than one page
        QVERIFY_THROWS_EXCEPTION(jet4::WriteError,
                                 jet4::writeJet3Table("cp.mdb", "T", kColumns, {}, 99999));
    }
};

QTEST_GUILESS_MAIN(Jet3Readback)
#include "test_jet3_readback.moc"
