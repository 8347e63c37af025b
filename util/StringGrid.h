#pragma once
// The result grid's cell store, shaped like a string grid: row 0 is the header row, rows
// 1.. hold records, every row has the same number of columns, and each column has a width
// in pixels. Big results are not copied cell by cell: the data rows can come from a row
// source that computes a cell when it is asked for, while cells written one by one still
// take precedence. As a table model it shows the data rows (grid rows 1..) and gives row 0
// as the horizontal header.
#include "util/GridCells.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <memory>
#include <vector>

// Cells of the data rows computed on demand; dataRow 0 is the grid's row 1.
class GridRowSource {
public:
    virtual ~GridRowSource() = default;
    virtual QString cell(int col, int dataRow) const = 0;
    // As GridCells::cellUtf8, for a data row.
    virtual bool cellUtf8(int col, int dataRow, std::string_view& text, bool& capitalizeFirst) const
    {
        (void)col, (void)dataRow, (void)text, (void)capitalizeFirst;
        return false;
    }
    // As GridCells::rowUtf8, for a data row of `columns` cells (false when the source has
    // another number of columns).
    virtual bool rowUtf8(int dataRow, int columns, std::string_view* text,
                         bool* capitalizeFirst) const
    {
        (void)dataRow, (void)columns, (void)text, (void)capitalizeFirst;
        return false;
    }
    // The same rows sorted by column col (a negative col: in the order the source was made
    // with); null when the source cannot sort.
    virtual std::shared_ptr<const GridRowSource> sortedBy(int col, bool descending) const
    {
        (void)col, (void)descending;
        return nullptr;
    }
    // Which row, in the order the source was made with, data row dataRow shows.
    virtual int madeRow(int dataRow) const { return dataRow; }
    // As GridCells::cellsLost.
    virtual bool cellsLost() const { return false; }
};

class StringGrid : public QAbstractTableModel, public GridCells {
    Q_OBJECT
public:
    static constexpr int kDefaultColumnWidth = 64;

    explicit StringGrid(int columns, QObject* parent = nullptr);

    // GridCells
    int gridRowCount() const override { return rows_; }
    int gridColumnCount() const override { return int(widths_.size()); }
    QString cell(int col, int row) const override;
    bool cellUtf8(int col, int row, std::string_view& text, bool& capitalizeFirst) const override;
    bool rowUtf8(int row, std::string_view* text, bool* capitalizeFirst) const override;
    bool cellsLost() const override { return source_ && source_->cellsLost(); }

    void setCell(int col, int row, const QString& text);
    void setGridRowCount(int rows);       // at least 1 (the header row)
    void setGridColumnCount(int columns); // at least 1
    int columnWidth(int col) const;
    void setColumnWidth(int col, int width);
    // Widens the column to width when it is narrower; never narrows it.
    void growColumnWidth(int col, int width);

    // Replaces every data row: the grid gets rows + 1 rows, whose cells come from source
    // (nothing written one by one survives).
    void setDataRows(std::shared_ptr<const GridRowSource> source, int rows);

    // QAbstractItemModel: the data rows, with the header row as horizontal header.
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Sorts the data rows by a column when their source can (a negative column: back to the
    // source's own order); cells written one by one are never sorted. Rows selected or
    // current stay with their records.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The column the rows are sorted by, -1 when none (as setDataRows leaves them).
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

signals:
    void columnWidthChanged(int col, int width);

private:
    static quint64 key(int col, int row) { return (quint64(quint32(row)) << 32) | quint32(col); }
    void dropCellsBeyond(int rows, int cols);

    int rows_ = 2;
    std::vector<int> widths_;
    std::vector<QString> header_;
    QHash<quint64, QString> written_; // cells of data rows written one by one
    std::shared_ptr<const GridRowSource> source_;
    int sourceRows_ = 0;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

// Empties the grid down to the header row and one empty data row: from the last row down to
// row 1 each row's cells are cleared, and the last row is removed while there are more than 2.
void ClearGridRows(StringGrid& grid);
