#include "search/GridSort.h"

#include "search/ResultGrid.h"

#include <QCollator>
#include <QLocale>
#include <QString>
#include <algorithm>
#include <numeric>
#include <optional>
#include <string>

namespace search {

namespace {

// The distinct texts of a column, each numbered when first seen: open addressing over one
// block of bytes (a node per text costs more than the whole sort of a million rows).
class DistinctTexts {
public:
    std::uint32_t idOf(std::string_view t)
    {
        if ((texts_.size() + 1) * 2 > slots_.size())
            grow();
        const std::uint64_t h = std::hash<std::string_view>{}(t);
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t at = h & mask;; at = (at + 1) & mask) {
            Slot& s = slots_[at];
            if (s.id == kFree) {
                s = {h, std::uint32_t(texts_.size())};
                texts_.push_back({bytes_.size(), t.size()});
                bytes_.append(t);
                return s.id;
            }
            if (s.hash == h && text(s.id) == t)
                return s.id;
        }
    }
    std::size_t size() const { return texts_.size(); }
    std::string_view text(std::uint32_t id) const
    {
        return std::string_view(bytes_).substr(texts_[id].first, texts_[id].second);
    }

private:
    static constexpr std::uint32_t kFree = ~std::uint32_t{0};
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t id = kFree;
    };
    void grow()
    {
        std::vector<Slot> old(std::max<std::size_t>(slots_.size() * 2, 1024));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& s : old) {
            if (s.id == kFree)
                continue;
            std::size_t at = s.hash & mask;
            while (slots_[at].id != kFree)
                at = (at + 1) & mask;
            slots_[at] = s;
        }
    }
    std::vector<Slot> slots_;
    std::string bytes_;
    std::vector<std::pair<std::size_t, std::size_t>> texts_; // offset, size in bytes_
};

std::string_view trimmed(std::string_view s)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

bool digit(char c)
{
    return c >= '0' && c <= '9';
}

// The leading run of digits as a number (up to 18 of them); the rest in `rest`.
std::optional<std::int64_t> leadingNumber(std::string_view s, std::string_view& rest)
{
    std::size_t k = 0;
    std::int64_t v = 0;
    while (k < s.size() && digit(s[k]) && k < 18)
        v = v * 10 + (s[k++] - '0');
    if (k == 0 || (k < s.size() && digit(s[k])))
        return std::nullopt;
    rest = trimmed(s.substr(k));
    return v;
}

// "ДД.ММ.ГГГГ" as YYYYMMDD, and the rest (a time) in `rest`.
std::optional<std::int64_t> date(std::string_view s, std::string_view& rest)
{
    if (s.size() < 10 || s[2] != '.' || s[5] != '.')
        return std::nullopt;
    for (std::size_t i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (!digit(s[i]))
            return std::nullopt;
    auto num = [&](std::size_t at, std::size_t len) {
        int v = 0;
        for (std::size_t i = at; i < at + len; ++i)
            v = v * 10 + (s[i] - '0');
        return v;
    };
    const int day = num(0, 2), month = num(3, 2), year = num(6, 4);
    if (day < 1 || day > 31 || month < 1 || month > 12 || (s.size() > 10 && s[10] != ' '))
        return std::nullopt;
    rest = trimmed(s.substr(10));
    return std::int64_t{year} * 10000 + month * 100 + day;
}

// What one distinct text sorts by: its class (0 a value of the column's kind, 1 another
// text, 2 empty), the number or date, then the text (or what follows the number) collated.
struct Weight {
    int cls = 2;
    std::int64_t number = 0;
    int collated = -1; // index of its collation key; -1: nothing to collate
};

} // namespace

SortKind sortKindOf(int col)
{
    switch (col < 0 || col >= kGridColumns ? -1 : kGridColumnPositions[std::size_t(col)]) {
    case fz::person::DATA_r: return SortKind::Date;
    case fz::person::N_HOUSE1:
    case fz::person::N_HOUSE2:
    case fz::person::N_kv:
    case fz::person::IndexFZ:
    case fz::person::TEL_h:
    case fz::person::TEL_r: return SortKind::Number;
    default: return SortKind::Text;
    }
}

std::vector<std::uint32_t> sortedOrder(std::size_t n,
                                       const std::function<std::string_view(std::size_t)>& text,
                                       SortKind kind, bool descending)
{
    // Each row's distinct text.
    DistinctTexts distinct;
    std::vector<std::uint32_t> idOf(n);
    for (std::size_t i = 0; i < n; ++i)
        idOf[i] = distinct.idOf(text(i));

    // Each distinct text weighed, then put in order and ranked (alike texts one rank).
    QCollator collator{QLocale(QLocale::Russian, QLocale::Russia)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    std::vector<Weight> weights(distinct.size());
    for (std::size_t d = 0; d < distinct.size(); ++d) {
        const std::string_view t = trimmed(distinct.text(std::uint32_t(d)));
        Weight& w = weights[d];
        if (t.empty())
            continue;
        std::string_view collate = t;
        std::optional<std::int64_t> v;
        if (kind == SortKind::Date)
            v = date(t, collate);
        else if (kind == SortKind::Number)
            v = leadingNumber(t, collate);
        w.cls = kind == SortKind::Text || v ? 0 : 1;
        w.number = v.value_or(0);
        if (kind != SortKind::Text && !v)
            collate = t;
        if (!collate.empty()) {
            w.collated = int(keys.size());
            keys.push_back(
                collator.sortKey(QString::fromUtf8(collate.data(), qsizetype(collate.size()))));
        }
    }
    auto compare = [&](std::uint32_t a, std::uint32_t b) {
        const Weight &x = weights[a], &y = weights[b];
        if (x.cls != y.cls)
            return x.cls < y.cls ? -1 : 1;
        if (x.number != y.number)
            return x.number < y.number ? -1 : 1;
        if (x.collated < 0 || y.collated < 0)
            return x.collated == y.collated ? 0 : x.collated < 0 ? -1 : 1;
        return keys[std::size_t(x.collated)].compare(keys[std::size_t(y.collated)]);
    };
    std::vector<std::uint32_t> byWeight(distinct.size());
    std::iota(byWeight.begin(), byWeight.end(), 0u);
    std::sort(byWeight.begin(), byWeight.end(),
              [&](std::uint32_t a, std::uint32_t b) { return compare(a, b) < 0; });
    std::vector<std::uint32_t> rank(distinct.size());
    std::uint32_t ranks = 0, empty = 0;
    bool hasEmpty = false;
    for (std::size_t k = 0; k < byWeight.size(); ++k) {
        if (k > 0 && compare(byWeight[k - 1], byWeight[k]) != 0)
            ++ranks;
        rank[byWeight[k]] = ranks;
        if (weights[byWeight[k]].cls == 2) {
            hasEmpty = true;
            empty = ranks;
        }
    }
    ++ranks;
    if (descending) // reversed, the empty texts (the last rank) still last
        for (std::uint32_t& r : rank)
            if (!hasEmpty || r != empty)
                r = (hasEmpty ? empty : ranks) - 1 - r;

    // A counting sort on the ranks keeps alike rows in their order.
    std::vector<std::uint32_t> start(std::size_t(ranks) + 1, 0);
    for (std::uint32_t id : idOf)
        ++start[rank[id] + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> order(n);
    for (std::size_t i = 0; i < n; ++i)
        order[start[rank[idOf[i]]]++] = std::uint32_t(i);
    return order;
}

} // namespace search
