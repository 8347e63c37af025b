#include "bench/Searcher.h"

#include "bench/BenchSupport.h"
#include "engine/ConnectionString.h"
#include "search/ResultGrid.h"

#include <QApplication>
#include <QHeaderView>

#include <utility>

namespace bench {

Searcher::Searcher(engine::AdoQuery& q, std::string dir)
    : q_(q)
    , dir_(std::move(dir))
    , grid_(search::kGridColumns)
{
    search::layoutGridHeader(grid_);
    grid_.setColumnWidth(0, search::kGridFirstColumnWidth);
    view_.setModel(&grid_);
    view_.verticalHeader()->hide();
    view_.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_.setWordWrap(false);
    view_.resize(825, 397);
    view_.show();
    QApplication::processEvents();
}

std::int64_t Searcher::run(const search::SearchForm& form, double* engineMs, double* gridMs,
                           double* totalMs)
{
    const auto t0 = Clock::now();
    q_.setConnectionString(engine::buildConnectionString(dir_));
    const QString statement = search::searchStatement(form);
    q_.close();
    q_.clearSql();
    q_.addSql(statement.toStdString());
    q_.open();
    q_.first();
    const std::int64_t n = q_.recordCount();
    const QString countText = QString::number(n);
    *engineMs = msSince(t0);
    search::fillGridFromResult(grid_, q_.result());
    *gridMs = msSince(t0);
    for (int c = 0; c < grid_.gridColumnCount(); ++c)
        view_.setColumnWidth(c, grid_.columnWidth(c));
    QApplication::processEvents();
    view_.viewport()->repaint();
    *totalMs = msSince(t0);
    return n;
}

double Searcher::countOnly(const std::string& where)
{
    const auto t0 = Clock::now();
    counter_.setConnectionString(engine::buildConnectionString(dir_));
    counter_.close();
    counter_.clearSql();
    counter_.addSql("SELECT Count(*) FROM FZ_T1 WHERE" + where);
    counter_.open();
    (void)counter_.fieldAsString(0);
    return msSince(t0);
}

double Searcher::sortBy(int col)
{
    const auto t0 = Clock::now();
    grid_.sort(col, Qt::AscendingOrder);
    QApplication::processEvents();
    view_.viewport()->repaint();
    const double ms = msSince(t0);
    grid_.sort(-1);
    return ms;
}

void Searcher::clear()
{
    ClearGridRows(grid_);
    q_.close();
    QApplication::processEvents();
}

} // namespace bench
