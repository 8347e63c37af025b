#pragma once
// Read access to the result grid's cells as the grid itself counts them: row 0 is the
// header row, rows 1.. are records; cell(col, row) as in the grid's Cells[col][row].
#include <QString>

#include <string_view>

class GridCells {
public:
    virtual ~GridCells() = default;
    virtual int gridRowCount() const = 0;
    virtual int gridColumnCount() const = 0;
    virtual QString cell(int col, int row) const = 0;
    // The cell as the UTF-8 bytes it was made from, when the grid has them: cell() is then
    // that text with its first letter capitalised when `capitalizeFirst`. The bytes stay
    // valid until the next call. False: only cell() gives this cell.
    virtual bool cellUtf8(int col, int row, std::string_view& text, bool& capitalizeFirst) const
    {
        (void)col, (void)row, (void)text, (void)capitalizeFirst;
        return false;
    }
    // cellUtf8 of every column of a row at once (text and capitalizeFirst hold
    // gridColumnCount() entries); false when some cell of the row has no UTF-8 bytes.
    virtual bool rowUtf8(int row, std::string_view* text, bool* capitalizeFirst) const
    {
        (void)row, (void)text, (void)capitalizeFirst;
        return false;
    }
    // Whether some cell could not be read from where the grid takes its rows (its text is
    // then not the data): such a grid is not to be shown or written out.
    virtual bool cellsLost() const { return false; }
};
