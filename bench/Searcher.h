#pragma once
// Our side of the benchmark: searches run as the search button runs them, into a grid and
// a table view of their own.

#include "engine/AdoQuery.h"
#include "search/QueryBuilder.h"
#include "util/StringGrid.h"

#include <QTableView>

#include <cstdint>
#include <string>

namespace bench {

class Searcher {
public:
    // Searches go through q on the folder dir (its tabl1.mdb); the view is shown.
    Searcher(engine::AdoQuery& q, std::string dir);

    // One search as the search button runs it: statement, query, count, grid, view.
    // Returns the record count; the times: up to the count, up to the grid model filled,
    // up to the view repainted.
    std::int64_t run(const search::SearchForm& form, double* engineMs, double* gridMs,
                     double* totalMs);

    // The conditions alone: "SELECT Count(*) FROM FZ_T1 WHERE" + where, on a query object of
    // its own over the same file (the rows are found but not read).
    double countOnly(const std::string& where);

    const StringGrid& grid() const { return grid_; }

    // A click on a column title: the grid sorted by that column and the view repainted;
    // back to the result's order afterwards.
    double sortBy(int col);

    // Back to an empty grid and a closed query, as after "no criterion".
    void clear();

private:
    engine::AdoQuery& q_;
    std::string dir_;
    StringGrid grid_;
    QTableView view_;
    engine::AdoQuery counter_;
};

} // namespace bench
