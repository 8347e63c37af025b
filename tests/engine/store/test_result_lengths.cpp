// The longest lengths of a result that reads its rows from the store: the same answer for
// one column and for several, exact past the 255 characters the store counts to, and a
// row list that is not the table's marks the result (and the store) damaged instead of
// counting nothing.

#include "engine/store/Store.h"
#include "engine/store/StoreRows.h"
#include "engine/store/StoreWriter.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

class ResultLengths : public QObject {
    Q_OBJECT

    static constexpr int kRows = 2000;
    std::string path_;
    std::vector<std::string> names_, towns_; // by row - 1
    std::vector<int> nameChars_, townChars_;
    std::shared_ptr<const engine::Store> store_;

    std::unique_ptr<engine::StoreRows> rows(engine::Rows ids, bool all = false) const
    {
        return std::make_unique<engine::StoreRows>(store_, store_->table("люди"),
                                                   std::vector<std::string>{"Имя", "Город"},
                                                   std::vector<int>{0, 1}, std::move(ids), all);
    }

    static int longest(const std::vector<int>& chars, const engine::Rows& ids)
    {
        int most = 0;
        for (std::uint32_t id : ids)
            most = std::max(most, chars[id - 1]);
        return most;
    }

private slots:
    void initTestCase()
    {
        const char* work = std::getenv("FZ_TEST_WORK");
        path_ = std::string(work ? work : ".") + "/lengths.store";
        fs::remove(path_);
        ::close(::open(path_.c_str(), O_CREAT | O_WRONLY, 0600));
        for (int i = 1; i <= kRows; ++i) {
            std::string name = "Имя" + std::to_string(i);
            int chars = 3 + static_cast<int>(std::to_string(i).size());
            if (i == 1500 || i == 1700) { // beyond what a stored length tells
                const int more = i == 1500 ? 297 : 400;
                for (int k = 0; k < more; ++k)
                    name += "ж";
                chars += more;
            }
            names_.push_back(name);
            nameChars_.push_back(chars);
            towns_.push_back(i % 3 ? "Омск" : "Томск");
            townChars_.push_back(i % 3 ? 4 : 5);
        }
        {
            engine::StoreWriter w(path_);
            w.beginTable("люди", {{"Имя"}, {"Город", "Text", true}});
            for (int i = 0; i < kRows; ++i) {
                const std::string_view v[2] = {names_[size_t(i)], towns_[size_t(i)]};
                const bool nul[2] = {false, false};
                std::uint32_t refs[2] = {};
                w.assignIds(1, v, nul, 0, 2, refs);
                w.addRecords(1, v, nul, refs);
            }
            w.endTable();
            w.finish(engine::SourceKey{"/nowhere.mdb"});
        }
        std::string why;
        store_ = engine::Store::open(path_, nullptr, &why);
        QVERIFY2(store_, why.c_str());
    }

    void oneColumnAndSeveralAgree()
    {
        const std::vector<engine::Rows> lists = {
            {2, 17, 999}, {2, 1500, 1999}, {1700}, {}, {1, 2, 3, 4, 1500, 1700, 2000}};
        for (const engine::Rows& ids : lists) {
            auto r = rows(ids);
            std::vector<int> both;
            r->maxCharLengths({0, 1}, -1, both);
            QCOMPARE(both, (std::vector<int>{longest(nameChars_, ids), longest(townChars_, ids)}));
            QCOMPARE(r->maxCharLength(0, -1), both[0]);
            QVERIFY(!r->damaged());
        }
        // every row, block by block; and the first rows only
        auto all = rows({}, true);
        engine::Rows every(kRows);
        for (int i = 0; i < kRows; ++i)
            every[size_t(i)] = std::uint32_t(i + 1);
        std::vector<int> both;
        all->maxCharLengths({1, 0, 7}, -1, both);
        QCOMPARE(both, (std::vector<int>{5, longest(nameChars_, every), 0}));
        QCOMPARE(all->maxCharLength(0, 1600), 304);
        QVERIFY(!all->damaged() && !store_->damaged());
    }

    // Last: it marks the store damaged.
    void rowOutsideTheTableIsDamage()
    {
        auto r = rows({3, kRows + 5});
        QCOMPARE(r->maxCharLength(1, -1), 0);
        QVERIFY(r->damaged());
        QVERIFY(store_->damaged() && !fs::exists(path_));
    }
};

QTEST_GUILESS_MAIN(ResultLengths)
#include "test_result_lengths.moc"
