#include "util/StringGrid.h"

#include <algorithm>

StringGrid::StringGrid(int columns, QObject* parent)
    : QAbstractTableModel(parent)
    , widths_(std::size_t(std::max(columns, 1)), kDefaultColumnWidth)
    , header_(std::size_t(std::max(columns, 1)))
{
}

QString StringGrid::cell(int col, int row) const
{
    if (col < 0 || col >= gridColumnCount() || row < 0 || row >= rows_)
        return {};
    if (row == 0)
        return header_[std::size_t(col)];
    const auto it = written_.constFind(key(col, row));
    if (it != written_.constEnd())
        return *it;
    if (source_ && row <= sourceRows_)
        return source_->cell(col, row - 1);
    return {};
}

bool StringGrid::cellUtf8(int col, int row, std::string_view& text, bool& capitalizeFirst) const
{
    if (col < 0 || col >= gridColumnCount() || row <= 0 || row >= rows_ || !source_ ||
        row > sourceRows_)
        return false;
    if (!written_.isEmpty() && written_.contains(key(col, row)))
        return false;
    return source_->cellUtf8(col, row - 1, text, capitalizeFirst);
}

bool StringGrid::rowUtf8(int row, std::string_view* text, bool* capitalizeFirst) const
{
    if (row <= 0 || row >= rows_ || !source_ || row > sourceRows_ || !written_.isEmpty())
        return false;
    return source_->rowUtf8(row - 1, gridColumnCount(), text, capitalizeFirst);
}

void StringGrid::setCell(int col, int row, const QString& text)
{
    if (col < 0 || col >= gridColumnCount() || row < 0 || row >= rows_)
        return;
    if (row == 0) {
        header_[std::size_t(col)] = text;
        emit headerDataChanged(Qt::Horizontal, col, col);
        return;
    }
    written_.insert(key(col, row), text);
    const QModelIndex i = index(row - 1, col);
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void StringGrid::dropCellsBeyond(int rows, int cols)
{
    for (auto it = written_.begin(); it != written_.end();) {
        const int row = int(it.key() >> 32);
        const int col = int(it.key() & 0xffffffffu);
        if (row >= rows || col >= cols)
            it = written_.erase(it);
        else
            ++it;
    }
    sourceRows_ = std::min(sourceRows_, rows - 1);
    if (sourceRows_ <= 0) {
        source_.reset();
        sourceRows_ = 0;
    }
}

void StringGrid::setGridRowCount(int rows)
{
    rows = std::max(rows, 1);
    if (rows == rows_)
        return;
    if (rows > rows_) {
        beginInsertRows({}, rows_ - 1, rows - 2);
        rows_ = rows;
        endInsertRows();
    } else {
        beginRemoveRows({}, rows - 1, rows_ - 2);
        rows_ = rows;
        dropCellsBeyond(rows_, gridColumnCount());
        endRemoveRows();
    }
}

void StringGrid::setGridColumnCount(int columns)
{
    columns = std::max(columns, 1);
    const int old = gridColumnCount();
    if (columns == old)
        return;
    if (columns > old) {
        beginInsertColumns({}, old, columns - 1);
        widths_.resize(std::size_t(columns), kDefaultColumnWidth);
        header_.resize(std::size_t(columns));
        endInsertColumns();
    } else {
        beginRemoveColumns({}, columns, old - 1);
        widths_.resize(std::size_t(columns));
        header_.resize(std::size_t(columns));
        dropCellsBeyond(rows_, columns);
        endRemoveColumns();
    }
}

int StringGrid::columnWidth(int col) const
{
    if (col < 0 || col >= gridColumnCount())
        return 0;
    return widths_[std::size_t(col)];
}

void StringGrid::setColumnWidth(int col, int width)
{
    if (col < 0 || col >= gridColumnCount() || widths_[std::size_t(col)] == width)
        return;
    widths_[std::size_t(col)] = width;
    emit columnWidthChanged(col, width);
}

void StringGrid::growColumnWidth(int col, int width)
{
    if (col >= 0 && col < gridColumnCount() && widths_[std::size_t(col)] < width)
        setColumnWidth(col, width);
}

void StringGrid::setDataRows(std::shared_ptr<const GridRowSource> source, int rows)
{
    beginResetModel();
    written_.clear();
    rows = std::max(rows, 0);
    source_ = rows > 0 ? std::move(source) : nullptr;
    sourceRows_ = source_ ? rows : 0;
    rows_ = rows + 1;
    sortColumn_ = -1;
    sortOrder_ = Qt::AscendingOrder;
    endResetModel();
}

void StringGrid::sort(int column, Qt::SortOrder order)
{
    if (!source_ || !written_.isEmpty() || column >= gridColumnCount() ||
        (column < 0 && sortColumn_ < 0))
        return;
    std::shared_ptr<const GridRowSource> sorted =
        source_->sortedBy(column < 0 ? -1 : column, order == Qt::DescendingOrder);
    if (!sorted)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    if (!before.isEmpty()) {
        std::vector<int> shownAt(std::size_t(sourceRows_), -1); // made row -> new data row
        for (int r = 0; r < sourceRows_; ++r) {
            const int made = sorted->madeRow(r);
            if (made >= 0 && made < sourceRows_)
                shownAt[std::size_t(made)] = r;
        }
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& i : before) {
            const int made = i.row() < sourceRows_ ? source_->madeRow(i.row()) : -1;
            const int now = made >= 0 && made < sourceRows_ ? shownAt[std::size_t(made)] : -1;
            after.push_back(now >= 0 ? createIndex(now, i.column()) : QModelIndex());
        }
        changePersistentIndexList(before, after);
    }
    source_ = std::move(sorted);
    sortColumn_ = column < 0 ? -1 : column;
    sortOrder_ = order;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int StringGrid::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_ - 1;
}

int StringGrid::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : gridColumnCount();
}

QVariant StringGrid::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return cell(index.column(), index.row() + 1);
}

QVariant StringGrid::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return cell(section, 0);
    return section + 1;
}

Qt::ItemFlags StringGrid::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void ClearGridRows(StringGrid& grid)
{
    // Clearing every cell of every data row and dropping rows down to two leaves exactly
    // the header and one empty row; done in one step, as a big grid would take long row by row.
    if (grid.gridRowCount() > 1)
        grid.setDataRows(nullptr, 1);
}
