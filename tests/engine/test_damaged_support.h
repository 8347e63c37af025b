#pragma once
// Shared by the damaged-file tests: databases written by the project's writer, damaged in
// controlled ways, then loaded through the query object exactly as the loading dialog does
// (importer process, store, "SELECT Count(*) FROM FZ_T1").

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/core/Messages.h"
#include "engine/import/StoreCache.h"
#include "engine/mdb/MdbCheck.h"
#include "fuzz/SeedCorpus.h"

#include <QtTest>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace damaged {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline std::string workDir()
{
    const char* w = std::getenv("FZ_TEST_WORK");
    return w && *w ? std::string(w) : fs::current_path().string();
}

inline Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const Bytes& b)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A seed database by name, written once per test run.
inline Bytes seed(const std::string& name)
{
    static std::map<std::string, Bytes> cache;
    if (auto it = cache.find(name); it != cache.end())
        return it->second;
    const std::string dir = workDir() + "/seeds";
    fs::create_directories(dir);
    for (const auto& [n, write] : fzseeds::seeds()) {
        if (n != name)
            continue;
        const std::string path = dir + "/" + n + ".mdb";
        write(path);
        return cache[name] = readFile(path);
    }
    qFatal("no seed named %s", name.c_str());
}

// A fresh folder holding tabl1.mdb with the given bytes (each case its own path, so no
// store of another case can be taken for it).
inline std::string placeDatabase(const std::string& caseName, const Bytes& bytes)
{
    const std::string dir = workDir() + "/cases/" + caseName;
    fs::remove_all(dir);
    fs::create_directories(dir);
    writeFile(dir + "/tabl1.mdb", bytes);
    return dir;
}

enum class Kind { Ok, NotDatabase, Crashed, TimedOut, NoTable, OtherError };

inline const char* kindName(Kind k)
{
    switch (k) {
    case Kind::Ok: return "loaded";
    case Kind::NotDatabase: return "refused as not a database or damaged";
    case Kind::Crashed: return "importer crashed";
    case Kind::TimedOut: return "importer stopped for lack of progress";
    case Kind::NoTable: return "table not found";
    default: return "other error";
    }
}

struct Outcome {
    Kind kind = Kind::OtherError;
    std::int64_t count = -1;
    std::string message;
    double seconds = 0;
};

// The load step of the loading dialog: the first statement it sends.
inline Outcome loadCount(const std::string& dir)
{
    Outcome o;
    const auto t0 = std::chrono::steady_clock::now();
    try {
        engine::AdoQuery q;
        q.setConnectionString(engine::buildConnectionString(dir));
        q.addSql("SELECT Count(*) FROM FZ_T1");
        q.open();
        o.kind = Kind::Ok;
        o.count = std::stoll(q.fieldAsString(0));
    } catch (const engine::EngineError& e) {
        o.message = e.what();
        if (o.message.find("Нераспознаваемый формат") != std::string::npos ||
            o.message == engine::msg::damaged(dir + "/tabl1.mdb"))
            o.kind = Kind::NotDatabase;
        else if (o.message.find("остановлено") != std::string::npos)
            o.kind = Kind::TimedOut;
        else if (o.message.find("поврежден") != std::string::npos)
            o.kind = Kind::Crashed;
        else if (o.message.find("входную таблицу") != std::string::npos)
            o.kind = Kind::NoTable;
        else
            o.kind = Kind::OtherError;
    }
    o.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return o;
}

// Page roles in a file from the writer, found from page types and owners.
enum class Role {
    Header,
    GlobalMap,
    CatalogDef,
    TableDef,
    MapRows,
    RefMap,
    TableData,
    CatalogData
};

// The row count a load after a flip in a page of this role must give, or -1 when any count
// is sound: a flip in a data page or a usage map leaves rows that read as deleted or pages
// that are no longer the table's, which is how Access itself reads such a file; only safety
// is asked of those.
inline std::int64_t rowsAfterFlip(Role r, std::int64_t rows)
{
    return r == Role::TableData || r == Role::MapRows || r == Role::RefMap ? -1 : rows;
}

inline const char* roleName(Role r)
{
    static const char* names[] = {"header",           "global map",     "catalog definition",
                                  "table definition", "usage-map rows", "reference map",
                                  "table data",       "catalog data"};
    return names[static_cast<int>(r)];
}

inline std::map<Role, std::vector<std::uint32_t>> pageRoles(const Bytes& b)
{
    std::map<Role, std::vector<std::uint32_t>> roles;
    const std::uint32_t pages = static_cast<std::uint32_t>(b.size() / 4096);
    for (std::uint32_t p = 0; p < pages; ++p) {
        const std::uint8_t* pg = b.data() + std::size_t(p) * 4096;
        const std::uint32_t owner =
            pg[4] | (pg[5] << 8) | (pg[6] << 16) | (std::uint32_t(pg[7]) << 24);
        Role r;
        if (p == 0)
            r = Role::Header;
        else if (p == 1)
            r = Role::GlobalMap;
        else if (pg[0] == 2)
            r = p == 2 ? Role::CatalogDef : Role::TableDef;
        else if (pg[0] == 5)
            r = Role::RefMap;
        else if (pg[0] == 1 && owner == 0)
            r = Role::MapRows;
        else if (pg[0] == 1 && owner == 2)
            r = Role::CatalogData;
        else
            r = Role::TableData;
        roles[r].push_back(p);
    }
    return roles;
}

// A copy with a few bytes of one page changed, most of them in the structural part of the
// page (header fields, offset tables, definitions) where they matter most.
inline Bytes flipInPage(const Bytes& b, std::uint32_t page, Role role, std::mt19937& rng)
{
    Bytes out = b;
    std::uniform_int_distribution<int> nflips(1, 4);
    std::uniform_int_distribution<int> val(1, 255);
    std::uniform_int_distribution<int> coin(0, 3);
    const int n = nflips(rng);
    for (int i = 0; i < n; ++i) {
        int hot = 4096;
        switch (role) {
        case Role::Header: hot = 0x98; break;
        case Role::CatalogDef:
        case Role::TableDef: hot = 63 + 25 * 19 + 200; break;
        case Role::MapRows:
        case Role::TableData:
        case Role::CatalogData:
        case Role::GlobalMap: hot = 14 + 2 * 64; break;
        case Role::RefMap: hot = 64; break;
        }
        int off;
        if (coin(rng) != 0 && role != Role::TableData && role != Role::CatalogData &&
            role != Role::MapRows)
            off = std::uniform_int_distribution<int>(0, hot - 1)(rng);
        else if (coin(rng) == 0)
            off = std::uniform_int_distribution<int>(0, hot - 1)(rng);
        else
            off = std::uniform_int_distribution<int>(0, 4095)(rng);
        out[std::size_t(page) * 4096 + std::size_t(off)] ^= static_cast<std::uint8_t>(val(rng));
    }
    return out;
}

// Counts of what happened, printed at the end of a suite for the record.
struct Tally {
    int cases = 0;
    int rejectedByCheck = 0;
    int wrongCount = 0; // loaded, but with a number of rows other than the file's
    std::map<Kind, int> outcomes;
    double slowest = 0;

    void print(const char* title) const
    {
        qInfo("%s: %d damaged files, %d refused by the structural check", title, cases,
              rejectedByCheck);
        for (const auto& [k, n] : outcomes)
            qInfo("  %-40s %d", kindName(k), n);
        if (wrongCount)
            qInfo("  %-40s %d", "of them loaded with a wrong row count", wrongCount);
        qInfo("  slowest load %.2f s", slowest);
    }
};

// One damaged file through the whole load path; the common expectations:
//  - a clear message or the right count, within a bounded time;
//  - nothing the check accepts may crash the reader or make it spin;
//  - whatever the check refuses is refused by the load path as well.
inline bool loadDamaged(const std::string& caseName, const Bytes& bytes, std::int64_t rightCount,
                        Tally& tally, double maxSeconds = 30.0)
{
    const std::string verdict = engine::checkMdbBytes(bytes.data(), bytes.size());
    const std::string dir = placeDatabase(caseName, bytes);
    const std::string fileVerdict = engine::checkMdbFile(dir + "/tabl1.mdb");
    const Outcome o = loadCount(dir);
    ++tally.cases;
    if (!verdict.empty())
        ++tally.rejectedByCheck;
    ++tally.outcomes[o.kind];
    if (o.kind == Kind::Ok && o.count != rightCount)
        ++tally.wrongCount;
    tally.slowest = std::max(tally.slowest, o.seconds);
    std::error_code ec;
    fs::remove(engine::StoreCache::storePathFor(dir + "/tabl1.mdb"), ec); // keep the cache small
    fs::remove_all(dir);

    // FZ_DAMAGED_SURVEY=1: only count what happens (to see what the reader does on its own).
    if (qEnvironmentVariableIsSet("FZ_DAMAGED_SURVEY")) {
        if (o.kind == Kind::Crashed || o.kind == Kind::TimedOut) {
            qInfo("%s: %s", caseName.c_str(), kindName(o.kind));
            writeFile(workDir() + "/survey-" + caseName + ".mdb", bytes);
        }
        return true;
    }
    const QByteArray name = QByteArray::fromStdString(caseName);
    const QByteArray why = QByteArray::fromStdString(verdict);
    if (fileVerdict != verdict) {
        qWarning("%s: file check \"%s\" differs from memory check \"%s\"", name.constData(),
                 fileVerdict.c_str(), verdict.c_str());
        return false;
    }
    if (o.seconds > maxSeconds) {
        qWarning("%s: load took %.1f s", name.constData(), o.seconds);
        return false;
    }
    if (o.kind == Kind::Ok && rightCount >= 0 && o.count != rightCount) {
        qWarning("%s: loaded with %lld rows instead of %lld (check said \"%s\")", name.constData(),
                 static_cast<long long>(o.count), static_cast<long long>(rightCount),
                 why.constData());
        return false;
    }
    if (o.kind != Kind::Ok && o.message.empty()) {
        qWarning("%s: failed without a message", name.constData());
        return false;
    }
    if (verdict.empty() && (o.kind == Kind::Crashed || o.kind == Kind::TimedOut)) {
        qWarning("%s: accepted by the check, yet the reader %s", name.constData(),
                 kindName(o.kind));
        return false;
    }
    if (!verdict.empty() && o.kind == Kind::Ok) {
        qWarning("%s: refused by the check (\"%s\") but loaded", name.constData(), why.constData());
        return false;
    }
    return true;
}

} // namespace damaged
