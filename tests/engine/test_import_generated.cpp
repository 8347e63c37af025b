// A generated person table (messy values, nulls, more rows than one read batch) read back
// through the importer and the store: every cell as the generator wrote it, and counts of
// typical searches as a plain scan of the generator's own CSV copy gives them.
#include "EngineTestSupport.h"

#include "engine/jetsql/Fold.h"
#include "tools/fzgen/Population.h"
#include "util/Utf8.h"

#include <fstream>
#include <sstream>

using namespace enginetest;

namespace {

// RFC 4180 with an unquoted \N for null; the first line is the header.
Table readCsv(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(f)), {});
    Table rows;
    std::vector<Cell> row;
    std::string field;
    bool quoted = false, wasQuoted = false;
    auto endField = [&] {
        if (!wasQuoted && field == "\\N")
            row.push_back(std::nullopt);
        else
            row.push_back(field);
        field.clear();
        wasQuoted = false;
    };
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quoted) {
            if (c == '"' && i + 1 < s.size() && s[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            endField();
        } else if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            // the line ends at the \n
        } else if (c == '\n') {
            endField();
            rows.push_back(std::move(row));
            row.clear();
        } else {
            field += c;
        }
    }
    if (!row.empty() || !field.empty()) {
        endField();
        rows.push_back(std::move(row));
    }
    rows.erase(rows.begin()); // header
    return rows;
}

} // namespace

class TestImportGenerated : public QObject {
    Q_OBJECT

    Table csv_;
    engine::AdoQuery q_;

    std::int64_t scan(int col, const std::string& folded, char mode) const
    {
        std::int64_t n = 0;
        for (const auto& r : csv_) {
            if (!r[size_t(col)])
                continue;
            const std::string v = engine::fold(*r[size_t(col)]);
            bool hit = mode == '='   ? v == folded
                       : mode == '<' ? v.rfind(folded, 0) == 0
                       : mode == '>'
                           ? v.size() >= folded.size() &&
                                 v.compare(v.size() - folded.size(), folded.size(), folded) == 0
                           : v.find(folded) != std::string::npos;
            n += hit;
        }
        return n;
    }

private slots:
    void initTestCase()
    {
        const std::string dir = freshDir("generated");
        fzgen::Options o;
        o.rows = 5000; // several read batches and a last, partial one
        o.seed = 42;
        o.messy = true;
        fzgen::writePersons(dir + "/tabl1.mdb", o, dir + "/persons.csv");
        csv_ = readCsv(dir + "/persons.csv");
        QCOMPARE(csv_.size(), size_t(5000));
        q_.setConnectionString(engine::buildConnectionString(dir));
    }

    void everyCellAsWritten()
    {
        Table t = run(q_, "SELECT * FROM FZ_T1");
        QCOMPARE(t.size(), csv_.size());
        for (size_t r = 0; r < t.size(); ++r) {
            QCOMPARE(t[r].size(), size_t(19));
            for (size_t c = 0; c < 19; ++c)
                if (t[r][c] != csv_[r][c])
                    QFAIL(qPrintable(QString("row %1 column %2 differs").arg(r + 1).arg(c)));
        }
    }

    void searchesAgreeWithAScan()
    {
        // probes taken from the data: the first rows' surnames, streets and cities
        for (size_t r = 0; r < 40; ++r) {
            for (int col : {2, 9, 11, 15, 17}) {
                const Cell& v = csv_[r][size_t(col)];
                // quotes would end the literal, % and _ would be wildcards: plain probes only
                if (!v || v->find_first_of("\"%_") != std::string::npos)
                    continue;
                const std::string name = fzgen::personColumns()[size_t(col)].name;
                const std::string f = engine::fold(*v);
                QCOMPARE(count(q_, name + "=\"" + *v + "\""), scan(col, f, '='));
                const auto cs = fz::utf8::charCount(*v);
                if (cs < 3)
                    continue;
                // the first three and the last three characters, and the middle three
                size_t i = 0;
                for (int k = 0; k < 3; ++k)
                    fz::utf8::decode(f, i);
                const std::string head = f.substr(0, i);
                const std::string rev = engine::reverseChars(f);
                size_t j = 0;
                for (int k = 0; k < 3; ++k)
                    fz::utf8::decode(rev, j);
                const std::string tail = engine::reverseChars(rev.substr(0, j));
                QCOMPARE(count(q_, name + " LIKE \"" + head + "%\""), scan(col, head, '<'));
                QCOMPARE(count(q_, name + " LIKE \"%" + tail + "\""), scan(col, tail, '>'));
                QCOMPARE(count(q_, name + " LIKE \"%" + head + "%\""), scan(col, head, '*'));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestImportGenerated)
#include "test_import_generated.moc"
