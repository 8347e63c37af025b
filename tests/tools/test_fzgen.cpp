// The synthetic population: its command, determinism, CSV output and the shape of its data.

#include "tests/tools/MdbRead.h"
#include "tools/fzgen/Population.h"
#include "util/PersonTable.h"

#include <QFile>
#include <QtTest>

#include <map>
#include <set>

using jet4::Cell;
using jet4::Row;

namespace {

const QString kFzgen = QStringLiteral(FZ_BIN_DIR "/fzgen");

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool endsWith(const std::string& s, const std::string& t)
{
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

bool hasUpper(const std::string& s)
{
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        const auto n = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
        if ((c >= 'A' && c <= 'Z') || (c == 0xD0 && n >= 0x90 && n <= 0xAF) ||
            (c == 0xD0 && n == 0x81))
            return true;
    }
    return false;
}

bool isDate(const std::string& s)
{
    if (s.size() != 10 || s[2] != '.' || s[5] != '.')
        return false;
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (s[i] < '0' || s[i] > '9')
            return false;
    const int day = std::stoi(s.substr(0, 2));
    const int month = std::stoi(s.substr(3, 2));
    const int year = std::stoi(s.substr(6));
    return day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 1900 && year <= 2007;
}

using namespace fz::person;

} // namespace

class Fzgen : public QObject {
    Q_OBJECT
private slots:
    void sameSeedSameBytes()
    {
        for (const char* f : {"a.mdb", "b.mdb", "c.mdb", "m1.mdb", "m2.mdb"})
            QFile::remove(f);
        QCOMPARE(readback::run(kFzgen, {"a.mdb", "--rows", "3000", "--seed", "7"}).exitCode, 0);
        QCOMPARE(readback::run(kFzgen, {"--seed", "7", "--rows", "3000", "b.mdb"}).exitCode, 0);
        QCOMPARE(readback::run(kFzgen, {"c.mdb", "--rows", "3000", "--seed", "8"}).exitCode, 0);
        QCOMPARE(readback::run(kFzgen, {"m1.mdb", "--rows", "3000", "--messy"}).exitCode, 0);
        QCOMPARE(readback::run(kFzgen, {"m2.mdb", "--messy", "--rows", "3000"}).exitCode, 0);
        const QByteArray a = fileBytes("a.mdb");
        QVERIFY(a.size() > 100 * 4096);
        QCOMPARE(a.size() % 4096, 0);
        QVERIFY(a == fileBytes("b.mdb"));
        QVERIFY(a != fileBytes("c.mdb"));
        QVERIFY(fileBytes("m1.mdb") == fileBytes("m2.mdb"));
    }

    void csvMatchesTheDatabase()
    {
        QCOMPARE(readback::run(kFzgen, {"p.mdb", "--rows", "5000", "--seed", "3", "--messy",
                                        "--csv", "p.csv"})
                     .exitCode,
                 0);
        const auto records = readback::parseCsv(fileBytes("p.csv").toStdString());
        QVERIFY(fileBytes("p.csv").contains("\r\n"));
        readback::TableInfo info;
        const std::vector<Row> rows = readback::readAll("p.mdb", "FZ_T1", &info);
        QCOMPARE(rows.size(), 5000u);
        QCOMPARE(records.size(), rows.size() + 1);
        std::vector<std::string> header;
        for (const auto& f : records[0])
            header.push_back(f.text);
        QCOMPARE(header, info.names);
        int nulls = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            QCOMPARE(records[r + 1].size(), rows[r].size());
            for (std::size_t c = 0; c < rows[r].size(); ++c) {
                const readback::CsvField& f = records[r + 1][c];
                const Cell fromCsv = !f.quoted && f.text == "\\N" ? Cell() : Cell(f.text);
                nulls += !fromCsv;
                if (fromCsv != rows[r][c])
                    QFAIL(qPrintable(QString("row %1 column %2 differs").arg(r).arg(c)));
            }
        }
        QVERIFY(nulls > 0);
        // The quoting rules themselves.
        QCOMPARE(fzgen::csvLine({"a", "", std::nullopt, "\\N", "x,y", "say \"hi\"", " s "}),
                 std::string("a,,\\N,\"\\N\",\"x,y\",\"say \"\"hi\"\"\", s \r\n"));
    }

    // Plain persons follow the rules the program relies on and look like a real city.
    void plainPersonsHaveRealisticShape()
    {
        fzgen::Options o;
        o.rows = 20000;
        o.seed = 2007;
        fzgen::writePersons("plain.mdb", o);
        readback::TableInfo info;
        const std::vector<Row> rows = readback::readAll("plain.mdb", "FZ_T1", &info);
        QCOMPARE(rows.size(), 20000u);
        QCOMPARE(info.names, (std::vector<std::string>{"ID", "KOD", "FAM", "NAME", "OTCHEST",
                                                       "IndexFZ", "STRANA", "OBL", "RAION", "CITI",
                                                       "DEREV", "STRIT", "N_HOUSE1", "N_HOUSE2",
                                                       "N_kv", "DATA_r", "POL", "TEL_h", "TEL_r"}));
        QCOMPARE(info.types[ID], MDB_LONGINT);
        for (std::size_t c = 1; c < info.types.size(); ++c)
            QCOMPARE(info.types[c], MDB_TEXT);

        std::map<std::string, int> surnames;
        std::set<std::string> districts, streets, cities;
        int city = 0, noWorkPhone = 0, nulls = 0;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            QCOMPARE(*r[ID], std::to_string(i + 1));
            const bool female = *r[POL] == "жен";
            QVERIFY(female || *r[POL] == "муж");
            for (int c : {FAM, NAME, OTCHEST})
                QVERIFY2(!r[c] || !hasUpper(*r[c]), r[c]->c_str());
            const std::string& fam = *r[FAM];
            const bool femaleForm = endsWith(fam, "ова") || endsWith(fam, "ева") ||
                                    endsWith(fam, "ина") || endsWith(fam, "ская");
            const bool maleForm = endsWith(fam, "ов") || endsWith(fam, "ев") ||
                                  endsWith(fam, "ин") || endsWith(fam, "ский");
            QVERIFY2(female ? !maleForm : !femaleForm, fam.c_str());
            if (r[OTCHEST] && !r[OTCHEST]->empty())
                QVERIFY2(endsWith(*r[OTCHEST], female ? "на" : "ич"), r[OTCHEST]->c_str());
            if (r[DATA_r] && !r[DATA_r]->empty())
                QVERIFY2(isDate(*r[DATA_r]), r[DATA_r]->c_str());
            if (r[IndexFZ] && !r[IndexFZ]->empty())
                QVERIFY(r[IndexFZ]->size() == 6 &&
                        r[IndexFZ]->find_first_not_of("0123456789") == std::string::npos);
            ++surnames[fam];
            if (r[RAION] && !r[RAION]->empty())
                districts.insert(*r[RAION]);
            if (r[STRIT])
                streets.insert(*r[STRIT]);
            if (r[CITI])
                cities.insert(*r[CITI]);
            city += r[CITI] == Cell("Ведрогорск");
            noWorkPhone += !r[TEL_r] || r[TEL_r]->empty();
            for (const Cell& c : r)
                nulls += !c;
        }
        std::vector<int> counts;
        for (const auto& [name, n] : surnames)
            counts.push_back(n);
        std::sort(counts.rbegin(), counts.rend());
        QVERIFY2(counts.front() > 20 * counts[counts.size() / 2], "surnames are not Zipf-like");
        QVERIFY(districts.size() >= 8 && districts.size() <= 15);
        QVERIFY(streets.size() > 200);
        QVERIFY(cities.size() >= 5 && cities.size() <= 12);
        QVERIFY(city > 14000);
        QVERIFY(noWorkPhone > 12000);
        QVERIFY(nulls > 200);
    }

    // --messy keeps the plain persons and adds awkward values to a few rows.
    void messyRowsAddAwkwardValues()
    {
        fzgen::Options o;
        o.rows = 20000;
        fzgen::PersonGenerator plain(o);
        o.messy = true;
        fzgen::PersonGenerator messy(o);
        int changed = 0;
        std::map<std::string, int> seen;
        for (std::uint64_t i = 0; i < o.rows; ++i) {
            const Row a = plain.next();
            const Row b = messy.next();
            QCOMPARE(a[ID], b[ID]);
            if (a == b)
                continue;
            ++changed;
            for (const Cell& c : b) {
                if (!c)
                    continue;
                const std::string& v = *c;
                if (!v.empty() && (v.front() == ' ' || v.back() == ' '))
                    ++seen["space"];
                for (const char* s : {"\"", ",", "%", "_"})
                    if (v.find(s) != std::string::npos)
                        ++seen[s];
                if (v.empty())
                    ++seen["empty"];
                if (hasUpper(v) && v != *a[static_cast<std::size_t>(&c - &b[0])])
                    ++seen["case"];
            }
        }
        QVERIFY2(changed > 500 && changed < 2000, qPrintable(QString::number(changed)));
        for (const char* k : {"space", "\"", ",", "%", "_", "empty", "case"})
            QVERIFY2(seen[k] > 10, k);
    }

    void commandLineErrors()
    {
        const QList<QStringList> bad = {
            {},
            {"x.mdb"},
            {"x.mdb", "--rows"},
            {"x.mdb", "--rows", "ten"},
            {"x.mdb", "--rows", "-5"},
            {"x.mdb", "--rows", "5", "--seed", "1x"},
            {"x.mdb", "--rows", "5", "--bogus"},
            {"x.mdb", "y.mdb", "--rows", "5"},
            {"x.mdb", "--rows", "5", "--csv"},
        };
        for (const QStringList& args : bad) {
            const auto r = readback::run(kFzgen, args);
            QVERIFY2(r.exitCode == 2, qPrintable(args.join(' ')));
            QVERIFY(r.err.startsWith("fzgen: "));
        }
        QVERIFY(!QFile::exists("x.mdb"));
        const auto unwritable =
            readback::run(kFzgen, {"no-dir/x.mdb", "--rows", "5", "--csv", "x.csv"});
        QCOMPARE(unwritable.exitCode, 1);
        QVERIFY(unwritable.err.contains("no-dir/x.mdb"));
        QVERIFY(!QFile::exists("x.csv")); // no CSV without its database
        const auto badCsv =
            readback::run(kFzgen, {"x.mdb", "--rows", "5", "--csv", "no-dir/x.csv"});
        QCOMPARE(badCsv.exitCode, 1);
        QVERIFY(!QFile::exists("x.mdb"));

        QCOMPARE(readback::run(kFzgen, {"zero.mdb", "--rows", "0"}).exitCode, 0);
        readback::TableInfo info;
        QVERIFY(readback::readAll("zero.mdb", "FZ_T1", &info).empty());
        QCOMPARE(info.names.size(), 19u);
    }
};

QTEST_GUILESS_MAIN(Fzgen)
#include "test_fzgen.moc"
