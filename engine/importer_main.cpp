// fzimport IN.mdb OUT.store
// Reads every user table of an Access file (read-only, through libmdb) and writes the
// engine's store. The store is written to OUT.store.tmp.<pid> and renamed to OUT.store
// only when complete. Reports on standard output, one line each:
//   P <done> <total>   progress in work units (rows read, then index work)
//   E <code> <text>    failure (3: not a database, 4: damaged, 5: cannot write the store)
//   OK                 the store is in place
// Runs in its own process so that a damaged file cannot take the caller down.

#include "engine/MdbCheck.h"
#include "engine/Store.h"

#include <mdbtools.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void fail(int code, const std::string& text)
{
    std::printf("E %d %s\n", code, text.c_str());
    std::fflush(stdout);
    std::_Exit(code);
}

// The store being written; removed when the caller goes away before it is finished.
std::string g_tmpPath;

class Reporter {
public:
    void report(std::int64_t done, std::int64_t total, bool force = false)
    {
        auto now = Clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(50))
            return;
        last_ = now;
        if (done > total) // a table may hold more rows than its definition says
            done = total;
        if (done < shown_)
            done = shown_;
        shown_ = done;
        std::printf("P %lld %lld\n", static_cast<long long>(done), static_cast<long long>(total));
        if (std::fflush(stdout) != 0) {
            // Nobody reads the reports any more: the caller has gone. Stop and clean up.
            if (!g_tmpPath.empty())
                ::unlink(g_tmpPath.c_str());
            std::_Exit(6);
        }
    }

private:
    Clock::time_point last_{};
    std::int64_t shown_ = 0;
};

// Rows travel from the reading thread to the writing thread in batches.
struct Batch {
    std::string arena;
    std::vector<std::uint32_t> ends; // end offset of each cell
    std::vector<char> nulls;
    size_t rows = 0;
    // Made by the reading thread once the batch is full (views into the arena).
    std::vector<std::string_view> views;
    std::unique_ptr<bool[]> isNull;

    void finish(size_t ncols)
    {
        const size_t cells = rows * ncols;
        views.resize(cells);
        isNull.reset(new bool[cells > 0 ? cells : 1]);
        std::uint32_t begin = 0;
        for (size_t cell = 0; cell < cells; ++cell) {
            views[cell] = std::string_view(arena).substr(begin, ends[cell] - begin);
            isNull[cell] = nulls[cell] != 0;
            begin = ends[cell];
        }
    }
};

class Queue {
public:
    void push(Batch b)
    {
        std::unique_lock<std::mutex> l(m_);
        notFull_.wait(l, [&] { return q_.size() < 8; });
        q_.push_back(std::move(b));
        notEmpty_.notify_one();
    }
    bool pop(Batch& b)
    {
        std::unique_lock<std::mutex> l(m_);
        notEmpty_.wait(l, [&] { return !q_.empty() || closed_; });
        if (q_.empty())
            return false;
        b = std::move(q_.front());
        q_.pop_front();
        notFull_.notify_one();
        return true;
    }
    void close()
    {
        std::lock_guard<std::mutex> l(m_);
        closed_ = true;
        notEmpty_.notify_all();
    }

private:
    std::mutex m_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<Batch> q_;
    bool closed_ = false;
};

struct TableInfo {
    MdbTableDef* def = nullptr;
    std::string name;
    std::vector<engine::ColumnDef> columns;
};

const char* typeName(int t)
{
    switch (t) {
    case MDB_BOOL: return "Boolean";
    case MDB_BYTE: return "Byte";
    case MDB_INT: return "Integer";
    case MDB_LONGINT: return "Long";
    case MDB_MONEY: return "Currency";
    case MDB_FLOAT: return "Single";
    case MDB_DOUBLE: return "Double";
    case MDB_DATETIME: return "DateTime";
    case MDB_TEXT: return "Text";
    case MDB_OLE: return "OLE";
    case MDB_MEMO: return "Memo";
    case MDB_NUMERIC: return "Numeric";
    default: return "Other";
    }
}

// Reads one table's rows into batches. Nulls are taken from the row's null mask (the bound
// column interface gives "" for both null and empty text).
// The reading thread also does the dictionary work of the first `split` columns (the
// writing thread has the rows to store besides its own columns).
void readTable(MdbHandle* mdb, TableInfo& ti, Queue& q, std::int64_t& done, std::int64_t total,
               Reporter& rep, engine::StoreWriter& w, size_t split)
{
    MdbTableDef* t = ti.def;
    const unsigned ncols = t->num_cols;
    std::vector<MdbField> fields(ncols + 1);
    std::vector<char> text(MDB_BIND_SIZE * 2);
    mdb_rewind_table(t);
    Batch b;
    b.arena.reserve(1 << 16); // on the heap, so that views survive moving the batch
    const size_t batchRows = 2048;
    auto ship = [&] {
        b.finish(ncols);
        w.assignIds(b.rows, b.views.data(), b.isNull.get(), 0, split);
        q.push(std::move(b));
        b = Batch();
        b.arena.reserve(1 << 16);
    };
    while (mdb_fetch_row(t)) {
        int start = 0;
        size_t len = 0;
        if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &len) != 0)
            fail(4, "row outside its page");
        start &= 0x1FFF;
        int n = mdb_crack_row(t, start, len, fields.data());
        if (n < 0)
            fail(4, "row cannot be decoded");
        for (unsigned i = 0; i < ncols; ++i) {
            const MdbField& f = fields[i];
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, f.colnum));
            bool isNull = f.is_null != 0;
            if (col->col_type == MDB_BOOL) {
                b.arena += isNull ? "0" : "1"; // a boolean lives in the null bit
                isNull = false;
            } else if (col->col_type == MDB_OLE) {
                isNull = true;
            } else if (!isNull) {
                if (f.start < 0 || f.siz < 0 || f.start + f.siz > static_cast<int>(mdb->fmt->pg_size))
                    fail(4, "value outside its page");
                if (col->col_type == MDB_TEXT) {
                    int w = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(mdb->pg_buf) + f.start,
                                              static_cast<size_t>(f.siz), text.data(), text.size());
                    b.arena.append(text.data(), static_cast<size_t>(w > 0 ? w : 0));
                } else {
                    char* s = mdb_col_to_string(mdb, mdb->pg_buf, f.start, col->col_type, f.siz);
                    if (s)
                        b.arena += s;
                    g_free(s);
                }
            }
            b.ends.push_back(static_cast<std::uint32_t>(b.arena.size()));
            b.nulls.push_back(isNull ? 1 : 0);
        }
        ++b.rows;
        ++done;
        if (b.rows == batchRows) {
            ship();
            rep.report(done, total);
        }
    }
    if (b.rows)
        ship();
    q.close();
    if (std::getenv("FZ_IMPORT_TRACE")) {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        std::fprintf(stderr, "reading thread: %.3f s cpu\n", static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fzimport IN.mdb OUT.store\n");
        return 2;
    }
    const std::string in = argv[1];
    const std::string out = argv[2];
    std::signal(SIGPIPE, SIG_IGN); // a gone caller shows as a failed write instead
    // Jet 3 text is in the database's code page; for our users that is Windows-1251.
    setenv("MDB_JET3_CHARSET", "CP1251", 0);

    struct stat sb {};
    if (::stat(in.c_str(), &sb) != 0)
        fail(3, "cannot stat the file");
    engine::SourceKey key;
    key.path = in; // the caller passes the absolute, lexically normal path it keys stores by
    key.size = static_cast<std::int64_t>(sb.st_size);
    key.mtimeNs = static_cast<std::int64_t>(sb.st_mtim.tv_sec) * 1000000000LL + sb.st_mtim.tv_nsec;

    // The reading library trusts every offset in the file: a file that fails the structural
    // check never reaches it.
    if (const std::string why = engine::checkMdbFile(in); !why.empty())
        fail(4, why);

    MdbHandle* mdb = mdb_open(in.c_str(), MDB_NOFLAGS);
    if (!mdb)
        fail(3, "not a database");
    if (!mdb_read_catalog(mdb, MDB_TABLE))
        fail(3, "no catalog");

    std::vector<TableInfo> tables;
    std::int64_t totalRows = 0;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        MdbTableDef* t = mdb_read_table(entry);
        if (!t)
            fail(4, std::string("cannot read table ") + entry->object_name);
        if (!mdb_read_columns(t))
            fail(4, std::string("cannot read columns of ") + entry->object_name);
        TableInfo ti;
        ti.def = t;
        ti.name = entry->object_name;
        for (unsigned c = 0; c < t->num_cols; ++c) {
            auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
            ti.columns.push_back({col->name, typeName(col->col_type)});
        }
        totalRows += t->num_rows;
        tables.push_back(std::move(ti));
    }
    // Work units: one per row read, plus index building weighed as half of the reading.
    const std::int64_t indexUnits = totalRows / 2 + static_cast<std::int64_t>(tables.size());
    const std::int64_t total = totalRows + indexUnits;

    const std::string tmp = out + ".tmp." + std::to_string(::getpid());
    g_tmpPath = tmp;
    Reporter rep;
    rep.report(0, total, true);
    std::int64_t done = 0;
    std::int64_t indexDone = 0;
    try {
        engine::StoreWriter w(tmp);
        for (auto& ti : tables) {
            w.beginTable(ti.name, ti.columns);
            Queue q;
            std::int64_t readDone = done;
            const size_t n = ti.columns.size();
            const size_t split = std::min<size_t>(2, n);
            std::thread reader([&] {
                try {
                    readTable(mdb, ti, q, readDone, total, rep, w, split);
                } catch (const std::exception& e) {
                    ::unlink(tmp.c_str());
                    fail(5, e.what());
                }
            });
            Batch b;
            try {
                while (q.pop(b)) {
                    w.addRecords(b.rows, b.views.data(), b.isNull.get());
                    w.assignIds(b.rows, b.views.data(), b.isNull.get(), split, n);
                }
            } catch (const std::exception& e) {
                ::unlink(tmp.c_str());
                fail(5, e.what());
            }
            reader.join();
            if (std::getenv("FZ_IMPORT_TRACE")) {
                timespec ts{};
                clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
                std::fprintf(stderr, "writing thread, rows: %.3f s cpu\n",
                             static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9);
            }
            done = readDone;
            const std::int64_t share = ti.def->num_rows / 2 + 1;
            const std::int64_t base = indexDone;
            w.endTable([&](double f) {
                rep.report(done + base + static_cast<std::int64_t>(f * static_cast<double>(share)), total);
            });
            indexDone += share;
        }
        w.finish(key);
    } catch (const std::exception& e) {
        ::unlink(tmp.c_str());
        fail(5, e.what());
    }
    if (::rename(tmp.c_str(), out.c_str()) != 0) {
        ::unlink(tmp.c_str());
        fail(5, std::string("cannot rename the store: ") + std::strerror(errno));
    }
    rep.report(total, total, true);
    std::printf("OK\n");
    std::fflush(stdout);
    // libmdb's handles are left to the process's end.
    std::_Exit(0);
}
