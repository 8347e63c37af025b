#pragma once
// What the result grid's view does beyond showing cells: Ctrl+C and the context menu's
// "Копировать" put the selected cells on the clipboard as a block a spreadsheet pastes
// (GridCopy.h), and a click on a column title sorts the rows by that column, a second
// click the other way (StringGrid::sort). A new search shows its own order again.
#include "util/GridCopy.h"
#include "util/StringGrid.h"

#include <QTableView>
#include <vector>

namespace search {

void attachGridActions(QTableView& view, StringGrid& grid);

// The cells selected in the view, in grid coordinates.
std::vector<GridRange> selectedRanges(const QTableView& view);

} // namespace search
