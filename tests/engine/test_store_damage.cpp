// A store page damaged on the disk (bytes overwritten or zeroed, as a lost write or a power
// cut leaves it) is never answered from: an answer read at once comes from a store made
// again, and a result that reads its records later reports the damage instead of showing
// empty cells, and has the store made again at the next open.
#include "EngineTestSupport.h"
#include "StoreDamage.h"

#include "engine/core/Messages.h"
#include "engine/import/StoreCache.h"

#include <filesystem>

using namespace enginetest;

class TestStoreDamage : public QObject {
    Q_OBJECT

    std::string dir_, mdb_;
    std::vector<std::string> fam_; // row i + 1
    int women_ = 0, famA_ = 0, kod7_ = 0;

    std::string connection() const { return engine::buildConnectionString(dir_); }
    std::string storePath() const { return engine::StoreCache::storePathFor(mdb_); }

    static std::string kod(int i) { return "k" + std::to_string(i * 7919 % 100003); }

    // A store made from the file now, whatever was there before.
    void freshStore()
    {
        std::filesystem::remove(storePath());
        engine::AdoQuery q;
        q.setConnectionString(connection());
        QCOMPARE(count(q, ""), std::int64_t(fam_.size()));
    }

    std::vector<int> pagesOf(const std::string& part)
    {
        return storedamage::pagesOf(storePath(), part);
    }
    void damage(const std::vector<int>& pages, bool zero)
    {
        QVERIFY(storedamage::damage(storePath(), pages, zero));
    }

private slots:
    void initTestCase()
    {
        const std::vector<std::string> pool = {"Абрамов",  "Белова", "Волков", "Андреев", "Гусев",
                                               "Антонова", "Дьяков", "Ершова", "Аксенов"};
        std::vector<jet4::Row> rows;
        for (int i = 0; i < 3000; ++i) {
            fam_.push_back(pool[size_t(i * 5 % 9)]);
            const std::string pol = i % 3 ? "ж" : "М";
            rows.push_back({std::to_string(i + 1), fam_.back(), kod(i), pol});
            women_ += i % 3 != 0;
            famA_ += fam_.back().rfind("А", 0) == 0;
            kod7_ += kod(i).find('7') != std::string::npos;
        }
        const std::vector<jet4::Column> cols = {{"ID", jet4::ColumnType::Long, 0},
                                                {"FAM", jet4::ColumnType::Text, 255},
                                                {"KOD", jet4::ColumnType::Text, 255},
                                                {"POL", jet4::ColumnType::Text, 255}};
        dir_ = freshDir("storedamage");
        mdb_ = dir_ + "/tabl1.mdb";
        jet4::writeTable(mdb_, "FZ_T1", cols, rows);
    }

    // Answers read at once: records (a plain column's condition reads them all), a row
    // bitmap, a dictionary, the store's tables of columns and of its key. Each damaged part
    // is found, the store is made again, and the answer is right.
    void answersReadAtOnceComeFromAStoreMadeAgain()
    {
        struct Case {
            const char* part;
            bool zero;
            std::string where;
            int want;
        };
        const std::vector<Case> cases = {
            {"t0", false, "KOD LIKE \"%7%\"", kod7_},
            {"t0", true, "KOD LIKE \"%7%\"", kod7_},
            {"d0_3", false, "POL = \"ж\"", women_},
            {"d0_1", false, "FAM LIKE \"а%\"", famA_},
            {"d0_1", true, "FAM LIKE \"а%\"", famA_},
            {"fz_columns", false, "POL = \"м\"", int(fam_.size()) - women_},
            {"fz_meta", true, "", int(fam_.size())},
        };
        for (const Case& c : cases) {
            freshStore();
            const int imports = engine::StoreCache::importCount();
            damage(pagesOf(c.part), c.zero);
            engine::AdoQuery q;
            q.setConnectionString(connection());
            QCOMPARE(count(q, c.where), std::int64_t(c.want));
            QCOMPARE(engine::StoreCache::importCount(), imports + 1);
            // the store made again answers without another import
            QCOMPARE(count(q, c.where), std::int64_t(c.want));
            QCOMPARE(engine::StoreCache::importCount(), imports + 1);
        }
    }

    // A big result reads its records, and the cells' lengths, when asked: a damaged page met
    // then marks the result damaged (the query object refuses its cells with a message), and
    // the store is removed, so the next statement answers from a store made again.
    void lateDamageIsReportedAndTheStoreMadeAgain()
    {
        for (const bool zero : {false, true}) {
            freshStore();
            const std::vector<int> pages = pagesOf("t0");
            damage({pages[pages.size() / 2]}, zero);
            engine::AdoQuery q;
            q.setConnectionString(connection());
            q.addSql("SELECT * FROM FZ_T1");
            q.open();
            const auto r = q.result();
            QCOMPARE(r->rowCount(), std::int64_t(fam_.size()));
            QVERIFY(!r->damaged());
            std::string refused;
            int rightRows = 0;
            try {
                for (q.first(); !q.eof(); q.next()) {
                    QCOMPARE(q.fieldAsString(1), fam_[size_t(q.recNo())]);
                    ++rightRows;
                }
            } catch (const engine::EngineError& e) {
                refused = e.what();
            }
            QCOMPARE(refused, engine::msg::storeDamaged());
            QVERIFY(r->damaged() && rightRows > 0 && rightRows < int(fam_.size()));
            QVERIFY(!std::filesystem::exists(storePath()));
            const int imports = engine::StoreCache::importCount();
            const Table all = run(q, "SELECT FAM, KOD FROM FZ_T1");
            QCOMPARE(engine::StoreCache::importCount(), imports + 1);
            QCOMPARE(all.size(), fam_.size());
            for (size_t i = 0; i < all.size(); ++i) {
                QCOMPARE(all[i][0], Cell(fam_[i]));
                QCOMPARE(all[i][1], Cell(kod(int(i))));
            }
        }

        // a ranked result ("похожее") tells of its damage as the result under it does
        freshStore();
        const std::vector<int> pages = pagesOf("t0");
        damage({pages[pages.size() / 2]}, true);
        {
            engine::AdoQuery q;
            q.setConnectionString(connection());
            q.addSql("SELECT * FROM FZ_T1 WHERE FAM SIMILAR 'Белова' OR FAM SIMILAR 'Абрамов'");
            q.open();
            std::string refused;
            try {
                for (q.first(); !q.eof(); q.next())
                    (void)q.fieldAsString(1);
            } catch (const engine::EngineError& e) {
                refused = e.what();
            }
            QCOMPARE(refused, engine::msg::storeDamaged());
            QVERIFY(q.result()->damaged());
        }

        // the cells' lengths (the grid's column widths): no silent pass over the cells instead
        freshStore();
        damage(pagesOf("n0"), false);
        engine::AdoQuery q;
        q.setConnectionString(connection());
        q.addSql("SELECT * FROM FZ_T1");
        q.open();
        std::vector<int> widths;
        q.result()->maxCharLengths({1, 2}, -1, widths);
        QVERIFY(q.result()->damaged());
        QVERIFY(!std::filesystem::exists(storePath()));
    }
};

QTEST_GUILESS_MAIN(TestStoreDamage)
#include "test_store_damage.moc"
