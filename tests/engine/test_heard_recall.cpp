// How well "похожее" finds a person from a misheard name: 1,000 of the generator's heard
// names, each searched with SIMILAR in its own column. Reports the recall (the person's row
// among those found) and the rows found per search against the exact spelling's.
#include "EngineTestSupport.h"

#include "tools/fzgen/Heard.h"

#include <algorithm>
#include <chrono>

using namespace enginetest;

namespace {

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

class TestHeardRecall : public QObject {
    Q_OBJECT

private slots:
    void recallAndResultSizes()
    {
        const std::string dir = freshDir("heard");
        fzgen::Options o;
        o.rows = 20000;
        o.seed = 7;
        o.messy = true;
        fzgen::writePersons(dir + "/tabl1.mdb", o);
        const auto names = fzgen::heardNames(o, 1000, 11);
        QCOMPARE(names.size(), size_t(1000));

        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        int found = 0;
        std::vector<double> similarRows, exactRows, ratios;
        std::vector<std::string> missed;
        const auto t0 = std::chrono::steady_clock::now();
        for (const auto& h : names) {
            QVERIFY(h.heard != h.written);
            const std::string cond = h.column + " SIMILAR \"" + h.heard + "\"";
            const std::int64_t n = count(q, cond);
            const std::int64_t hit = count(q, cond + " AND ID = " + std::to_string(h.row));
            const std::int64_t exact = count(q, h.column + " = \"" + h.written + "\"");
            QVERIFY(exact >= 1 && hit <= 1);
            found += int(hit);
            if (!hit && missed.size() < 12)
                missed.push_back(h.written + "→" + h.heard);
            similarRows.push_back(double(n));
            exactRows.push_back(double(exact));
            ratios.push_back(double(n) / double(exact));
        }
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const double recall = found / double(names.size());
        std::string examples;
        for (const auto& m : missed)
            examples += " " + m;
        qInfo("heard names: %zu, recall %.1f %% (%d found); rows per search: median %.0f (exact "
              "spelling %.0f), median ratio %.2f, largest %.0f; %.2f ms per three searches",
              names.size(), recall * 100, found, median(similarRows), median(exactRows), median(ratios),
              *std::max_element(similarRows.begin(), similarRows.end()), ms / double(names.size()));
        qInfo("missed, for example:%s", examples.c_str());
        QVERIFY(recall >= 0.95);
        QVERIFY(median(similarRows) <= 3 * median(exactRows));
        QVERIFY(median(ratios) <= 3);
    }
};

QTEST_GUILESS_MAIN(TestHeardRecall)
#include "test_heard_recall.moc"
