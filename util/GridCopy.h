#pragma once
// The text a copy of grid cells puts on the clipboard: what spreadsheets paste as a block.
// The column titles (row 0) come first, then one line per row; cells are separated by tabs,
// lines end with a line feed. A cell holding a tab, a line break or a double quote is put
// in double quotes with its quotes doubled, so that it pastes as one cell.
#include "util/GridCells.h"

#include <QString>
#include <vector>

// A block of selected cells in grid coordinates (data rows from 1), bounds included.
struct GridRange {
    int top = 1, left = 0, bottom = 1, right = 0;
    bool contains(int col, int row) const
    {
        return row >= top && row <= bottom && col >= left && col <= right;
    }
};

// The selected cells as text: every row and column that some range touches, in grid order;
// a cell of them that no range holds is copied empty. Rows outside the data rows are passed
// over. Empty text when nothing is selected.
QString copiedText(const GridCells& grid, const std::vector<GridRange>& ranges);

// One cell as a field of that text.
QString copiedField(const QString& text);
