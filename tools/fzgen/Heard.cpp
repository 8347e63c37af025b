#include "tools/fzgen/Heard.h"

#include "util/PersonTable.h"
#include "util/Utf8.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <string_view>

namespace fzgen {

namespace {

std::uint32_t below(std::mt19937_64& r, std::uint32_t n)
{
    return static_cast<std::uint32_t>(r() % n);
}

std::u32string decode(const std::string& s)
{
    std::u32string out;
    for (std::size_t i = 0; i < s.size();)
        out.push_back(fz::utf8::decode(s, i));
    return out;
}

std::string encode(const std::u32string& w)
{
    std::string out;
    for (char32_t c : w)
        fz::utf8::append(c, out);
    return out;
}

bool isLetter(char32_t c)
{
    return (c >= U'а' && c <= U'я') || c == U'ё';
}

bool isVowel(char32_t c)
{
    return std::u32string_view(U"аеёиоуыэюя").find(c) != std::u32string_view::npos;
}

// The other member of a pair of letters a listener confuses, or 0.
char32_t partner(char32_t c, std::u32string_view pairs)
{
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        if (pairs[i] == c)
            return pairs[i + 1];
        if (pairs[i + 1] == c)
            return pairs[i];
    }
    return 0;
}

// A random position i in w where ok(i) holds, or npos.
template <class Ok>
std::size_t somewhere(const std::u32string& w, std::mt19937_64& r, Ok ok)
{
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < w.size(); ++i)
        if (ok(i))
            at.push_back(i);
    return at.empty() ? std::u32string::npos : at[below(r, static_cast<std::uint32_t>(at.size()))];
}

constexpr auto npos = std::u32string::npos;

// One slip; returns false when the chosen kind has nothing to act on in w.
bool slip(std::u32string& w, std::mt19937_64& r)
{
    // Kinds weighted: the sounds far more often than the letters' order.
    static const int kinds[] = {0, 0, 0, 1, 1, 1, 1, 2, 3, 3, 4, 5, 6, 7, 8, 9};
    const int kind = kinds[below(r, std::size(kinds))];
    const std::u32string_view voicing = U"бпвфгкдтжшзс";
    std::size_t i = npos;
    switch (kind) {
    case 0: { // voiced for voiceless or back, mostly where the voice is lost anyway
        i = somewhere(w, r, [&](std::size_t k) {
            return partner(w[k], voicing) && (k + 1 == w.size() || !isVowel(w[k + 1]));
        });
        if (i == npos)
            i = somewhere(w, r, [&](std::size_t k) { return partner(w[k], voicing) != 0; });
        if (i == npos)
            return false;
        w[i] = partner(w[i], voicing);
        return true;
    }
    case 1: // the unstressed vowels
        i = somewhere(w, r, [&](std::size_t k) { return k > 0 && partner(w[k], U"оаеияе") != 0; });
        if (i == npos)
            return false;
        w[i] = partner(w[i], U"оаеияе");
        return true;
    case 2:
        i = somewhere(w, r, [&](std::size_t k) { return w[k] == U'е' || w[k] == U'ё'; });
        if (i == npos)
            return false;
        w[i] = w[i] == U'е' ? U'ё' : U'е';
        return true;
    case 3: // a doubled letter single, or a single consonant doubled
        i = somewhere(w, r, [&](std::size_t k) { return k > 0 && w[k] == w[k - 1]; });
        if (i != npos) {
            w.erase(i, 1);
            return true;
        }
        i = somewhere(w, r, [&](std::size_t k) {
            return k > 0 && !isVowel(w[k]) && w[k] != U'ь' && w[k] != U'й';
        });
        if (i == npos)
            return false;
        w.insert(i, 1, w[i]);
        return true;
    case 4: // the soft sign
        i = somewhere(w, r, [&](std::size_t k) { return w[k] == U'ь' || w[k] == U'ъ'; });
        if (i != npos) {
            w.erase(i, 1);
            return true;
        }
        i = somewhere(w, r, [&](std::size_t k) {
            return k > 0 && k + 1 < w.size() && !isVowel(w[k]) && !isVowel(w[k + 1]);
        });
        if (i == npos)
            return false;
        w.insert(i + 1, 1, U'ь');
        return true;
    case 5: // "ц" as "тс", "щ" as "сч", or back
        if (std::size_t k = w.find(U'ц'); k != npos) {
            w.replace(k, 1, U"тс");
            return true;
        }
        if (std::size_t k = w.find(U"тс"); k != npos) {
            w.replace(k, 2, U"ц");
            return true;
        }
        if (std::size_t k = w.find(U'щ'); k != npos) {
            w.replace(k, 1, U"сч");
            return true;
        }
        return false;
    case 6: // two neighbours swapped
        i = somewhere(w, r,
                      [&](std::size_t k) { return k > 0 && k + 1 < w.size() && w[k] != w[k + 1]; });
        if (i == npos)
            return false;
        std::swap(w[i], w[i + 1]);
        return true;
    case 7: // a letter lost
        if (w.size() < 4)
            return false;
        w.erase(1 + below(r, static_cast<std::uint32_t>(w.size() - 1)), 1);
        return true;
    case 8: { // a letter added: a vowel between two consonants, or a neighbour's echo
        i = somewhere(w, r,
                      [&](std::size_t k) { return k > 0 && !isVowel(w[k]) && !isVowel(w[k - 1]); });
        static const std::u32string_view vowels = U"аоеиы";
        if (i != npos) {
            w.insert(i, 1, vowels[below(r, static_cast<std::uint32_t>(vowels.size()))]);
        } else {
            i = below(r, static_cast<std::uint32_t>(w.size()));
            w.insert(i, 1, w[i]);
        }
        return true;
    }
    default: // "й" and "и"
        i = somewhere(w, r, [&](std::size_t k) {
            return w[k] == U'й' || (w[k] == U'и' && k > 0 && isVowel(w[k - 1]));
        });
        if (i == npos)
            return false;
        w[i] = w[i] == U'й' ? U'и' : U'й';
        return true;
    }
}

bool plainName(const jet4::Cell& c)
{
    if (!c || fz::utf8::charCount(*c) < 2)
        return false;
    const std::u32string w = decode(*c);
    return std::all_of(w.begin(), w.end(), isLetter);
}

} // namespace

std::string misheard(const std::string& name, std::mt19937_64& random)
{
    std::u32string w = decode(name);
    const std::u32string original = w;
    const int slips = below(random, 4) == 0 ? 2 : 1;
    for (int done = 0, tries = 0; (done < slips || w == original) && tries < 100; ++tries)
        done += slip(w, random);
    if (w == original) // a name no slip changes (never seen): one letter more
        w.push_back(U'а');
    return encode(w);
}

std::vector<HeardName> heardNames(const Options& options, std::size_t count, std::uint64_t seed)
{
    std::mt19937_64 r(seed);
    count = std::min<std::uint64_t>(count, options.rows);
    std::set<std::uint64_t> chosen;
    while (chosen.size() < count)
        chosen.insert(1 + r() % options.rows);
    std::vector<HeardName> out;
    PersonGenerator generator(options);
    std::size_t owed = 0; // chosen rows passed over, taken from the next usable ones
    for (std::uint64_t row = 1; row <= options.rows && out.size() < count; ++row) {
        const jet4::Row person = generator.next();
        const bool isChosen = chosen.count(row) > 0;
        if (!isChosen && owed == 0)
            continue;
        const std::uint32_t pick = below(r, 5);
        const std::size_t col = pick < 3    ? fz::person::FAM
                                : pick == 3 ? fz::person::NAME
                                            : fz::person::OTCHEST;
        const std::size_t use = plainName(person[col]) ? col : std::size_t{fz::person::FAM};
        if (!plainName(person[use])) {
            owed += isChosen;
            continue;
        }
        if (!isChosen)
            --owed;
        HeardName h;
        h.row = row;
        h.column = std::string(fz::person::columnName(static_cast<fz::person::Column>(use)));
        h.written = *person[use];
        h.heard = misheard(h.written, r);
        out.push_back(std::move(h));
    }
    return out;
}

void writeHeardCsv(const std::string& path, const std::vector<HeardName>& names)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        throw jet4::WriteError("cannot create " + path + ": " + std::strerror(errno));
    f << "ID,column,written,heard\r\n";
    for (const HeardName& h : names)
        f << h.row << ',' << h.column << ',' << h.written << ',' << h.heard << "\r\n";
    f.close();
    if (!f)
        throw jet4::WriteError("cannot write " + path);
}

} // namespace fzgen
