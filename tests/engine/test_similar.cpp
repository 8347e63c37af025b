// The "похожее" match through the real query object on both kinds of column (dictionary and
// plain), against the rules (tested on their own with the dialect).
#include "EngineTestSupport.h"

#include "engine/jetsql/Fold.h"
#include "engine/jetsql/Similar.h"

#include <algorithm>

using namespace enginetest;

class TestSimilar : public QObject {
    Q_OBJECT

    std::string dir_;
    engine::AdoQuery q_;
    std::vector<jet4::Row> rows_;

    // The rows a brute-force pass of the rules over column c finds, counted.
    std::int64_t scan(size_t c, const std::string& typed) const
    {
        std::int64_t n = 0;
        for (const auto& r : rows_)
            n += r[c] && engine::similar::matches(engine::fold(typed), engine::fold(*r[c]));
        return n;
    }

private slots:
    void initTestCase()
    {
        dir_ = freshDir("similar");
        // FAM takes match modes (a dictionary); NOTE's values all differ, so it is plain
        // (no dictionary: records are read). More rows than the plain judgement needs.
        const char* fams[] = {"шварц", "шварс",  "Шварцман", "ёлкин",
                              "елкин", "иванов", "иванова",  "петров"};
        for (int i = 0; i < 1200; ++i) {
            const std::string fam = fams[i % 8];
            rows_.push_back({i % 97 == 0 ? Cell() : Cell(fam), fam + " " + std::to_string(i)});
        }
        jet4::writeTable(dir_ + "/tabl1.mdb", "FZ_T1", textColumns({"FAM", "NOTE"}), rows_);
        q_.setConnectionString(engine::buildConnectionString(dir_));
    }

    void searchesAgreeWithTheRules()
    {
        for (const std::string typed : {"Шварц", "елкин", "Иваноф", "ПЕТРОВ", "шварцман"}) {
            const std::int64_t want = scan(0, typed);
            QVERIFY(want > 0);
            QCOMPARE(count(q_, "FAM SIMILAR \"" + typed + "\""), want);
            // NOT leaves out the nulls, as for every comparison
            std::int64_t nonNull = 0;
            for (const auto& r : rows_)
                nonNull += r[0].has_value();
            QCOMPARE(count(q_, "NOT FAM SIMILAR \"" + typed + "\""), nonNull - want);
            QCOMPARE(count(q_, "FAM NOT SIMILAR \"" + typed + "\""), nonNull - want);
        }
        // A plain column reads its records and gives what the rules give.
        QCOMPARE(count(q_, "NOTE SIMILAR \"шварц 17\""), scan(1, "шварц 17"));
        // Combined by AND like any condition; exact "=" still keeps ё and е apart.
        std::int64_t both = 0, exact = 0;
        for (const auto& r : rows_) {
            both += r[0] && engine::similar::matches("ёлкин", *r[0]) &&
                    engine::similar::matches("елкин 3", *r[1]);
            exact += r[0] == Cell("ёлкин");
        }
        QVERIFY(both > 0 && exact > 0);
        QCOMPARE(count(q_, "FAM SIMILAR \"ёлкин\" AND NOTE SIMILAR \"елкин 3\""), both);
        QCOMPARE(count(q_, "FAM = \"ёлкин\""), exact);
    }

    void emptyValuesNeverMatch()
    {
        const std::string dir = freshDir("similar_empty");
        std::vector<jet4::Row> rows;
        for (int i = 0; i < 30; ++i) {
            const char* fam[] = {"", "о", " ", "ов", "по"};
            rows.push_back({Cell(fam[i % 5])});
        }
        rows.push_back({Cell()});
        jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", textColumns({"FAM"}), rows);
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        for (const auto& r : run(q, "SELECT FAM FROM FZ_T1 WHERE FAM SIMILAR \"о\""))
            QVERIFY(r[0] && !r[0]->empty() && *r[0] != " ");
        QCOMPARE(count(q, "FAM SIMILAR \"о\""), 18);
        QCOMPARE(count(q, "FAM SIMILAR \"\""), 0);
        QCOMPARE(count(q, "FAM SIMILAR \"  \""), 0);
    }

    // Found rows come closest first, table order within a closeness, whichever way the
    // result is kept (read at once, or record by record from a big table).
    void rankedClosestFirst()
    {
        // In table order; typed "Семёнов" finds all but the female form, in this order:
        // the same text, equal but for ё, one edit with the same sound, one edit, two edits.
        const std::vector<std::string> fams = {"Самонов", "Семенев", "Семенов",  "Сименов",
                                               "семёнов", "Семинов", "Семёнова", "",
                                               "СЕМЕНОВ", "Семёнов"};
        const std::vector<int> want = {5, 10, 3, 9, 4, 6, 2, 1}; // positions, from 1
        engine::AdoQuery q;
        auto ids = [&](const std::string& where) {
            std::vector<int> out;
            for (const auto& r : run(q, "SELECT ID FROM FZ_T1 WHERE " + where))
                out.push_back(std::stoi(*r[0]));
            return out;
        };
        auto write = [&](int n) {
            const std::string dir = freshDir("similar_ranked_" + std::to_string(n));
            std::vector<jet4::Row> rows;
            for (int i = 0; i < n; ++i)
                rows.push_back({std::to_string(i + 1), fams[size_t(i) % fams.size()],
                                i % 2 ? "Иван" : "Петр"});
            jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", textColumns({"ID", "FAM", "NAME"}), rows);
            q.close();
            q.setConnectionString(engine::buildConnectionString(dir));
        };
        write(10);
        QCOMPARE(ids("FAM SIMILAR \"Семёнов\""), want);

        write(1100);
        // The whole table: the same ranks, each run of one rank in table order.
        const std::vector<int> all = ids("FAM SIMILAR \"Семёнов\"");
        QCOMPARE(std::int64_t(all.size()), count(q, "FAM SIMILAR \"Семёнов\""));
        QCOMPARE(all.size(), size_t(8 * 110));
        // (positions of one closeness: the same text, equal but for ё, one edit with the same
        // sound, one edit, two edits)
        const std::vector<std::vector<int>> ranks = {{5, 10}, {3, 9}, {4, 6}, {2}, {1}};
        std::vector<int> rankOf(fams.size() + 1, -1);
        for (size_t k = 0; k < ranks.size(); ++k)
            for (int at : ranks[k])
                rankOf[size_t(at)] = int(k);
        for (size_t i = 1; i < all.size(); ++i) {
            const int a = rankOf[size_t((all[i - 1] - 1) % 10 + 1)];
            const int b = rankOf[size_t((all[i] - 1) % 10 + 1)];
            QVERIFY(a >= 0 && b >= 0);
            QVERIFY(a < b || (a == b && all[i - 1] < all[i]));
        }
        // ANDed with another condition the rank still leads; a negation keeps table order.
        const std::vector<int> ivan = ids("NAME = \"Иван\" AND FAM SIMILAR \"семёнов\"");
        QVERIFY(!ivan.empty() && (ivan.front() - 1) % 10 + 1 == 10);
        const std::vector<int> other = ids("NOT FAM SIMILAR \"Семёнов\"");
        QVERIFY(std::is_sorted(other.begin(), other.end()));
        // Other modes keep table order.
        const std::vector<int> like = ids("FAM LIKE \"С%\"");
        QVERIFY(std::is_sorted(like.begin(), like.end()));
    }

    void statementForm()
    {
        // Without its value it is a syntax error, as for LIKE.
        QVERIFY(!errorOf(q_, "SELECT * FROM FZ_T1 WHERE FAM SIMILAR").empty());
    }
};

QTEST_GUILESS_MAIN(TestSimilar)
#include "test_similar.moc"
