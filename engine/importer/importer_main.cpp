// fzimport IN.mdb OUT.store
// Reads every user table of an Access file (read-only, through libmdb) and writes the
// engine's store into OUT.store, the file its caller made for it, reporting progress and
// failure on standard output (ImportProtocol.h). Runs in its own process, confined
// (ImporterBox.h), so that a damaged or crafted file can neither take the caller down nor
// reach anything but the store.

#include "engine/import/FileSnapshot.h"
#include "engine/import/ImportProtocol.h"
#include "engine/importer/ImporterBox.h"
#include "engine/jetsql/Fold.h"
#include "engine/mdb/JetValue.h"
#include "engine/mdb/MdbCheck.h"
#include "engine/mdb/MdbRead.h"
#include "engine/store/Sqlite.h"
#include "engine/store/StoreWriter.h"
#include "util/PersonTable.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void say(const std::string& line)
{
    std::fputs(line.c_str(), stdout);
}

[[noreturn]] void fail(int code, const std::string& text)
{
    say(engine::import::errorLine(code, text));
    std::fflush(stdout);
    std::_Exit(code);
}

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
        say(engine::import::progressLine(done, total));
        if (std::fflush(stdout) != 0) {
            // Nobody reads the reports any more: the caller has gone. Stop (its next open
            // removes the unfinished store).
            std::_Exit(engine::import::kCallerGone);
        }
    }

private:
    Clock::time_point last_{};
    std::int64_t shown_ = 0;
};

// Rows travel from the reading thread to the writing thread in batches.
struct Batch {
    engine::CellBuffer cells;
    size_t rows = 0;
    // Made by the reading thread once the batch is full (views into the cells' text).
    std::vector<std::string_view> views;
    std::unique_ptr<bool[]> isNull;
    // Per cell: the spelling it refers to, or 0 (StoreWriter::assignIds fills it).
    std::unique_ptr<std::uint32_t[]> refs;

    void finish(size_t ncols)
    {
        const size_t count = rows * ncols;
        views.resize(count);
        isNull.reset(new bool[count > 0 ? count : 1]);
        refs.reset(new std::uint32_t[count > 0 ? count : 1]);
        std::uint32_t begin = 0;
        for (size_t cell = 0; cell < count; ++cell) {
            views[cell] = std::string_view(cells.text).substr(begin, cells.ends[cell] - begin);
            isNull[cell] = cells.nulls[cell] != 0;
            begin = cells.ends[cell];
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

// With FZ_IMPORT_TRACE set: the calling thread's processor time so far, on standard error.
void traceCpu(const char* what)
{
    if (!std::getenv("FZ_IMPORT_TRACE"))
        return;
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    std::fprintf(stderr, "%s: %.3f s cpu\n", what,
                 static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9);
}

// Reads one table's rows into batches.
// The reading thread also does the dictionary work of the first `split` columns (the
// writing thread has the rows to store besides its own columns).
void readTable(engine::MdbFile& file, size_t index, Queue& q, std::int64_t& done,
               std::int64_t total, Reporter& rep, engine::StoreWriter& w, size_t split)
{
    const size_t ncols = file.tables()[index].columns.size();
    constexpr size_t kBatchRows = 2048;
    constexpr size_t kBatchBytes = 64u << 20; // long Memo values: ship before the batch grows large
    Batch b;
    b.cells.text.reserve(1 << 16); // on the heap, so that views survive moving the batch
    auto ship = [&] {
        b.finish(ncols);
        w.assignIds(b.rows, b.views.data(), b.isNull.get(), 0, split, b.refs.get());
        q.push(std::move(b));
        b = Batch();
        b.cells.text.reserve(1 << 16);
    };
    std::string why;
    const bool ok = file.readRows(
        index, b.cells,
        [&] {
            ++b.rows;
            ++done;
            if (b.rows == kBatchRows || b.cells.text.size() > kBatchBytes) {
                ship();
                rep.report(done, total);
            }
        },
        &why);
    if (!ok)
        fail(engine::import::kDamaged, why);
    if (b.rows)
        ship();
    q.close();
    traceCpu("reading thread");
}

// Memory ran out (a limit of the box or the system's): said apart from damage.
[[noreturn]] void failMemory()
{
    fail(engine::import::kNoMemory, "out of memory");
}

// Reports a failure to write the store.
[[noreturn]] void failStore(const std::string& why)
{
    fail(engine::import::kStoreFailed, why);
}

// A failure while the store is written: memory running out (SQLite says so by its code) is
// told apart from the rest.
[[noreturn]] void failOn(const std::exception& e)
{
    if (const auto* se = dynamic_cast<const engine::sql::Error*>(&e);
        se && se->code == SQLITE_NOMEM)
        failMemory();
    failStore(e.what());
}

// The tables' column definitions and the work units of the whole import.
struct Plan {
    std::vector<std::vector<engine::ColumnDef>> columns;
    std::int64_t total = 0;
};

// The person table's match-mode columns get what those searches need; every other column
// of every table is stored the same way.
bool takesMatchModes(const std::string& table, const std::string& column)
{
    namespace person = fz::person;
    if (!engine::equalsAsciiNoCase(table, person::kTableName))
        return false;
    for (const person::ColumnInfo& c : person::kColumns)
        if (c.matchModes && engine::equalsAsciiNoCase(c.name, column))
            return true;
    return false;
}

Plan planImport(const engine::MdbFile& file)
{
    Plan plan;
    std::int64_t totalRows = 0;
    for (const auto& t : file.tables()) {
        std::vector<engine::ColumnDef> defs;
        for (const auto& c : t.columns)
            defs.push_back(
                {c.name, engine::jet::typeName(c.type), takesMatchModes(t.name, c.name)});
        plan.columns.push_back(std::move(defs));
        totalRows += t.storedRows; // a hint for the progress bar only
    }
    // Work units: one per row read, plus index building weighed as half of the reading.
    const std::int64_t indexUnits = totalRows / 2 + static_cast<std::int64_t>(file.tables().size());
    plan.total = totalRows + indexUnits;
    return plan;
}

// Progress of the import: rows read so far, and index work units of the finished tables.
struct Progress {
    Reporter rep;
    std::int64_t total = 0;
    std::int64_t done = 0;
    std::int64_t indexDone = 0;
};

// Reads table `ti` on a second thread while this one stores its rows, then builds its
// indexes.
void importTable(engine::MdbFile& file, size_t ti, const std::vector<engine::ColumnDef>& columns,
                 engine::StoreWriter& w, Progress& pr)
{
    const auto& table = file.tables()[ti];
    w.beginTable(table.name, columns);
    Queue q;
    std::int64_t readDone = pr.done;
    const size_t n = columns.size();
    // The reading thread takes the dictionary work of the first third of the columns: with
    // text decoded by our own code it has about that much time to spare (measured on a
    // 21-column person table: both threads then near 3.5 s of processor time per million rows).
    const size_t split = n / 3;
    std::thread reader([&] {
        try {
            readTable(file, ti, q, readDone, pr.total, pr.rep, w, split);
        } catch (const std::bad_alloc&) {
            failMemory();
        } catch (const std::exception& e) {
            failOn(e);
        }
    });
    Batch b;
    try {
        while (q.pop(b)) {
            w.assignIds(b.rows, b.views.data(), b.isNull.get(), split, n, b.refs.get());
            w.addRecords(b.rows, b.views.data(), b.isNull.get(), b.refs.get());
        }
    } catch (const std::bad_alloc&) {
        failMemory();
    } catch (const std::exception& e) {
        failOn(e);
    }
    reader.join();
    traceCpu("writing thread, rows");
    pr.done = readDone;
    const std::int64_t share = table.storedRows / 2 + 1;
    const std::int64_t base = pr.indexDone;
    w.endTable([&](double f) {
        pr.rep.report(pr.done + base + static_cast<std::int64_t>(f * static_cast<double>(share)),
                      pr.total);
    });
    pr.indexDone += share;
}

// Writes the store of every table through `w` (its finish() syncs the file).
void writeStore(engine::MdbFile& file, const engine::SourceKey& key, engine::StoreWriter& w)
{
    const Plan plan = planImport(file);
    Progress pr;
    pr.total = plan.total;
    pr.rep.report(0, pr.total, true);
    try {
        for (size_t ti = 0; ti < file.tables().size(); ++ti)
            importTable(file, ti, plan.columns[ti], w, pr);
        w.finish(key);
    } catch (const std::bad_alloc&) {
        failMemory();
    } catch (const std::exception& e) {
        failOn(e);
    }
    pr.rep.report(pr.total, pr.total, true);
}

// Opens the store's file for writing: the one file the importer ever writes.
std::unique_ptr<engine::StoreWriter> openStore(const std::string& out)
{
    try {
        return std::make_unique<engine::StoreWriter>(out);
    } catch (const std::bad_alloc&) {
        failMemory();
    } catch (const std::exception& e) {
        failOn(e);
    }
}

// Test hooks, honoured only when the caller lets them through (a test run): hold the
// import, boxed, until a writer opens and closes the named FIFO; try a forbidden call.
void testHooks()
{
    if (const char* fifo = std::getenv("FZ_IMPORTER_TEST_HOLD"); fifo && *fifo) {
        const int fd = ::open(fifo, O_RDONLY | O_CLOEXEC);
        char c;
        while (fd >= 0 && ::read(fd, &c, 1) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    }
    if (const char* probe = std::getenv("FZ_IMPORTER_TEST_PROBE");
        probe && std::strcmp(probe, "socket") == 0) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        fail(engine::import::kStoreFailed, "a socket was made: " + std::to_string(fd));
    }
}

} // namespace

int main(int argc, char** argv)
{
    namespace import = engine::import;
    // First of all: nothing the caller had open stays reachable from here.
    engine::box::closeInherited();
    if (argc != 3) {
        std::fprintf(stderr, "usage: fzimport IN.mdb OUT.store\n");
        return import::kUsage;
    }
    const std::string in = argv[1];
    const std::string out = argv[2];
    std::signal(SIGPIPE, SIG_IGN); // a gone caller shows as a failed write instead

    struct stat sb {};
    if (::stat(in.c_str(), &sb) != 0)
        fail(import::kReadError, engine::systemReason(errno));
    // the caller passes the absolute, lexically normal path it keys stores by
    const engine::SourceKey key = import::sourceKeyOf(in, sb);

    try {
        engine::box::applyLimits(engine::box::limitsFor(static_cast<std::uint64_t>(sb.st_size)));
    } catch (const std::exception& e) {
        fail(import::kStoreFailed, e.what());
    }

    // Every byte that reaches the store is read here, whole and checked: the check, the
    // header and the reading library all read this copy, never the file.
    engine::FileSnapshot source;
    try {
        source = engine::FileSnapshot::read(in);
    } catch (const engine::ReadFailure& e) {
        fail(import::kReadError, e.what());
    } catch (const engine::NotRegularFile& e) {
        fail(import::kNotDatabase, e.what());
    } catch (const std::bad_alloc&) {
        fail(import::kNoMemory, "out of memory");
    } catch (const std::exception& e) {
        fail(import::kStoreFailed, e.what());
    }

    try {
        engine::box::enter();
    } catch (const std::exception& e) {
        fail(import::kStoreFailed, std::string("cannot confine the importer: ") + e.what());
    }
    // The store is opened before anything parses the file; from then on no file is opened for
    // writing.
    const std::unique_ptr<engine::StoreWriter> store = openStore(out);
    engine::box::forbidWriteOpens();
    testHooks();

    // The reading library trusts every offset in the file: a file that fails the structural
    // check never reaches it.
    if (const std::string why = engine::checkMdbBytes(source.data(), source.size()); !why.empty()) {
        const engine::MdbHeader h = engine::readMdbHeader(source.data(), source.size());
        fail(h.format == engine::MdbHeader::Format::NotDatabase ? import::kNotDatabase
                                                                : import::kDamaged,
             why);
    }

    std::string why;
    std::unique_ptr<engine::MdbFile> file = engine::MdbFile::open(source.procPath(), &why);
    if (!file)
        fail(import::kNotDatabase, why);

    writeStore(*file, key, *store);
    say(import::doneLine());
    std::fflush(stdout);
    // The reader's handles are left to the process's end.
    std::_Exit(import::kSuccess);
}
