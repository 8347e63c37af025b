#pragma once
// The "похожее" match: a stored value matches a typed one when it may be the same word
// heard over the telephone and written down differently. Both texts are folded (Fold.h)
// before they get here. A stored value matches when
//   1. their plain spellings are equal: "ё" read as "е", "й" as "и", "ъ" and "ь" dropped,
//      a doubled letter written once ("Ёлкин" = "Елкин", "Алла" = "Ала",
//      "Сергеевич" = "Сергевич");
//   2. or their sound keys are equal: the plain spelling with "сч", "зч" and "щ" one sound,
//      a voiced consonant (б в г д ж з) at the end of the word or before a consonant made
//      voiceless (п ф к т ш с), "тс" and "дс" one "ц", "о" and "а" one vowel, "е", "и"
//      and "я" one vowel ("Иваноф" = "Иванов", "Швартс" = "Шварц");
//   3. or their plain spellings are within one edit of each other (a letter inserted,
//      dropped or replaced, or two neighbours swapped) when the typed value has up to five
//      letters, two edits when it has more ("Шварц" ~ "Шварс", "Сидрова" ~ "Сидорова").
// A male and a female form never match each other, by whichever rule: a word ending as a
// man's surname or patronymic ("-ов", "-ев", "-ин", "-ын", "-ий", "-ой", "-ич", and the
// heard "-оф", "-еф") does not match one ending as a woman's ("-ова", "-ева", "-ина",
// "-ына", "-ая", "-вна", "-чна"). So "Иванов" finds "Иваноф" and "Ивонов" but not
// "Иванова": the female ending is not an edit, and the operator ticks "Ж" or types the
// female form to find women. Words whose ending says nothing (most first names, "-ко",
// "-их") are compared by the three rules alone.
// An empty value (no letter or digit: nothing but spaces, punctuation, "ъ" and "ь") matches
// nothing and is matched by nothing: it says nothing that could have been heard.

#include <string>
#include <string_view>

namespace engine::similar {

// The letters (code points) of a folded UTF-8 text.
std::u32string letters(std::string_view folded);

// Rule 1's spelling.
std::u32string plainSpelling(std::u32string_view word);

// Rule 2's key, made from a plain spelling.
std::u32string soundKey(std::u32string_view plain);

// The edits between a and b when there are at most `limit`, else limit + 1.
int editsUpTo(std::u32string_view a, std::u32string_view b, int limit);

// Edits a typed value of `typedLetters` letters may be away from a stored one.
int editsAllowed(size_t typedLetters);

enum class Sex { Unknown, Male, Female };
// What the word's ending says (on the folded letters).
Sex sexOfEnding(std::u32string_view word);

// One word prepared for the comparisons above.
struct Heard {
    std::u32string plain;
    std::u32string sound;
    Sex sex = Sex::Unknown;
    size_t letters = 0; // of the word as written
};
Heard hear(std::string_view folded);

// Whether a stored value matches a typed one.
bool matches(const Heard& typed, const Heard& stored);
bool matches(std::string_view typedFolded, std::string_view storedFolded);

// How close a matching stored value is to the typed one, for putting the closest first:
// 0 the same text; 1 the same but for "ё" written as "е" or back; then, from 2, by the edits
// between the plain spellings (fewest first, kFarEdits or more counted alike) and, for the
// same edits, equal sound keys before unequal ones. Smaller is closer.
constexpr int kFarEdits = 4;
constexpr int kClosenessClasses = 2 + 2 * (kFarEdits + 1);
int closeness(std::string_view typedFolded, const Heard& typed, std::string_view storedFolded,
              const Heard& stored);

// The text with every "ё" made "е".
std::string withoutYo(std::string_view folded);

} // namespace engine::similar
