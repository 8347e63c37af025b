#include "engine/store/OrderedResult.h"

namespace engine {

OrderedResult::OrderedResult(std::shared_ptr<const ResultSet> base,
                             std::vector<std::uint32_t> order)
    : base_(std::move(base))
    , order_(std::move(order))
{
}

std::string_view OrderedResult::value(std::int64_t row, int col) const
{
    const std::int64_t at = baseRow(row);
    return at < 0 ? std::string_view() : base_->value(at, col);
}

bool OrderedResult::isNull(std::int64_t row, int col) const
{
    const std::int64_t at = baseRow(row);
    return at < 0 || base_->isNull(at, col);
}

void OrderedResult::values(std::int64_t row, const int* cols, int n, std::string_view* out) const
{
    const std::int64_t at = baseRow(row);
    if (at >= 0) {
        base_->values(at, cols, n, out);
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = {};
}

int OrderedResult::maxCharLength(int col, std::int64_t rows) const
{
    return whole(rows) ? base_->maxCharLength(col, -1) : ResultSet::maxCharLength(col, rows);
}

void OrderedResult::maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                                   std::vector<int>& out) const
{
    if (whole(rows))
        base_->maxCharLengths(cols, -1, out);
    else
        ResultSet::maxCharLengths(cols, rows, out);
}

} // namespace engine
