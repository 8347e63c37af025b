// How well "похожее" finds a person from a misheard name: 1,000 of the generator's heard
// names, each searched with SIMILAR in its own column. Reports the recall (the person's row
// among those found), how often the true spelling's rows are on the first screen of the
// ranked result, and the rows found per search against the exact spelling's.
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
        int found = 0, firstScreen = 0;
        std::vector<double> similarRows, exactRows, ratios;
        std::vector<std::string> missed, buried;
        // The IDs a statement gives, in its order.
        auto ids = [&](const std::string& where) {
            std::vector<std::uint64_t> out;
            for (const auto& r : run(q, "SELECT ID FROM FZ_T1 WHERE " + where))
                out.push_back(std::stoull(r.at(0).value()));
            return out;
        };
        const auto t0 = std::chrono::steady_clock::now();
        for (const auto& h : names) {
            QVERIFY(h.heard != h.written);
            const std::vector<std::uint64_t> got = ids(h.column + " SIMILAR \"" + h.heard + "\"");
            std::vector<std::uint64_t> exact = ids(h.column + " = \"" + h.written + "\"");
            std::sort(exact.begin(), exact.end());
            QVERIFY(std::binary_search(exact.begin(), exact.end(), h.row));
            const bool hit = std::find(got.begin(), got.end(), h.row) != got.end();
            found += int(hit);
            if (!hit && missed.size() < 12)
                missed.push_back(h.written + "→" + h.heard);
            // The operator sees the first screen: the true spelling's rows all there, or,
            // when they are more than it holds, filling it from the top.
            constexpr size_t kScreen = 25;
            size_t onScreen = 0;
            for (size_t i = 0; i < std::min(kScreen, got.size()); ++i)
                onScreen += std::binary_search(exact.begin(), exact.end(), got[i]);
            const bool seen =
                exact.size() <= kScreen
                    ? onScreen == exact.size()
                    : !got.empty() && std::binary_search(exact.begin(), exact.end(), got[0]);
            firstScreen += int(seen);
            if (!seen && buried.size() < 12)
                buried.push_back(h.written + "→" + h.heard);
            similarRows.push_back(double(got.size()));
            exactRows.push_back(double(exact.size()));
            ratios.push_back(double(got.size()) / double(exact.size()));
        }
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        const double recall = found / double(names.size());
        const double screen = firstScreen / double(names.size());
        auto list = [](const std::vector<std::string>& v) {
            std::string out;
            for (const auto& m : v)
                out += " " + m;
            return out;
        };
        qInfo("heard names: %zu, recall %.1f %% (%d found), true spelling on the first screen "
              "%.1f %%; rows per search: median %.0f (exact spelling %.0f), median ratio %.2f, "
              "largest %.0f; %.2f ms per two searches",
              names.size(), recall * 100, found, screen * 100, median(similarRows),
              median(exactRows), median(ratios),
              *std::max_element(similarRows.begin(), similarRows.end()), ms / double(names.size()));
        qInfo("missed, for example:%s", list(missed).c_str());
        qInfo("not on the first screen, for example:%s", list(buried).c_str());
        QVERIFY(recall >= 0.95);
        QVERIFY(screen >= 0.90);
        QVERIFY(median(similarRows) <= 3 * median(exactRows));
        QVERIFY(median(ratios) <= 3);
    }
};

QTEST_GUILESS_MAIN(TestHeardRecall)
#include "test_heard_recall.moc"
