#pragma once
// The person table FZ_T1 as the program reads it: its columns in their positions, their
// names, and which of them take the four match modes (exact, from the start, from the end,
// anywhere). Plain C++, no Qt: the query builder, the result grid, the importer (which gives
// the match-mode columns their indexes) and the test-data generator all read it from here.

#include <array>
#include <string_view>

namespace fz::person {

inline constexpr std::string_view kTableName = "FZ_T1";

// Column positions.
enum Column : int {
    ID,
    KOD,
    FAM,     // surname
    NAME,    // first name
    OTCHEST, // patronymic
    IndexFZ, // postal code
    STRANA,  // country
    OBL,     // region
    RAION,   // district
    CITI,    // city
    DEREV,   // village
    STRIT,   // street
    N_HOUSE1,
    N_HOUSE2,
    N_kv,   // flat
    DATA_r, // birth date
    POL,    // sex
    TEL_h,  // home telephone
    TEL_r,  // work telephone
    kColumnCount
};

struct ColumnInfo {
    std::string_view name;
    bool matchModes; // searched with a match mode
};

inline constexpr std::array<ColumnInfo, kColumnCount> kColumns = {{
    {"ID", false},       {"KOD", false},      {"FAM", true},     {"NAME", true},
    {"OTCHEST", true},   {"IndexFZ", false},  {"STRANA", false}, {"OBL", false},
    {"RAION", true},     {"CITI", true},      {"DEREV", true},   {"STRIT", true},
    {"N_HOUSE1", false}, {"N_HOUSE2", false}, {"N_kv", false},   {"DATA_r", false},
    {"POL", false},      {"TEL_h", false},    {"TEL_r", false},
}};

constexpr std::string_view columnName(Column c)
{
    return kColumns[static_cast<std::size_t>(c)].name;
}

} // namespace fz::person
