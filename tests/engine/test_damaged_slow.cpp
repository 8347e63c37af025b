// The long run of the damaged-file suite: many more byte flips, a file large enough for a
// reference usage map, and truncation at every page of a bigger file.

#include "test_damaged_support.h"

using namespace damaged;

class DamagedFilesLong : public QObject {
    Q_OBJECT

private:
    static void flips(const std::string& name, const Bytes& b, std::int64_t rows, int perRole,
                      unsigned seedValue)
    {
        std::mt19937 rng(seedValue);
        Tally t;
        for (const auto& [role, pages] : pageRoles(b)) {
            for (int i = 0; i < perRole; ++i) {
                const std::uint32_t page = pages[rng() % pages.size()];
                QVERIFY(loadDamaged(name + "-" + roleName(role) + "-" + std::to_string(i),
                                    flipInPage(b, page, role, rng), rowsAfterFlip(role, rows), t));
            }
        }
        t.print(("byte flips in " + name).c_str());
    }

private slots:
    void initTestCase() { qputenv("FZ_IMPORT_TIMEOUT", "4"); }

    void manyFlips() { flips("persons-300", seed("persons-300"), 300, 120, 99); }

    void flipsWithReferenceMap()
    {
        // More data pages than an inline map covers: the writer switches to a reference map.
        const std::string path = workDir() + "/refmap.mdb";
        fzgen::Options o;
        o.rows = 16000;
        o.seed = 21;
        fzgen::writePersons(path, o);
        const Bytes b = readFile(path);
        QVERIFY(pageRoles(b).count(Role::RefMap));
        QCOMPARE(engine::checkMdbBytes(b.data(), b.size()), std::string());
        flips("refmap", b, 16000, 25, 5);
    }

    // The check runs before every import: it must stay cheap on a city-sized file.
    void millionRowsAreCheckedQuickly()
    {
        const std::string path = workDir() + "/million.mdb";
        fzgen::Options o;
        o.rows = 1000000;
        o.seed = 77;
        fzgen::writePersons(path, o);
        engine::checkMdbFile(path); // the file's pages come from the page cache, as in use
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(engine::checkMdbFile(path), std::string());
        const qint64 ms = timer.elapsed();
        qInfo("check of %lld bytes took %lld ms",
              static_cast<long long>(std::filesystem::file_size(path)), static_cast<long long>(ms));
        std::filesystem::remove(path);
        // Guards against work per row that is not a few steps (seconds on a million rows);
        // the check's speed itself is the benchmark's. About 0.9 s on a busy machine.
        QVERIFY(ms < 3000);
    }

    void truncatedEverywhere()
    {
        const Bytes full = seed("persons-300");
        std::mt19937 rng(3);
        Tally t;
        for (std::size_t k = 0; k < full.size() / 4096; ++k)
            for (std::size_t cut : {k * 4096, k * 4096 + 1 + rng() % 4094, k * 4096 + 4095})
                QVERIFY(loadDamaged("cut-" + std::to_string(cut),
                                    Bytes(full.begin(), full.begin() + long(cut)), 300, t));
        t.print("truncated");
        QCOMPARE(t.outcomes[Kind::Ok], 0);
    }
};

QTEST_GUILESS_MAIN(DamagedFilesLong)
#include "test_damaged_slow.moc"
