#include "engine/store/ResultSet.h"

#include "util/Utf8.h"

#include <algorithm>

namespace engine {

int ResultSet::maxCharLength(int col, std::int64_t rows) const
{
    const std::int64_t n = rows < 0 ? rowCount() : std::min(rows, rowCount());
    int longest = 0;
    for (std::int64_t r = 0; r < n; ++r) {
        const std::string_view v = value(r, col);
        // A text cannot hold more characters than bytes: skip counting when it cannot win.
        if (static_cast<std::int64_t>(v.size()) <= longest)
            continue;
        longest = std::max(longest, static_cast<int>(fz::utf8::charCount(v)));
    }
    return longest;
}

void ResultSet::values(std::int64_t row, const int* cols, int n, std::string_view* out) const
{
    // (a result whose texts stay put until it is gone, as one held in memory)
    for (int i = 0; i < n; ++i)
        out[i] = value(row, cols[i]);
}

void ResultSet::maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                               std::vector<int>& out) const
{
    out.resize(cols.size());
    for (size_t i = 0; i < cols.size(); ++i)
        out[i] = maxCharLength(cols[i], rows);
}

} // namespace engine
