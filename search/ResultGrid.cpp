#include "search/ResultGrid.h"

#include "search/GridSort.h"
#include "util/Strings.h"

#include <algorithm>
#include <limits>
#include <vector>

namespace search {

QStringList gridTitles()
{
    return {QStringLiteral("Фамилия"),
            QStringLiteral("Имя"),
            QStringLiteral("Отчество"),
            QStringLiteral("Город"),
            QStringLiteral("Район"),
            QStringLiteral("Поселок"),
            QStringLiteral("Улица"),
            QStringLiteral("№ дома"),
            QStringLiteral("Дополнит. № дома"),
            QStringLiteral("№ квартиры"),
            QStringLiteral("Почтовый индекс"),
            QStringLiteral("Область"),
            QStringLiteral("Страна"),
            QStringLiteral("Дата рождения"),
            QStringLiteral("Пол"),
            QStringLiteral("Тел.домашний"),
            QStringLiteral("Тел.рабочий")};
}

std::array<int, kGridColumns> gridStartWidths()
{
    return {kGridFirstColumnWidth, 28, 52, 36, 36, 48, 36, 45, 100, 68, 93, 47, 40, 83, 25, 78, 68};
}

void layoutGridHeader(StringGrid& grid)
{
    grid.setGridColumnCount(kGridLayoutColumns - 1);
    const QStringList titles = gridTitles();
    const auto widths = gridStartWidths();
    for (int c = 0; c < kGridColumns; ++c) {
        grid.setCell(c, 0, titles.at(c));
        if (c > 0)
            grid.setColumnWidth(c, widths[std::size_t(c)]);
    }
}

namespace {

class ResultRows final : public GridRowSource {
public:
    // `order`, when given, shows result row order[i] as data row i.
    ResultRows(std::shared_ptr<const engine::ResultSet> r, std::function<void()> onDamage,
               std::shared_ptr<const std::vector<std::uint32_t>> order = nullptr)
        : result_(std::move(r))
        , order_(std::move(order))
        , rows_(result_->rowCount())
        , columns_(result_->columnCount())
        , onDamage_(std::move(onDamage))
    {
    }

    std::shared_ptr<const GridRowSource> sortedBy(int col, bool descending) const override
    {
        if (col < 0)
            return std::make_shared<ResultRows>(result_, onDamage_);
        if (col >= kGridColumns || kGridColumnPositions[std::size_t(col)] >= columns_ ||
            rows_ > std::numeric_limits<std::uint32_t>::max())
            return nullptr;
        const int pos = kGridColumnPositions[std::size_t(col)];
        auto order = std::make_shared<const std::vector<std::uint32_t>>(sortedOrder(
            std::size_t(rows_), [&](std::size_t i) { return result_->value(std::int64_t(i), pos); },
            sortKindOf(col), descending));
        return std::make_shared<ResultRows>(result_, onDamage_, std::move(order));
    }

    int madeRow(int dataRow) const override
    {
        return dataRow < 0 || dataRow >= rows_ ? -1 : int(at(dataRow));
    }

    bool cellsLost() const override { return result_->damaged(); }

    QString cell(int col, int dataRow) const override
    {
        if (col < 0 || col >= kGridColumns || dataRow < 0 || dataRow >= rows_)
            return {};
        const int pos = kGridColumnPositions[std::size_t(col)];
        if (pos >= columns_)
            return {};
        const std::string_view v = result_->value(at(dataRow), pos);
        QString text = QString::fromUtf8(v.data(), qsizetype(v.size()));
        checkDamage();
        return col < 3 ? fz::CapitalizeFirst(text) : text;
    }

    bool cellUtf8(int col, int dataRow, std::string_view& text,
                  bool& capitalizeFirst) const override
    {
        if (col < 0 || col >= kGridColumns || dataRow < 0 || dataRow >= rows_)
            return false;
        const int pos = kGridColumnPositions[std::size_t(col)];
        if (pos >= columns_)
            return false;
        text = result_->value(at(dataRow), pos);
        capitalizeFirst = col < 3;
        checkDamage();
        return true;
    }

    bool rowUtf8(int dataRow, int columns, std::string_view* text,
                 bool* capitalizeFirst) const override
    {
        if (columns != kGridColumns || dataRow < 0 || dataRow >= rows_ ||
            columns_ <= *std::max_element(kGridColumnPositions.begin(), kGridColumnPositions.end()))
            return false;
        result_->values(at(dataRow), kGridColumnPositions.data(), kGridColumns, text);
        for (int c = 0; c < kGridColumns; ++c)
            capitalizeFirst[c] = c < 3;
        checkDamage();
        return true;
    }

private:
    // The result row data row `dataRow` (within the rows) shows.
    std::int64_t at(int dataRow) const
    {
        return order_ ? std::int64_t((*order_)[std::size_t(dataRow)]) : dataRow;
    }

    // Tells of a damaged result once.
    void checkDamage() const
    {
        if (!told_ && result_->damaged()) {
            told_ = true;
            if (onDamage_)
                onDamage_();
        }
    }

    std::shared_ptr<const engine::ResultSet> result_;
    std::shared_ptr<const std::vector<std::uint32_t>> order_; // null: the result's order
    std::int64_t rows_;                                       // the result's, which never change
    int columns_;
    std::function<void()> onDamage_;
    mutable bool told_ = false;
};

} // namespace

void fillGridFromResult(StringGrid& grid, std::shared_ptr<const engine::ResultSet> result,
                        std::function<void()> onDamage)
{
    const std::int64_t records = result ? result->rowCount() : 0;
    if (records <= 0) {
        grid.setDataRows(nullptr, 1);
        return;
    }
    // A view addresses rows with int; a result beyond that is not shown in full.
    const int rows = int(std::min<std::int64_t>(records, std::numeric_limits<int>::max() - 1));

    std::array<int, kGridColumns> longest{};
    const int tableColumns = result->columnCount();
    std::vector<int> positions, lengths;
    for (int c = 0; c < kGridColumns; ++c)
        if (kGridColumnPositions[std::size_t(c)] < tableColumns)
            positions.push_back(kGridColumnPositions[std::size_t(c)]);
    result->maxCharLengths(positions, rows, lengths);
    for (int c = 0, i = 0; c < kGridColumns; ++c)
        if (kGridColumnPositions[std::size_t(c)] < tableColumns)
            longest[std::size_t(c)] = lengths[std::size_t(i++)];

    if (result->damaged()) { // (found by the widths' reading)
        grid.setDataRows(nullptr, 1);
        if (onDamage)
            onDamage();
        return;
    }
    grid.setDataRows(std::make_shared<ResultRows>(std::move(result), std::move(onDamage)), rows);
    for (int c = 0; c < kGridColumns; ++c)
        grid.growColumnWidth(c, 8 * longest[std::size_t(c)]);
}

} // namespace search
