#include "engine/AdoQuery.h"

#include "engine/ConnectionString.h"
#include "engine/core/Messages.h"
#include "engine/import/StoreCache.h"
#include "engine/jetsql/JetSql.h"

#include <algorithm>

namespace engine {

struct AdoQuery::Impl {
    std::string connection;
    ProgressFn progress;
    int timeoutSeconds = 0;
    std::vector<std::string> lines;
    std::shared_ptr<const ResultSet> result;
    std::int64_t row = 0;
    // The store stays open between statements while its file is unchanged.
    std::shared_ptr<Store> store;

    void requireRecord() const
    {
        if (!result)
            throw EngineError(msg::notOpen());
        if (row < 0 || row >= result->rowCount())
            throw EngineError(msg::noCurrentRecord());
    }
    // Field i of the current record.
    void requireField(int i) const
    {
        requireRecord();
        if (i < 0 || i >= result->columnCount())
            throw EngineError(msg::noSuchField(i));
    }
    // A cell read from a damaged store is not answered with.
    void requireWhole() const
    {
        if (result->damaged())
            throw EngineError(msg::storeDamaged());
    }
};

AdoQuery::AdoQuery()
    : d(std::make_unique<Impl>())
{
}
AdoQuery::~AdoQuery() = default;

void AdoQuery::setConnectionString(const std::string& cs)
{
    d->connection = cs;
}
const std::string& AdoQuery::connectionString() const
{
    return d->connection;
}
void AdoQuery::setProgress(ProgressFn fn)
{
    d->progress = std::move(fn);
}
void AdoQuery::setImportTimeout(int seconds)
{
    d->timeoutSeconds = seconds;
}

void AdoQuery::close()
{
    d->result.reset();
    d->row = 0;
}
bool AdoQuery::active() const
{
    return d->result != nullptr;
}
void AdoQuery::clearSql()
{
    d->lines.clear();
}
void AdoQuery::addSql(const std::string& line)
{
    d->lines.push_back(line);
}
std::string AdoQuery::sqlText() const
{
    std::string s;
    for (size_t i = 0; i < d->lines.size(); ++i) {
        if (i)
            s += "\n";
        s += d->lines[i];
    }
    return s;
}

void AdoQuery::open()
{
    close();
    const std::string path = dataSource(d->connection);
    if (path.empty())
        throw EngineError(msg::noConnection());
    // The database is opened before the statement is looked at, so a missing or damaged
    // file is what the user hears about first.
    SourceKey key = StoreCache::currentKey(path); // throws when the file is missing
    ImportOptions options{d->progress, d->timeoutSeconds};
    // (a store found damaged by an earlier result is made again)
    if (!d->store || !(d->store->key() == key) || d->store->damaged()) {
        d->store.reset();
        d->store = StoreCache::open(path, options);
    }
    const jet::Statement st = jet::parse(sqlText());
    // A damaged store is made again from the file, and the statement run once more.
    for (bool again = false;; again = true) {
        try {
            d->result = d->store->run(st);
            break;
        } catch (const sql::Error& e) {
            if (!e.corrupt())
                throw EngineError(msg::storeBroken(e.what()));
            d->store->markDamaged();
            d->store.reset();
            if (again)
                throw EngineError(msg::storeDamagedAgain(e.what()));
            d->store = StoreCache::open(path, options, true);
        }
    }
    d->row = 0;
}

void AdoQuery::first()
{
    if (!d->result)
        throw EngineError(msg::notOpen());
    d->row = 0;
}
bool AdoQuery::eof() const
{
    return !d->result || d->row >= d->result->rowCount();
}
void AdoQuery::next()
{
    if (!d->result)
        throw EngineError(msg::notOpen());
    if (d->row < d->result->rowCount())
        ++d->row;
}
int AdoQuery::fieldCount() const
{
    return d->result ? d->result->columnCount() : 0;
}
std::string AdoQuery::fieldAsString(int i) const
{
    d->requireField(i);
    std::string v(d->result->value(d->row, i));
    d->requireWhole();
    return v;
}
bool AdoQuery::fieldIsNull(int i) const
{
    d->requireField(i);
    const bool null = d->result->isNull(d->row, i);
    d->requireWhole();
    return null;
}
std::int64_t AdoQuery::recordCount() const
{
    if (!d->result)
        throw EngineError(msg::notOpen());
    return d->result->rowCount();
}
std::int64_t AdoQuery::recNo() const
{
    return d->row;
}
std::shared_ptr<const ResultSet> AdoQuery::result() const
{
    return d->result;
}

} // namespace engine
