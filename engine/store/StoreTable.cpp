#include "engine/store/StoreTable.h"

#include "engine/jetsql/SimilarIndex.h"
#include "engine/store/StoreFormat.h"

#include <cstring>

namespace engine {

StoreTable::StoreTable(const sql::Db& db, int id, std::string name, std::int64_t rows,
                       std::int64_t bytes)
    : db_(&db)
    , id_(id)
    , name_(std::move(name))
    , rows_(rows)
    , bytes_(bytes)
{
}

void StoreTable::addColumn(Column c)
{
    columns_.push_back(std::move(c));
    nulls_.emplace_back();
    spellings_.emplace_back();
    similar_.emplace_back();
}

std::shared_ptr<const CellLengths> StoreTable::lengths() const
{
    if (lengths_)
        return lengths_;
    auto all = std::make_shared<CellLengths>();
    std::vector<std::uint8_t>& cells = all->cells;
    const size_t ncols = columns_.size();
    const size_t want = static_cast<size_t>(rows_) * ncols;
    cells.reserve(want + record::kLengthPadding);
    sql::Stmt st(*db_, "SELECT part, lens FROM " + storeTable::lengths(id_) + " ORDER BY part");
    std::int64_t part = 0;
    while (st.step()) {
        const auto* b = static_cast<const std::uint8_t*>(sqlite3_column_blob(st.get(), 1));
        const size_t nb = static_cast<size_t>(sqlite3_column_bytes(st.get(), 1));
        if (st.integer(0) != part++ || cells.size() + nb > want)
            throw sql::Error(SQLITE_CORRUPT, "length list damaged");
        cells.insert(cells.end(), b, b + nb);
    }
    if (cells.size() != want)
        throw sql::Error(SQLITE_CORRUPT, "length list damaged");
    cells.resize(want + record::kLengthPadding, 0);
    if (ncols <= record::kLengthPadding) {
        const size_t rows = static_cast<size_t>(rows_);
        const size_t per = record::kLengthBlockRows;
        all->blocks.assign((rows + per - 1) / per * record::kLengthPadding, 0);
        for (size_t r = 0; r < rows; ++r)
            record::widenLengths(all->blocks.data() + r / per * record::kLengthPadding,
                                 cells.data() + r * ncols);
    }
    lengths_ = std::move(all);
    return lengths_;
}

const Rows& StoreTable::nulls(int j) const
{
    auto& at = nulls_[static_cast<size_t>(j)];
    if (!at) {
        sql::Stmt st(*db_, "SELECT nulls FROM fz_columns WHERE t = ? AND pos = ?");
        st.bindInt(1, id_);
        st.bindInt(2, j);
        if (!st.step())
            throw sql::Error(SQLITE_CORRUPT, "null list missing");
        const void* b = sqlite3_column_blob(st.get(), 0);
        const size_t nb = static_cast<size_t>(sqlite3_column_bytes(st.get(), 0));
        auto rows = std::make_shared<Rows>(nb / record::kRowBytes);
        if (nb)
            std::memcpy(rows->data(), b, nb);
        if (nb % record::kRowBytes || !isRowList(*rows) ||
            (!rows->empty() && (rows->front() < 1 || rows->back() > rows_)))
            throw sql::Error(SQLITE_CORRUPT, "null list damaged");
        at = std::move(rows);
    }
    return *at;
}

const Spellings& StoreTable::spellings(int j) const
{
    auto& at = spellings_[static_cast<size_t>(j)];
    if (!at) {
        auto words = std::make_shared<Spellings>();
        sql::Stmt st(*db_, "SELECT words FROM " + storeTable::spellings(id_) + " WHERE col = ?");
        st.bindInt(1, j);
        if (st.step()) {
            const auto* b = static_cast<const unsigned char*>(sqlite3_column_blob(st.get(), 0));
            const size_t nb = static_cast<size_t>(sqlite3_column_bytes(st.get(), 0));
            words->bytes.reserve(nb);
            for (const unsigned char *p = b, *end = b + nb; p < end;) {
                std::string_view w;
                if (!record::getSpelling(p, end, w) || words->size() >= record::kSpellingRefs)
                    throw sql::Error(SQLITE_CORRUPT, "spellings damaged");
                words->bytes.append(w);
                words->ends.push_back(static_cast<std::uint32_t>(words->bytes.size()));
            }
        }
        at = std::move(words);
    }
    return *at;
}

std::shared_ptr<const SimilarIndex> StoreTable::similarIndex(int j) const
{
    if (column(j).plain())
        return nullptr;
    auto& at = similar_[static_cast<size_t>(j)];
    if (!at) {
        std::vector<std::string> values;
        sql::Stmt st(*db_, "SELECT f FROM " + storeTable::dictionary(id_, static_cast<size_t>(j)));
        while (st.step())
            values.push_back(st.text(0));
        at = std::make_shared<const SimilarIndex>(std::move(values));
    }
    return at;
}

} // namespace engine
