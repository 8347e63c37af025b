#include "engine/jetsql/Similar.h"

#include "util/Utf8.h"

#include <algorithm>
#include <vector>

namespace engine::similar {

namespace {

constexpr char32_t kYo = U'ё', kYe = U'е', kShortI = U'й', kI = U'и', kHard = U'ъ', kSoft = U'ь';

bool isConsonant(char32_t c)
{
    return std::u32string_view(U"бвгджзйклмнпрстфхцчшщ").find(c) != std::u32string_view::npos;
}

// The voiceless pair of a voiced consonant, or 0.
char32_t voiceless(char32_t c)
{
    switch (c) {
    case U'б': return U'п';
    case U'в': return U'ф';
    case U'г': return U'к';
    case U'д': return U'т';
    case U'ж': return U'ш';
    case U'з': return U'с';
    default: return 0;
    }
}

bool endsWith(std::u32string_view w, std::u32string_view tail)
{
    return w.size() >= tail.size() && w.substr(w.size() - tail.size()) == tail;
}

void collapseDoubles(std::u32string& w)
{
    w.erase(std::unique(w.begin(), w.end()), w.end());
}

} // namespace

std::u32string letters(std::string_view folded)
{
    std::u32string out;
    out.reserve(folded.size());
    for (size_t i = 0; i < folded.size();)
        out.push_back(fz::utf8::decode(folded, i));
    return out;
}

std::u32string plainSpelling(std::u32string_view word)
{
    std::u32string out;
    out.reserve(word.size());
    for (char32_t c : word) {
        if (c == kHard || c == kSoft)
            continue;
        if (c == kYo)
            c = kYe;
        else if (c == kShortI)
            c = kI;
        if (out.empty() || out.back() != c)
            out.push_back(c);
    }
    return out;
}

std::u32string soundKey(std::u32string_view plain)
{
    // "сч" and "зч" sound as "щ".
    std::u32string w;
    w.reserve(plain.size());
    for (size_t i = 0; i < plain.size(); ++i) {
        if ((plain[i] == U'с' || plain[i] == U'з') && i + 1 < plain.size() &&
            plain[i + 1] == U'ч') {
            w.push_back(U'щ');
            ++i;
        } else {
            w.push_back(plain[i]);
        }
    }
    // Voiced consonants lose their voice at the end and before a consonant; from the end
    // backwards, so that a run of them goes as a whole.
    for (size_t i = w.size(); i-- > 0;) {
        const char32_t pair = voiceless(w[i]);
        if (pair && (i + 1 == w.size() || isConsonant(w[i + 1])))
            w[i] = pair;
    }
    // "тс" (and "дс", now "тс") is one "ц"; then the vowel pairs.
    std::u32string out;
    out.reserve(w.size());
    for (size_t i = 0; i < w.size(); ++i) {
        char32_t c = w[i];
        if (c == U'т' && i + 1 < w.size() && w[i + 1] == U'с') {
            c = U'ц';
            ++i;
        } else if (c == U'о') {
            c = U'а';
        } else if (c == U'е' || c == U'я') {
            c = U'и';
        }
        out.push_back(c);
    }
    collapseDoubles(out);
    return out;
}

int editsUpTo(std::u32string_view a, std::u32string_view b, int limit)
{
    const size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > static_cast<size_t>(limit))
        return limit + 1;
    // Optimal string alignment: three rows of the edit table, left as soon as a whole row
    // is over the limit. Names fit the rows on the stack; longer texts take the heap.
    constexpr size_t kShort = 48;
    int rows[3][kShort + 1];
    std::vector<int> heap(m > kShort ? 3 * (m + 1) : 0);
    int* back = m > kShort ? heap.data() : rows[0];
    int* prev = m > kShort ? heap.data() + (m + 1) : rows[1];
    int* cur = m > kShort ? heap.data() + 2 * (m + 1) : rows[2];
    for (size_t j = 0; j <= m; ++j)
        prev[j] = static_cast<int>(j);
    for (size_t i = 1; i <= n; ++i) {
        cur[0] = static_cast<int>(i);
        int rowMin = cur[0];
        for (size_t j = 1; j <= m; ++j) {
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            int v = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                v = std::min(v, back[j - 2] + 1);
            cur[j] = v;
            rowMin = std::min(rowMin, v);
        }
        if (rowMin > limit)
            return limit + 1;
        std::swap(back, prev);
        std::swap(prev, cur);
    }
    return std::min(prev[m], limit + 1);
}

int editsAllowed(size_t typedLetters)
{
    return typedLetters <= 5 ? 1 : 2;
}

Sex sexOfEnding(std::u32string_view word)
{
    for (std::u32string_view t : {U"ова", U"ева", U"ёва", U"ина", U"ына", U"ая", U"вна", U"чна"})
        if (endsWith(word, t))
            return Sex::Female;
    for (std::u32string_view t :
         {U"ов", U"ев", U"ёв", U"оф", U"еф", U"ёф", U"ин", U"ын", U"ий", U"ой", U"ич"})
        if (endsWith(word, t))
            return Sex::Male;
    return Sex::Unknown;
}

Heard hear(std::string_view folded)
{
    Heard h;
    const std::u32string w = letters(folded);
    h.plain = plainSpelling(w);
    h.sound = soundKey(h.plain);
    h.sex = sexOfEnding(w);
    h.letters = w.size();
    return h;
}

namespace {

// Nothing that could have been heard: no letter or digit, only spaces, punctuation and
// signs of softness (which the plain spelling has dropped).
bool blank(const Heard& h)
{
    return std::none_of(h.plain.begin(), h.plain.end(), [](char32_t c) {
        return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') ||
               (c >= 0xC0 && c != 0xD7 && c != 0xF7 && (c < 0x2000 || c > 0x206F) && c != 0x3000);
    });
}

} // namespace

bool matches(const Heard& typed, const Heard& stored)
{
    if (blank(typed) || blank(stored))
        return false;
    if (typed.sex != Sex::Unknown && stored.sex != Sex::Unknown && typed.sex != stored.sex)
        return false;
    if (typed.plain == stored.plain || typed.sound == stored.sound)
        return true;
    const int limit = editsAllowed(typed.letters);
    return editsUpTo(typed.plain, stored.plain, limit) <= limit;
}

bool matches(std::string_view typedFolded, std::string_view storedFolded)
{
    return matches(hear(typedFolded), hear(storedFolded));
}

std::string withoutYo(std::string_view folded)
{
    static constexpr std::string_view yo = "ё", ye = "е";
    std::string out(folded);
    for (size_t at = out.find(yo); at != std::string::npos; at = out.find(yo, at + ye.size()))
        out.replace(at, yo.size(), ye);
    return out;
}

int closeness(std::string_view typedFolded, const Heard& typed, std::string_view storedFolded,
              const Heard& stored)
{
    if (typedFolded == storedFolded)
        return 0;
    if (withoutYo(typedFolded) == withoutYo(storedFolded))
        return 1;
    const int edits = editsUpTo(typed.plain, stored.plain, kFarEdits);
    return 2 + 2 * std::min(edits, kFarEdits) + (typed.sound == stored.sound ? 0 : 1);
}

} // namespace engine::similar
