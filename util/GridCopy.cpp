#include "util/GridCopy.h"

#include <algorithm>

QString copiedField(const QString& text)
{
    if (!text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('"')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString copiedText(const GridCells& grid, const std::vector<GridRange>& ranges)
{
    const int lastRow = grid.gridRowCount() - 1;
    const int lastCol = grid.gridColumnCount() - 1;
    // The touched columns, and the touched rows as merged runs (a whole-grid selection is
    // one run of perhaps a million rows: never listed one by one).
    std::vector<char> colTouched(std::size_t(std::max(lastCol + 1, 0)), 0);
    std::vector<std::pair<int, int>> runs;
    for (const GridRange& r : ranges) {
        const int top = std::max(r.top, 1), bottom = std::min(r.bottom, lastRow);
        const int left = std::max(r.left, 0), right = std::min(r.right, lastCol);
        if (top > bottom || left > right)
            continue;
        for (int c = left; c <= right; ++c)
            colTouched[std::size_t(c)] = 1;
        runs.emplace_back(top, bottom);
    }
    if (runs.empty())
        return {};
    std::sort(runs.begin(), runs.end());
    std::vector<std::pair<int, int>> merged{runs.front()};
    for (const auto& r : runs) {
        if (r.first <= merged.back().second + 1)
            merged.back().second = std::max(merged.back().second, r.second);
        else
            merged.push_back(r);
    }
    std::vector<int> cols;
    for (int c = 0; c <= lastCol; ++c)
        if (colTouched[std::size_t(c)])
            cols.push_back(c);

    QString out;
    auto line = [&](int row, bool header) {
        for (std::size_t i = 0; i < cols.size(); ++i) {
            if (i)
                out += QLatin1Char('\t');
            const int c = cols[i];
            bool held = header || ranges.size() == 1;
            for (std::size_t k = 0; !held && k < ranges.size(); ++k)
                held = ranges[k].contains(c, row);
            if (held)
                out += copiedField(grid.cell(c, row));
        }
        out += QLatin1Char('\n');
    };
    line(0, true);
    for (const auto& [top, bottom] : merged)
        for (int row = top; row <= bottom; ++row)
            line(row, false);
    return out;
}
