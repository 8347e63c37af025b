#pragma once
// The result grid's columns and how a search result fills them.
#include "engine/AdoQuery.h"
#include "util/PersonTable.h"
#include "util/StringGrid.h"

#include <QStringList>
#include <array>
#include <functional>
#include <memory>

namespace search {

constexpr int kGridLayoutColumns = 18; // the grid as laid out; one is dropped when shown
constexpr int kGridColumns = 17;
constexpr int kGridFirstColumnWidth = 56;
// The grid reads the person table's columns up to the last one.
constexpr int kTableColumnsNeeded = fz::person::kColumnCount;

// Grid column -> position of the person-table column that fills it.
constexpr std::array<int, kGridColumns> kGridColumnPositions = [] {
    using namespace fz::person;
    return std::array<int, kGridColumns>{FAM,    NAME,     OTCHEST,  CITI,  RAION,   DEREV,
                                         STRIT,  N_HOUSE1, N_HOUSE2, N_kv,  IndexFZ, OBL,
                                         STRANA, DATA_r,   POL,      TEL_h, TEL_r};
}();

QStringList gridTitles();
std::array<int, kGridColumns> gridStartWidths();

// The header as the main window sets it when shown: 17 columns, their titles in row 0 and
// the starting widths of columns 1 to 16 (column 0 keeps the layout's width).
void layoutGridHeader(StringGrid& grid);

// Fills rows 1.. from a search result: one row per record, the three name columns with a
// capital first letter, nulls as empty cells; N records leave N + 1 rows, an empty result
// the header and one empty row. A column narrower than 8 pixels per character of any of
// its texts is widened to fit; widths never shrink. The grid keeps the result itself and
// reads cells from it when they are shown, in the result's order until the grid is sorted
// by a column (GridSort.h). A result that turns out damaged (its store failed a check while
// cells were read) is not shown: `onDamage` (may be empty) is called once, at the fill or
// when a cell is read later, and the grid's cellsLost() holds.
void fillGridFromResult(StringGrid& grid, std::shared_ptr<const engine::ResultSet> result,
                        std::function<void()> onDamage = {});

} // namespace search
