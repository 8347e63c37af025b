// Damaged, foreign and unreadable database files through the real load path: every one ends
// in a clear message or the right count, quickly, and the test process lives on.

#include "test_damaged_support.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace damaged;

namespace {

constexpr std::int64_t kMessyRows = 40;

std::uint32_t get32(const Bytes& b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + std::size_t(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Start of row `row` of page `page`.
std::size_t rowStart(const Bytes& b, std::uint32_t page, std::uint32_t row)
{
    const std::size_t p = std::size_t(page) * 4096;
    return p + ((b[p + 14 + 2 * row] | (b[p + 15 + 2 * row] << 8)) & 0x1FFF);
}

} // namespace

class DamagedFiles : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // A spinning importer is stopped after this long without progress.
        qputenv("FZ_IMPORT_TIMEOUT", "4");
        QCOMPARE(
            engine::checkMdbBytes(seed("persons-40-messy").data(), seed("persons-40-messy").size()),
            std::string());
        Tally t;
        QVERIFY(loadDamaged("intact", seed("persons-40-messy"), kMessyRows, t));
        QCOMPARE(t.outcomes[Kind::Ok], 1);
    }

    void truncated()
    {
        const Bytes full = seed("persons-40-messy");
        const std::size_t pages = full.size() / 4096;
        std::mt19937 rng(11);
        Tally t;
        for (std::size_t k = 0; k < pages; ++k) {
            for (std::size_t cut : {k * 4096, k * 4096 + 1 + rng() % 4094}) {
                Bytes b(full.begin(), full.begin() + static_cast<long>(cut));
                QVERIFY(loadDamaged("cut-" + std::to_string(cut), b, kMessyRows, t));
            }
        }
        t.print("truncated");
        QCOMPARE(t.outcomes[Kind::Ok], 0);
    }

    void byteFlipsInEachPageType_data()
    {
        QTest::addColumn<QString>("seedName");
        QTest::addColumn<qint64>("rows");
        QTest::newRow("persons-40-messy") << "persons-40-messy" << qint64(40);
        QTest::newRow("two-tables") << "two-tables" << qint64(8);
    }

    void byteFlipsInEachPageType()
    {
        QFETCH(QString, seedName);
        QFETCH(qint64, rows);
        const Bytes b = seed(seedName.toStdString());
        std::mt19937 rng(1234);
        Tally t;
        for (const auto& [role, pages] : pageRoles(b)) {
            for (int i = 0; i < 25; ++i) {
                const std::uint32_t page = pages[rng() % pages.size()];
                const Bytes d = flipInPage(b, page, role, rng);
                QVERIFY(loadDamaged(seedName.toStdString() + "-" + roleName(role) + "-" +
                                        std::to_string(i),
                                    d, rowsAfterFlip(role, rows), t));
            }
        }
        t.print(qPrintable("byte flips in " + seedName));
    }

    void foreignFiles()
    {
        Tally t;
        std::mt19937 rng(7);
        Bytes noise(8 * 4096);
        for (auto& x : noise)
            x = static_cast<std::uint8_t>(rng());
        QVERIFY(loadDamaged("zero-length", {}, 0, t));
        QVERIFY(loadDamaged("random", noise, 0, t));
        Bytes behindHeader = noise;
        const Bytes good = seed("persons-3");
        std::copy(good.begin(), good.begin() + 4096, behindHeader.begin());
        QVERIFY(loadDamaged("random-behind-header", behindHeader, 0, t));
        QVERIFY(loadDamaged("header-only", Bytes(good.begin(), good.begin() + 4096), 0, t));
        const std::string text = "ID;FAM;NAME\n1;Петров;Иван\n";
        QVERIFY(loadDamaged("text", Bytes(text.begin(), text.end()), 0, t));

        const std::string sq = workDir() + "/foreign.sqlite";
        std::filesystem::remove(sq);
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(sq.c_str(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(
                     db,
                     "CREATE TABLE FZ_T1(ID INTEGER, FAM TEXT); INSERT INTO FZ_T1 VALUES(1,'x');",
                     nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        QVERIFY(loadDamaged("sqlite", readFile(sq), 0, t));
        t.print("foreign files");
        QCOMPARE(t.outcomes[Kind::Ok], 0);
        QCOMPARE(t.outcomes[Kind::NotDatabase], t.cases);
    }

    void directoryNamedLikeTheDatabase()
    {
        const std::string dir = workDir() + "/cases/dir-db";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir + "/tabl1.mdb");
        QVERIFY(!engine::checkMdbFile(dir + "/tabl1.mdb").empty());
        const Outcome o = loadCount(dir);
        QVERIFY(o.kind != Kind::Ok);
        QVERIFY(o.message.find("tabl1.mdb") != std::string::npos);
    }

    // Not files at all: a pipe nobody writes to, endless devices. None may block the load.
    void specialFiles()
    {
        const std::string base = workDir() + "/cases/special-";
        auto place = [&](const std::string& name) {
            const std::string dir = base + name;
            std::filesystem::remove_all(dir);
            std::filesystem::create_directories(dir);
            return dir;
        };
        const std::string fifoDir = place("fifo");
        QCOMPARE(::mkfifo((fifoDir + "/tabl1.mdb").c_str(), 0600), 0);
        const std::string zeroDir = place("zero");
        QCOMPARE(::symlink("/dev/zero", (zeroDir + "/tabl1.mdb").c_str()), 0);
        const std::string randomDir = place("urandom");
        QCOMPARE(::symlink("/dev/urandom", (randomDir + "/tabl1.mdb").c_str()), 0);
        for (const std::string& dir : {fifoDir, zeroDir, randomDir}) {
            QVERIFY(!engine::checkMdbFile(dir + "/tabl1.mdb").empty());
            const Outcome o = loadCount(dir);
            QVERIFY(o.kind != Kind::Ok);
            QVERIFY2(o.message.find("tabl1.mdb") != std::string::npos, o.message.c_str());
            QVERIFY(o.seconds < 10);
        }
    }

    void unreadableFile()
    {
        const std::string dir = workDir() + "/cases/unreadable";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::string path = dir + "/tabl1.mdb";
        if (::geteuid() != 0) {
            writeFile(path, seed("persons-3"));
            QCOMPARE(::chmod(path.c_str(), 0), 0);
        } else {
            // Permissions do not stop root: a link that leads nowhere but to itself cannot be
            // opened by anyone.
            QCOMPARE(::symlink("tabl1.mdb", path.c_str()), 0);
        }
        QVERIFY(!engine::checkMdbFile(path).empty());
        const Outcome o = loadCount(dir);
        QVERIFY(o.kind != Kind::Ok);
        QVERIFY2(o.message.find(path) != std::string::npos, o.message.c_str());
        QVERIFY(o.seconds < 10);
        ::chmod(path.c_str(), 0600);
    }

    void wrongTables()
    {
        Tally t;
        QVERIFY(loadDamaged("no-fz-t1", seed("no-fz-t1"), 0, t));
        QCOMPARE(t.outcomes[Kind::NoTable], 1);
        // Five columns are enough for counting; the grid fails later, not the load.
        QVERIFY(loadDamaged("five-columns", seed("five-columns"), 12, t));
        QCOMPARE(t.outcomes[Kind::Ok], 1);
    }

    // Pages that point to themselves or beyond the end of the file.
    void pointers()
    {
        const Bytes b = seed("persons-40-messy");
        const auto roles = pageRoles(b);
        const std::uint32_t tdef = roles.at(Role::TableDef).front();
        const std::size_t td = std::size_t(tdef) * 4096;
        const std::uint32_t pages = static_cast<std::uint32_t>(b.size() / 4096);
        const std::uint32_t mapPtr = get32(b, td + 55);
        const std::size_t mapRow = rowStart(b, mapPtr >> 8, mapPtr & 0xFF);
        QCOMPARE(int(b[mapRow]), 0); // an inline map in this file

        struct Case {
            const char* name;
            std::size_t at;
            std::uint32_t value;
        };
        const Case cases[] = {
            {"definition-continues-on-itself", td + 4, tdef},
            {"definition-continues-beyond-end", td + 4, pages + 10},
            {"catalog-definition-continues-on-itself", 2 * 4096 + 4, 2},
            {"map-pointer-beyond-end", td + 55, (pages + 3) << 8},
            {"map-pointer-to-itself", td + 55, tdef << 8},
            {"free-map-pointer-beyond-end", td + 59, (pages + 1) << 8},
            {"map-start-beyond-end", mapRow + 1, pages + 100},
            {"map-start-wraps-around", mapRow + 1, 0xFFFFFFF0u},
            {"map-row-missing", td + 55, (mapPtr & ~0xFFu) | 0x30},
            {"catalog-map-beyond-end", 2 * 4096 + 55, (pages + 7) << 8},
        };
        Tally t;
        for (const Case& c : cases) {
            Bytes d = b;
            put32(d, c.at, c.value);
            QVERIFY(!engine::checkMdbBytes(d.data(), d.size()).empty());
            QVERIFY(loadDamaged(c.name, d, kMessyRows, t));
        }
        t.print("pointers");
        QCOMPARE(t.outcomes[Kind::Ok], 0);
    }

    // A data page the table's usage map lists, wiped to zeros: its rows are gone, so the file
    // is refused as damaged rather than answered without them.
    void zeroedListedPage()
    {
        const Bytes b = seed("persons-300");
        const auto data = pageRoles(b).at(Role::TableData);
        QVERIFY(data.size() > 2);
        Bytes d = b;
        std::fill_n(d.begin() + std::ptrdiff_t(data[1]) * 4096, 4096, 0);
        const std::string dir = placeDatabase("zeroed-data-page", d);
        const Outcome o = loadCount(dir);
        QCOMPARE(o.message, engine::msg::damaged(dir + "/tabl1.mdb"));
    }
};

QTEST_GUILESS_MAIN(DamagedFiles)
#include "test_damaged.moc"
