#include "bench/Shapes.h"

#include "tools/fzgen/Heard.h"

#include <QString>

#include <algorithm>
#include <cstdlib>
#include <random>

namespace bench {

namespace {

// ---- picking search values that exist in the table ----

bool cleanValue(const QString& v, bool lowerOnly, bool digitsOnly, int minChars)
{
    if (v.size() < minChars || v != v.trimmed())
        return false;
    for (const QChar c : v) {
        if (digitsOnly ? !(c.isDigit() || c == QLatin1Char('.'))
                       : !(c.isLetter() || c == QLatin1Char(' ') || c == QLatin1Char('-') ||
                           c == QLatin1Char('.')))
            return false;
    }
    return !lowerOnly || v == v.toLower();
}

// A value to search for: among the spellings that fold to the same letters, counted
// together, the group whose count is nearest `target` (ties: the bigger group, then the
// smaller text), or the biggest group when `mostFrequent`; the group's most frequent clean
// spelling is returned (mixed-case and padded variants are left to the case rules).
std::string pickValue(const std::unordered_map<std::string, std::int64_t>& counts,
                      std::int64_t target, bool lowerOnly, bool digitsOnly, int minChars,
                      bool mostFrequent = false)
{
    struct Group {
        std::int64_t total = 0;
        std::string spelling;
        std::int64_t spellingCount = -1;
    };
    std::map<std::string, Group> groups;
    for (const auto& [value, count] : counts) {
        const QString q = QString::fromStdString(value);
        Group& g = groups[q.trimmed().toLower().toStdString()];
        g.total += count;
        if (cleanValue(q, lowerOnly, digitsOnly, minChars) &&
            (count > g.spellingCount || (count == g.spellingCount && value < g.spelling))) {
            g.spelling = value;
            g.spellingCount = count;
        }
    }
    const Group* best = nullptr;
    for (const auto& [folded, g] : groups) {
        if (g.spelling.empty())
            continue;
        bool better;
        if (!best) {
            better = true;
        } else if (mostFrequent) {
            better = g.total > best->total;
        } else {
            const auto d = std::llabs(g.total - target), bd = std::llabs(best->total - target);
            better = d < bd || (d == bd && g.total > best->total);
        }
        if (better)
            best = &g;
    }
    return best ? best->spelling : std::string();
}

// Sets the text and mode of one of the seven mode-taking fields.
void setField(search::SearchForm& f, const std::string& column, const QString& text,
              const QString& mode)
{
    if (column == "FAM") {
        f.fam = text;
        f.famMode = mode;
    } else if (column == "NAME") {
        f.name = text;
        f.nameMode = mode;
    } else if (column == "OTCHEST") {
        f.otchest = text;
        f.otchestMode = mode;
    } else if (column == "RAION") {
        f.raion = text;
        f.raionMode = mode;
    } else if (column == "CITI") {
        f.citi = text;
        f.citiMode = mode;
    } else if (column == "DEREV") {
        f.derev = text;
        f.derevMode = mode;
    } else if (column == "STRIT") {
        f.strit = text;
        f.stritMode = mode;
    }
}

Shape makeShape(std::string label, const QString& shown, Kind kind, const search::SearchForm& form)
{
    Shape s;
    s.label = std::move(label);
    s.value = shown.toStdString();
    s.kind = kind;
    s.form = form;
    s.statement = search::searchStatement(form).toStdString();
    s.where = search::whereText(form).toStdString();
    return s;
}

// The four modes of each text field on one of its values; the surname also as misheard.
// Sets famPrefix to the surname's prefix (left empty without a usable surname).
void addFieldShapes(std::vector<Shape>& shapes, const ColumnValues& cv, std::int64_t target,
                    QString* famPrefix)
{
    struct Col {
        const char* column;
        const char* label;
        bool lower;
    };
    const Col cols[] = {{"FAM", "surname", true},        {"NAME", "name", true},
                        {"OTCHEST", "patronymic", true}, {"RAION", "district", false},
                        {"CITI", "city", false},         {"DEREV", "village", false},
                        {"STRIT", "street", false}};
    for (const Col& c : cols) {
        const std::string v = pickValue(cv.counts.at(c.column), target, c.lower, false, 5);
        if (v.empty()) {
            say(std::string("no usable value in ") + c.column + "; its shapes are left out");
            continue;
        }
        const QString q = QString::fromStdString(v);
        const int n = int(q.size());
        const int half = std::max(3, (n + 1) / 2);
        const QString prefix = q.left(half);
        const QString suffix = q.right(half);
        const QString middle = q.mid((n - 3) / 2, 3);
        if (std::string(c.column) == "FAM")
            *famPrefix = prefix;
        const struct {
            const char* mode;
            const QString* caption;
            QString text;
            Kind kind;
        } modes[] = {{"exact", &search::kModeExact, q, Kind::Selective},
                     {"prefix", &search::kModePrefix, prefix, Kind::Selective},
                     {"suffix", &search::kModeSuffix, suffix, Kind::Selective},
                     {"substring", &search::kModeAnywhere, middle, Kind::Substring}};
        for (const auto& m : modes) {
            search::SearchForm f;
            setField(f, c.column, m.text, *m.caption);
            shapes.push_back(makeShape(std::string(c.label) + " " + m.mode, m.text, m.kind, f));
        }
        // The surname as heard over the telephone ("похожее"): the value with one or two
        // slips of the ear, the same ones every run.
        if (std::string(c.column) == "FAM") {
            std::mt19937_64 random(1);
            const QString heard = QString::fromStdString(fzgen::misheard(v, random));
            search::SearchForm f;
            setField(f, c.column, heard, search::kModeSimilar);
            shapes.push_back(makeShape("surname similar", heard, Kind::Similar, f));
        }
    }
}

// Surname prefix + city + sex, a birth date, a home telephone.
void addMixedShapes(std::vector<Shape>& shapes, const ColumnValues& cv, std::int64_t target,
                    const QString& famPrefix)
{
    // Surname prefix + the most common city + female.
    const std::string city = pickValue(cv.counts.at("CITI"), 0, false, false, 3, true);
    if (!famPrefix.isEmpty() && !city.empty()) {
        search::SearchForm f;
        f.fam = famPrefix;
        f.famMode = search::kModePrefix;
        f.citi = QString::fromStdString(city);
        f.female = true;
        shapes.push_back(makeShape("surname prefix+city+sex",
                                   famPrefix + QStringLiteral("+") + f.citi + QStringLiteral("+Ж"),
                                   Kind::Selective, f));
    }
    // A birth date and a home telephone.
    for (const auto& [column, label] :
         {std::pair{"DATA_r", "birth date"}, std::pair{"TEL_h", "telephone (home)"}}) {
        const bool date = std::string(column) == "DATA_r";
        std::string v;
        if (date) {
            // dd.mm.yyyy only
            std::unordered_map<std::string, std::int64_t> dates;
            for (const auto& [value, count] : cv.counts.at(column)) {
                if (value.size() == 10 && value[2] == '.' && value[5] == '.')
                    dates.emplace(value, count);
            }
            v = pickValue(dates, target, false, true, 10);
        } else {
            v = pickValue(cv.counts.at(column), target, false, true, 5);
        }
        if (v.empty())
            continue;
        search::SearchForm f;
        (date ? f.date : f.telH) = QString::fromStdString(v);
        shapes.push_back(makeShape(label, QString::fromStdString(v), Kind::Selective, f));
    }
}

// A surname nobody has, sex alone, every person.
void addWholeTableShapes(std::vector<Shape>& shapes, const ColumnValues& cv)
{
    // A surname nobody has.
    {
        QString none = QStringLiteral("нетакойфамилии");
        while (cv.counts.at("FAM").count(none.toStdString()))
            none += QStringLiteral("я");
        search::SearchForm f;
        f.fam = none;
        shapes.push_back(makeShape("no match (surname exact)", none, Kind::Selective, f));
    }
    // Sex alone: about half the table.
    {
        search::SearchForm f;
        f.female = true;
        shapes.push_back(makeShape("sex alone (Ж)", QStringLiteral("Ж"), Kind::SexAlone, f));
    }
    // Every person: "%" typed into the surname with the prefix mode.
    {
        search::SearchForm f;
        f.fam = QStringLiteral("%");
        f.famMode = search::kModePrefix;
        shapes.push_back(makeShape("every person (surname %)", QStringLiteral("%"), Kind::All, f));
    }
}

} // namespace

std::vector<Shape> buildShapes(const ColumnValues& cv, std::int64_t rows)
{
    const std::int64_t target = std::max<std::int64_t>(1, rows / 1000);
    std::vector<Shape> shapes;
    QString famPrefix;
    addFieldShapes(shapes, cv, target, &famPrefix);
    addMixedShapes(shapes, cv, target, famPrefix);
    addWholeTableShapes(shapes, cv);
    return shapes;
}

} // namespace bench
