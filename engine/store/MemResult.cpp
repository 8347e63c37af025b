#include "engine/store/MemResult.h"

#include "engine/core/EngineError.h"
#include "engine/core/Messages.h"

#include <limits>

namespace engine {

MemResult::MemResult(std::vector<std::string> names)
    : names_(std::move(names))
{
}

std::string_view MemResult::columnName(int col) const
{
    if (col < 0 || col >= columnCount())
        return {};
    return names_[static_cast<size_t>(col)];
}

std::string_view MemResult::value(std::int64_t row, int col) const
{
    if (row < 0 || row >= rows_ || col < 0 || col >= columnCount())
        return {};
    size_t cell = static_cast<size_t>(row) * names_.size() + static_cast<size_t>(col);
    std::uint32_t begin = cell == 0 ? 0 : ends_[cell - 1];
    return std::string_view(arena_).substr(begin, ends_[cell] - begin);
}

bool MemResult::isNull(std::int64_t row, int col) const
{
    if (row < 0 || row >= rows_ || col < 0 || col >= columnCount())
        return true;
    size_t cell = static_cast<size_t>(row) * names_.size() + static_cast<size_t>(col);
    return (nulls_[cell / 64] >> (cell % 64)) & 1u;
}

void MemResult::pushEnd(bool null)
{
    if (arena_.size() > std::numeric_limits<std::uint32_t>::max())
        throw EngineError(msg::storeBroken("результат запроса слишком велик"));
    size_t cell = ends_.size();
    if (cell / 64 >= nulls_.size())
        nulls_.push_back(0);
    if (null)
        nulls_[cell / 64] |= std::uint64_t{1} << (cell % 64);
    ends_.push_back(static_cast<std::uint32_t>(arena_.size()));
}

void MemResult::reserve(std::int64_t rows, std::size_t bytes)
{
    size_t cells = static_cast<size_t>(rows) * names_.size();
    ends_.reserve(cells);
    nulls_.reserve(cells / 64 + 1);
    arena_.reserve(bytes);
}

} // namespace engine
