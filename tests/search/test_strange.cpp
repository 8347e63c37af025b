// Strange text in the search fields: quotes, wildcards, brackets, apostrophes, control
// characters, tabs, very long input, characters outside Windows-1251. Every statement the
// program builds must run, and its answer must be the one a plain scan of the table gives
// (or a clear message).

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "search/QueryBuilder.h"
#include "tools/fzgen/Population.h"
#include "tools/jet4/Jet4Writer.h"

#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

// Values stored in FAM and CITI; row i has ID i + 1.
const std::vector<std::optional<QString>>& storedValues()
{
    static const std::vector<std::optional<QString>> v = {QStringLiteral("Петров"),
                                                          QStringLiteral("петров"),
                                                          QStringLiteral("ПЕТРОВ"),
                                                          QStringLiteral("Пет\"ров"),
                                                          QStringLiteral("Пет%ров"),
                                                          QStringLiteral("Пет_ров"),
                                                          QStringLiteral("Петр[ов]"),
                                                          QStringLiteral("[Петров"),
                                                          QStringLiteral("O'Brien"),
                                                          QStringLiteral("o'brien"),
                                                          QStringLiteral("Пет\tров"),
                                                          QStringLiteral("Пет\x01ров"),
                                                          QStringLiteral("Éloïse"),
                                                          QStringLiteral("éloïse"),
                                                          QStringLiteral("ÉLOÏSE"),
                                                          QStringLiteral("Ёлкин"),
                                                          QStringLiteral("Елкин"),
                                                          QStringLiteral("Straße"),
                                                          QStringLiteral("100%"),
                                                          QStringLiteral("a_b"),
                                                          QStringLiteral("axb"),
                                                          QStringLiteral("\""),
                                                          QStringLiteral("'"),
                                                          QStringLiteral("%"),
                                                          QStringLiteral("_"),
                                                          QStringLiteral("["),
                                                          QStringLiteral("Łódź Ŀ Смайл"),
                                                          QString(),
                                                          std::nullopt,
                                                          QStringLiteral("Пет\"\"ров"),
                                                          QStringLiteral("ab\"\"cd\""),
                                                          QStringLiteral("Ωμέγα σοφός")};
    return v;
}

// What the user may type.
QStringList inputs()
{
    QStringList s;
    for (const auto& v : storedValues())
        if (v)
            s << *v;
    s << QStringLiteral("пет") << QStringLiteral("ров") << QStringLiteral("Пет\"")
      << QStringLiteral("\"ров") << QStringLiteral("\"\"") << QStringLiteral("т%р")
      << QStringLiteral("т_ов") << QStringLiteral("[П") << QStringLiteral("'b")
      << QString(10000, QChar(0x044F)) << QStringLiteral("\t") << QStringLiteral("Пет\x01")
      << QStringLiteral("\U0001F600") << QStringLiteral("ŁÓDŹ ŀ") << QStringLiteral("ΩΜΈ")
      << QStringLiteral("ΣΟΦΌΣ") << QStringLiteral("élo") << QStringLiteral("ÏSE")
      << QStringLiteral("\x01") << QStringLiteral("ё") << QStringLiteral("е")
      << QStringLiteral("  Петров\t ") << QStringLiteral("x\ny") << QStringLiteral("a]b")
      << QStringLiteral("*") << QStringLiteral("?") << QStringLiteral("#") << QStringLiteral("\\");
    return s;
}

// The field's text as the builder uses it: characters up to the space trimmed at both ends.
QString trimmed(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] <= QChar(' '))
        ++b;
    while (e > b && s[e - 1] <= QChar(' '))
        --e;
    return s.mid(b, e - b);
}

// Jet LIKE on whole characters: % any run, _ exactly one, everything else itself, letter
// case ignored.
bool like(const QList<uint>& v, qsizetype i, const QList<uint>& p, qsizetype j)
{
    while (j < p.size()) {
        if (p[j] == '%') {
            for (qsizetype k = i; k <= v.size(); ++k)
                if (like(v, k, p, j + 1))
                    return true;
            return false;
        }
        if (i >= v.size())
            return false;
        if (p[j] != '_' && p[j] != v[i])
            return false;
        ++i;
        ++j;
    }
    return i == v.size();
}

bool matches(const QString& value, const QString& pattern, bool isLike)
{
    // final sigma is the same letter as sigma, whatever the case
    const QString a = value.toLower().replace(QChar(0x3C2), QChar(0x3C3));
    const QString b = pattern.toLower().replace(QChar(0x3C2), QChar(0x3C3));
    if (!isLike)
        return a == b;
    return like(a.toUcs4(), 0, b.toUcs4(), 0);
}

} // namespace

class StrangeInput : public QObject {
    Q_OBJECT

    std::string dir_;

    QString tryMode(const QString& column, const QString& input, const QString& mode)
    {
        search::SearchForm f;
        if (column == "FAM") {
            f.fam = input;
            f.famMode = mode;
        } else if (column == "CITI") {
            f.citi = input;
            f.citiMode = mode;
        } else if (column == "STRANA") {
            f.strana = input;
        } else {
            f.telH = input;
        }
        return search::searchStatement(f);
    }

private slots:
    void initTestCase()
    {
        const char* w = std::getenv("FZ_TEST_WORK");
        dir_ = (w && *w ? std::string(w) : std::filesystem::current_path().string()) + "/strange";
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        const auto cols = fzgen::personColumns();
        std::vector<jet4::Row> rows;
        const auto& vals = storedValues();
        for (std::size_t i = 0; i < vals.size(); ++i) {
            jet4::Row r(cols.size());
            r[0] = std::to_string(i + 1);
            if (vals[i])
                r[2] = vals[i]->toStdString();         // FAM
            const auto& c = vals[vals.size() - 1 - i]; // CITI, other order
            if (c) {
                r[9] = c->toStdString();  // CITI
                r[6] = c->toStdString();  // STRANA
                r[17] = c->toStdString(); // TEL_h
            }
            r[3] = std::string("Иван");
            rows.push_back(r);
        }
        jet4::writeTable(dir_ + "/tabl1.mdb", "FZ_T1", cols, rows);
    }

    // The stored values come back exactly: otherwise the comparisons below prove nothing.
    void valuesSurviveTheLoad()
    {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        q.addSql("SELECT * FROM FZ_T1");
        q.open();
        const auto& vals = storedValues();
        QCOMPARE(q.recordCount(), std::int64_t(vals.size()));
        for (; !q.eof(); q.next()) {
            const std::size_t i = std::stoul(q.fieldAsString(0)) - 1;
            QVERIFY(i < vals.size());
            QCOMPARE(q.fieldIsNull(2), !vals[i].has_value());
            if (vals[i])
                QCOMPARE(QString::fromStdString(q.fieldAsString(2)), *vals[i]);
        }
    }

    void everyFieldModeAndInput_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("mode");
        for (const char* col : {"FAM", "CITI"})
            for (const QString& m : {search::kModeExact, search::kModePrefix, search::kModeSuffix,
                                     search::kModeAnywhere})
                QTest::addRow("%s %s", col, qPrintable(m)) << QString(col) << m;
        // fields without a mode compare for equality
        QTest::newRow("STRANA") << QString("STRANA") << search::kModeExact;
        QTest::newRow("TEL_h") << QString("TEL_h") << search::kModeExact;
    }

    void everyFieldModeAndInput()
    {
        QFETCH(QString, column);
        QFETCH(QString, mode);
        const int colIndex = column == "FAM" ? 2 : 9; // STRANA and TEL_h hold CITI's values
        const auto& vals = storedValues();
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir_));
        int statements = 0;
        for (const QString& input : inputs()) {
            const QString stmt = tryMode(column, input, mode);
            const QString t = trimmed(input);
            if (t.isEmpty()) {
                QVERIFY(stmt.isEmpty());
                continue;
            }
            QVERIFY2(!stmt.isEmpty(), qPrintable(input.left(40)));
            ++statements;
            // the value the condition compares with, as the builder puts it
            QString pattern = column == "FAM" ? t.toLower() : t;
            bool isLike = true;
            if (mode == search::kModeExact)
                isLike = false;
            else if (mode == search::kModePrefix)
                pattern += '%';
            else if (mode == search::kModeSuffix)
                pattern.prepend('%');
            else
                pattern = '%' + pattern + '%';

            std::vector<std::int64_t> expected;
            for (std::size_t i = 0; i < vals.size(); ++i) {
                const auto& v = colIndex == 2 ? vals[i] : vals[vals.size() - 1 - i];
                if (v && matches(*v, pattern, isLike))
                    expected.push_back(std::int64_t(i + 1));
            }

            q.close();
            q.clearSql();
            q.addSql(stmt.toStdString());
            std::vector<std::int64_t> got;
            try {
                q.open();
                for (; !q.eof(); q.next())
                    got.push_back(std::stoll(q.fieldAsString(0)));
            } catch (const engine::EngineError& e) {
                QFAIL(qPrintable(QStringLiteral("statement failed: %1\n%2")
                                     .arg(QString::fromUtf8(e.what()), stmt.left(200))));
            }
            std::sort(got.begin(), got.end());
            if (got != expected) {
                QString g, x;
                for (auto n : got)
                    g += QString::number(n) + ' ';
                for (auto n : expected)
                    x += QString::number(n) + ' ';
                QFAIL(qPrintable(
                    QStringLiteral("%1\n got: %2\n expected: %3").arg(stmt.left(200), g, x)));
            }
        }
        QVERIFY(statements > 40);
    }

    // Letters of scripts beyond Latin and Cyrillic compare without regard to case as well.
    void greekLettersIgnoreCase()
    {
        const std::string dir = dir_ + "-greek";
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const auto cols = fzgen::personColumns();
        jet4::Row r(cols.size());
        r[0] = std::string("1");
        r[2] = QStringLiteral("Ωμέγα").toStdString();
        jet4::writeTable(dir + "/tabl1.mdb", "FZ_T1", cols, {r});
        search::SearchForm f;
        f.fam = QStringLiteral("ΩΜΈΓΑ");
        f.famMode = search::kModePrefix;
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        q.addSql(search::searchStatement(f).toStdString());
        q.open();
        QCOMPARE(q.recordCount(), std::int64_t(1));
    }
};

QTEST_GUILESS_MAIN(StrangeInput)
#include "test_strange.moc"
