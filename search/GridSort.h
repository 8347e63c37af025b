#pragma once
// The order a click on a column title puts the grid's rows in. Texts sort in the Russian
// alphabet ("ё" with "е", letter case aside, spaces around a text ignored); birth dates
// ("ДД.ММ.ГГГГ", a time after them or not) as dates; house and flat numbers, postal codes
// and telephones as numbers where they begin with one ("9" before "10", "10" before "10а"),
// other texts of those columns after the numbers. Empty cells go last in either direction.
// Rows that sort alike keep the order they had, in either direction.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace search {

enum class SortKind { Text, Date, Number };

// How grid column `col` (as ResultGrid.h numbers them) sorts.
SortKind sortKindOf(int col);

// Positions 0..n-1 in the sorted order of the texts text(0) .. text(n - 1) (UTF-8; a text
// needs to stay valid only until the next call of `text`). Each distinct text is weighed
// once, so that a million rows of a few thousand names sort fast.
std::vector<std::uint32_t> sortedOrder(std::size_t n,
                                       const std::function<std::string_view(std::size_t)>& text,
                                       SortKind kind, bool descending);

} // namespace search
