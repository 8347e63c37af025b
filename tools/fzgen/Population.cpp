#include "tools/fzgen/Population.h"

#include "tools/fzgen/PersonData.h"
#include "util/PersonTable.h"
#include "util/Utf8.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <utility>

namespace fzgen {

namespace {

// xoshiro256** seeded through splitmix64: the same seed gives the same persons everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed)
    {
        for (auto& w : s_) {
            seed += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            w = z ^ (z >> 31);
        }
    }
    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    // 0..n-1 (n > 0); the modulo bias is far below anything a test could see.
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>((next() >> 11) % n); }
    int between(int lo, int hi)
    {
        return lo + static_cast<int>(below(static_cast<std::uint32_t>(hi - lo + 1)));
    }
    // true with the given chance in thousandths
    bool chance(std::uint32_t perMille) { return below(1000) < perMille; }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

// Rank-weighted choice: the k-th entry has weight about 1/(k+offset), so the first entries
// are far more frequent than the last (surnames, first names, streets).
class RankedPick {
public:
    RankedPick(std::size_t count, std::uint32_t offset)
    {
        std::uint64_t total = 0;
        for (std::size_t k = 0; k < count; ++k) {
            total += 1000000u / (k + offset);
            cumulative_.push_back(total);
        }
    }
    std::size_t pick(Random& r) const
    {
        const std::uint64_t x = (r.next() >> 11) % cumulative_.back();
        std::size_t lo = 0;
        std::size_t hi = cumulative_.size() - 1;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            if (cumulative_[mid] > x)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }

private:
    std::vector<std::uint64_t> cumulative_;
};

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string femaleSurname(const std::string& m)
{
    for (const char* t : {"ов", "ев", "ёв", "ин", "ын"})
        if (endsWith(m, t))
            return m + "а";
    for (const char* t : {"ий", "ой"})
        if (endsWith(m, t) && m.size() > 6)
            return m.substr(0, m.size() - std::strlen(t)) + "ая";
    return m; // -ко, -ук, -их and the like do not change
}

std::string digits(Random& r, int count)
{
    std::string s;
    for (int i = 0; i < count; ++i)
        s.push_back(static_cast<char>('0' + r.below(10)));
    return s;
}

std::string twoDigits(int v)
{
    return {static_cast<char>('0' + v / 10), static_cast<char>('0' + v % 10)};
}

int daysInMonth(int month, int year)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Upper-cases every other letter (ASCII and basic Cyrillic), for the mixed-case messy rows.
std::string mixCase(const std::string& s)
{
    std::string out;
    bool up = true;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 'a' && c <= 'z') {
            out.push_back(static_cast<char>(up ? c - 32 : c));
            up = !up;
        } else if (c == 0xD0 && i + 1 < s.size()) {
            const auto n = static_cast<unsigned char>(s[i + 1]);
            // а..п are D0 B0..D0 BF; А..П are D0 90..D0 9F
            if (up && n >= 0xB0 && n <= 0xBF) {
                out.push_back(static_cast<char>(0xD0));
                out.push_back(static_cast<char>(n - 0x20));
            } else {
                out.push_back(static_cast<char>(c));
                out.push_back(static_cast<char>(n));
            }
            ++i;
            up = !up;
        } else if (c == 0xD1 && i + 1 < s.size()) {
            const auto n = static_cast<unsigned char>(s[i + 1]);
            // р..я are D1 80..D1 8F; Р..Я are D0 A0..D0 AF
            if (up && n >= 0x80 && n <= 0x8F) {
                out.push_back(static_cast<char>(0xD0));
                out.push_back(static_cast<char>(n + 0x20));
            } else {
                out.push_back(static_cast<char>(c));
                out.push_back(static_cast<char>(n));
            }
            ++i;
            up = !up;
        } else {
            out.push_back(static_cast<char>(c));
        }
    }
    return out;
}

// Byte position of the character nearest the middle of a UTF-8 string.
std::size_t middle(const std::string& s)
{
    std::size_t pos = s.size() / 2;
    while (pos > 0 && fz::utf8::continues(static_cast<unsigned char>(s[pos])))
        --pos;
    return pos;
}

using namespace fz::person;

} // namespace

std::vector<jet4::Column> personColumns()
{
    using jet4::ColumnType;
    // Types and widths as the directory's files declare them, column by column.
    static constexpr std::pair<ColumnType, int> kShapes[] = {
        {ColumnType::Long, 0},   {ColumnType::Text, 20},  {ColumnType::Text, 50},
        {ColumnType::Text, 50},  {ColumnType::Text, 50},  {ColumnType::Text, 10},
        {ColumnType::Text, 50},  {ColumnType::Text, 100}, {ColumnType::Text, 100},
        {ColumnType::Text, 100}, {ColumnType::Text, 100}, {ColumnType::Text, 100},
        {ColumnType::Text, 10},  {ColumnType::Text, 10},  {ColumnType::Text, 10},
        {ColumnType::Text, 10},  {ColumnType::Text, 10},  {ColumnType::Text, 20},
        {ColumnType::Text, 20},
    };
    static_assert(std::size(kShapes) == kColumnCount);
    std::vector<jet4::Column> out;
    for (std::size_t c = 0; c < kColumnCount; ++c)
        out.push_back({std::string(kColumns[c].name), kShapes[c].first, kShapes[c].second});
    return out;
}

struct PersonGenerator::Impl {
    Options options;
    Random random;
    Random messyRandom; // separate stream: the plain persons do not change with --messy
    std::uint64_t produced = 0;
    std::vector<jet4::Column> columns = personColumns();
    RankedPick surnames{data::surnames().size(), 3};
    RankedPick maleNames{data::maleNames().size(), 2};
    RankedPick femaleNames{data::femaleNames().size(), 2};
    RankedPick patronymics{data::patronymics().size(), 2};
    RankedPick cityStreets{data::cityStreets().size(), 4};
    RankedPick townStreets{12, 2};
    RankedPick villageStreets{data::villageStreets().size(), 2};
    RankedPick districts{data::cityDistricts().size(), 3};
    RankedPick towns{data::towns().size(), 2};
    RankedPick villages{data::villages().size(), 2};

    Impl(const Options& o)
        : options(o)
        , random(o.seed)
        , messyRandom(o.seed ^ 0x6D657373795F726Full)
    {
    }

    // An optional text: present with `presentPerMille`, otherwise "" or (1 in 8) NULL.
    jet4::Cell optional(std::uint32_t presentPerMille, const std::string& value)
    {
        if (random.chance(presentPerMille))
            return value;
        if (random.below(8) == 0)
            return std::nullopt;
        return std::string();
    }

    jet4::Row person()
    {
        Random& r = random;
        jet4::Row row(kColumnCount);
        row[ID] = std::to_string(produced + 1);
        row[KOD] = std::to_string(r.between(1, 9)) + digits(r, 8);

        const bool female = r.chance(535);
        row[POL] = female ? "жен" : "муж";
        const std::string& surname = data::surnames()[surnames.pick(r)];
        row[FAM] = female ? femaleSurname(surname) : surname;
        row[NAME] = female ? data::femaleNames()[femaleNames.pick(r)]
                           : data::maleNames()[maleNames.pick(r)];
        const data::Patronymic& p = data::patronymics()[patronymics.pick(r)];
        row[OTCHEST] = optional(985, female ? p.female : p.male);

        // Place: mostly the city, some towns, some villages.
        const std::uint32_t where = r.below(1000);
        std::string index;
        bool flat = false;
        if (where < 840) {
            const std::size_t d = districts.pick(r);
            row[CITI] = std::string(data::city());
            row[RAION] = data::cityDistricts()[d];
            row[DEREV] = r.chance(30) ? jet4::Cell() : jet4::Cell(std::string());
            row[STRIT] = data::cityStreets()[cityStreets.pick(r)];
            index = "3940" + twoDigits(static_cast<int>(d * 5 + r.below(5)));
            flat = r.chance(780);
        } else if (where < 950) {
            const std::size_t t = towns.pick(r);
            row[CITI] = data::towns()[t];
            row[RAION] = r.chance(300) ? data::ruralDistricts()[t % data::ruralDistricts().size()]
                                       : std::string();
            row[DEREV] = std::string();
            row[STRIT] = data::cityStreets()[townStreets.pick(r) * 7];
            index = "3946" + twoDigits(static_cast<int>(t * 4 + r.below(4)));
            flat = r.chance(400);
        } else {
            const std::size_t v = villages.pick(r);
            row[CITI] = r.chance(100) ? jet4::Cell() : jet4::Cell(std::string());
            row[RAION] = data::ruralDistricts()[v % data::ruralDistricts().size()];
            row[DEREV] = data::villages()[v];
            row[STRIT] =
                r.chance(550) ? data::villageStreets()[villageStreets.pick(r)] : std::string();
            index = "3947" + twoDigits(static_cast<int>(v * 2 + r.below(2)));
        }
        row[IndexFZ] = optional(920, index);

        const std::uint32_t country = r.below(1000);
        if (country < 975)
            row[STRANA] = std::string(data::country());
        else if (country < 990)
            row[STRANA] = data::otherCountries()[r.below(
                static_cast<std::uint32_t>(data::otherCountries().size()))];
        else
            row[STRANA] = country < 997 ? jet4::Cell(std::string()) : jet4::Cell();
        const std::uint32_t region = r.below(1000);
        if (region < 970)
            row[OBL] = std::string(data::region());
        else if (region < 988)
            row[OBL] = data::otherRegions()[r.below(
                static_cast<std::uint32_t>(data::otherRegions().size()))];
        else
            row[OBL] = region < 996 ? jet4::Cell(std::string()) : jet4::Cell();

        // House numbers: small ones are common, some with a letter.
        int house = 1 + static_cast<int>(r.below(20));
        if (r.chance(450))
            house += static_cast<int>(r.below(100));
        std::string h = std::to_string(house);
        if (r.chance(60))
            h += data::houseLetters()[r.below(
                static_cast<std::uint32_t>(data::houseLetters().size()))];
        row[N_HOUSE1] = optional(980, h);
        row[N_HOUSE2] = flat && r.chance(130) ? jet4::Cell(std::to_string(r.between(1, 4)))
                                              : optional(0, std::string());
        row[N_kv] = flat ? optional(970, std::to_string(r.between(1, r.chance(700) ? 80 : 300)))
                         : optional(0, std::string());

        // Birth dates from 1925 to 2006, fewer of the oldest.
        int year = r.between(1940, 2006);
        if (r.chance(80))
            year = r.between(1925, 1939);
        const int month = r.between(1, 12);
        const int day = r.between(1, daysInMonth(month, year));
        row[DATA_r] =
            optional(975, twoDigits(day) + "." + twoDigits(month) + "." + std::to_string(year));

        static const char* homeFirst = "2345";
        row[TEL_h] = optional(520, std::string(1, homeFirst[r.below(4)]) + digits(r, 5));
        row[TEL_r] = optional(260, std::string(1, r.chance(500) ? '6' : '7') + digits(r, 5));
        return row;
    }

    // Rows with awkward values: surrounding spaces, quotes, commas, wildcard characters,
    // empty strings, mixed case, extra NULLs.
    void mess(jet4::Row& row)
    {
        Random& r = messyRandom;
        const int changes = 1 + static_cast<int>(r.below(3));
        for (int i = 0; i < changes; ++i) {
            const int col = static_cast<int>(KOD + r.below(kColumnCount - KOD));
            jet4::Cell& cell = row[static_cast<std::size_t>(col)];
            std::string v = cell ? *cell : std::string();
            jet4::Cell result;
            switch (r.below(8)) {
            case 0: result = " " + v + " "; break;
            case 1: result = "  " + v; break;
            case 2: result = v.insert(middle(v), "\""); break;
            case 3: result = v.insert(middle(v), ", "); break;
            case 4: result = v.insert(middle(v), "%"); break;
            case 5: result = v.insert(middle(v), "_"); break;
            case 6: result = mixCase(v); break;
            default: result = r.chance(500) ? jet4::Cell() : jet4::Cell(std::string()); break;
            }
            if (!result ||
                fz::utf8::charCount(*result) <=
                    static_cast<std::size_t>(columns[static_cast<std::size_t>(col)].maxChars))
                cell = result;
        }
    }
};

PersonGenerator::PersonGenerator(const Options& options)
    : d(std::make_unique<Impl>(options))
{
}
PersonGenerator::~PersonGenerator() = default;

jet4::Row PersonGenerator::next()
{
    jet4::Row row = d->person();
    ++d->produced;
    if (d->options.messy && d->messyRandom.chance(50))
        d->mess(row);
    return row;
}

std::string csvLine(const jet4::Row& row)
{
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            line.push_back(',');
        if (!row[i]) {
            line += "\\N";
            continue;
        }
        const std::string& v = *row[i];
        const bool quote = v == "\\N" || v.find_first_of(",\"\r\n") != std::string::npos;
        if (!quote) {
            line += v;
            continue;
        }
        line.push_back('"');
        for (char c : v) {
            if (c == '"')
                line.push_back('"');
            line.push_back(c);
        }
        line.push_back('"');
    }
    line += "\r\n";
    return line;
}

namespace {

void writeRows(const std::string& mdbPath, const Options& options, std::ofstream& csv,
               const std::string& csvPath)
{
    jet4::Writer writer(mdbPath);
    writer.beginTable("FZ_T1", personColumns());
    PersonGenerator generator(options);
    for (std::uint64_t i = 0; i < options.rows; ++i) {
        const jet4::Row row = generator.next();
        writer.addRow(row);
        if (csv.is_open())
            csv << csvLine(row);
    }
    writer.endTable();
    if (csv.is_open()) {
        csv.close();
        if (!csv)
            throw jet4::WriteError("cannot write " + csvPath);
    }
    writer.finish();
}

} // namespace

void writePersons(const std::string& mdbPath, const Options& options, const std::string& csvPath)
{
    if (options.rows > 2147483647u)
        throw jet4::WriteError("too many rows: the person number must fit a Long Integer");
    std::ofstream csv;
    if (!csvPath.empty()) {
        csv.open(csvPath, std::ios::binary | std::ios::trunc);
        if (!csv)
            throw jet4::WriteError("cannot create " + csvPath + ": " + std::strerror(errno));
        jet4::Row header;
        for (const jet4::Column& c : personColumns())
            header.push_back(c.name);
        csv << csvLine(header);
    }
    try {
        writeRows(mdbPath, options, csv, csvPath);
    } catch (...) {
        // A CSV without its database would only mislead.
        if (!csvPath.empty()) {
            csv.close();
            std::remove(csvPath.c_str());
        }
        throw;
    }
}

} // namespace fzgen
