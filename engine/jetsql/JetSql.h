#pragma once
// The Jet SQL dialect the program speaks, parsed into a small tree. Only reading
// statements exist:
//   SELECT * | Count(*) | Distinct(col) | DISTINCT col | col[, col...] FROM table
//     [WHERE cond]
//   cond: cond AND cond | cond OR cond | NOT cond | (cond)
//         | col {= | <> | < | > | <= | >=} literal | col [NOT] LIKE literal
//         | col IS [NOT] NULL | col [NOT] SIMILAR literal
// Identifiers are ASCII-case-insensitive and may be written in [brackets]. Literals are in
// double or single quotes (the quote doubled inside stands for one) or plain numbers.
// Errors are EngineError with the message a user sees.
//
// What the statements mean (the store answers them this way):
// - Text "=" and LIKE ignore letter case (Latin, Latin-1, Latin Extended-A, Greek, Cyrillic; "Ё"
//   is "ё"), and "ё" and "е" stay different letters. Everything else counts, spaces too:
//   "Ленинский " is not equal to "Ленинский" (no blank padding).
// - LIKE: "%" is any run of characters (also none), "_" exactly one character (a Cyrillic
//   letter is one character). Every other character stands for itself, "[", "]", "*", "?"
//   and "#" included: wildcards as in ANSI-92 mode, without character lists or escapes.
// - A null satisfies no comparison and no negated one either (<>, NOT LIKE, NOT ...);
//   only IS NULL finds it.
// - Number columns compare as their decimal text; <, >, <=, >= compare folded text by
//   code points.
// - DISTINCT gives one row per value up to letter case, spelled as its first row spells it;
//   a null comes first, then the values in the order of their folded code points, except that
//   "ё" follows "е" as in the alphabet; null and the empty text are two values.
// - SIMILAR is this engine's own: the value may be the literal heard and written down
//   differently (Similar.h has the rules). The desktop engine knows no such operator and
//   refuses the statement with its usual syntax message.
// - SELECT * and column lists return the rows in table order; Count(*) is one column named
//   "Expr1000". A condition holding SIMILAR is the exception: the rows it finds come closest
//   first (Similar.h's closeness; several SIMILARs by the first, then the next), table order
//   among equals.

#include <memory>
#include <string>
#include <vector>

namespace engine::jet {

struct Cond {
    enum class Kind { And, Or, Not, Compare, Like, IsNull, Similar };
    Kind kind = Kind::Compare;
    std::unique_ptr<Cond> left, right; // And, Or (both); Not (left)
    std::string column;                // Compare, Like, IsNull, Similar: the name as written
    std::string op;                    // Compare: = <> < > <= >=
    std::string literal;               // Compare, Like, Similar: the value (UTF-8)
    bool negated = false;              // Like, Similar: NOT before it; IsNull: IS NOT NULL
};

struct Statement {
    enum class Kind { Star, Count, Distinct, Columns };
    Kind kind = Kind::Star;
    std::vector<std::string> columns; // Distinct: one; Columns: the list
    std::string table;
    std::unique_ptr<Cond> where; // null without WHERE
    std::string whereText;       // the condition as written, for messages
    // Unquoted names written where a value belongs: the engine has no value for them
    // (they make the statement fail once the table is known, like unknown columns).
    std::vector<std::string> parameters;
};

Statement parse(const std::string& sql);

// The column names a condition mentions (as written), in order of appearance.
void collectColumns(const Cond& c, std::vector<std::string>& out);

} // namespace engine::jet
