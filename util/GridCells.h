#pragma once
// Read access to the result grid's cells as the grid itself counts them: row 0 is the
// header row, rows 1.. are records; cell(col, row) as in the grid's Cells[col][row].
#include <QString>

class GridCells {
public:
    virtual ~GridCells() = default;
    virtual int gridRowCount() const = 0;
    virtual int gridColumnCount() const = 0;
    virtual QString cell(int col, int row) const = 0;
};
