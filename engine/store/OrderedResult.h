#pragma once
// A result shown in another order than its rows were made in: row i is the underlying
// result's row order[i]. The rows a "похожее" search finds come ranked this way, while the
// result underneath keeps table order (the order its records are read best in).

#include "engine/store/ResultSet.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace engine {

class OrderedResult final : public ResultSet {
public:
    // `order` holds each row of `base` once.
    OrderedResult(std::shared_ptr<const ResultSet> base, std::vector<std::uint32_t> order);

    int columnCount() const override { return base_->columnCount(); }
    std::int64_t rowCount() const override { return static_cast<std::int64_t>(order_.size()); }
    std::string_view columnName(int col) const override { return base_->columnName(col); }
    std::string_view value(std::int64_t row, int col) const override;
    bool isNull(std::int64_t row, int col) const override;
    void values(std::int64_t row, const int* cols, int n, std::string_view* out) const override;
    // Over all the rows the order does not matter: the underlying result answers.
    int maxCharLength(int col, std::int64_t rows) const override;
    void maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                        std::vector<int>& out) const override;
    bool damaged() const override { return base_->damaged(); }

private:
    std::int64_t baseRow(std::int64_t row) const
    {
        return row >= 0 && row < rowCount() ? order_[static_cast<size_t>(row)] : -1;
    }
    bool whole(std::int64_t rows) const { return rows < 0 || rows >= rowCount(); }

    std::shared_ptr<const ResultSet> base_;
    std::vector<std::uint32_t> order_;
};

} // namespace engine
