#include "engine/store/StoreSchema.h"

#include <stdexcept>

namespace engine::schema {

std::string createTable(const std::string& name, const Shape& shape)
{
    std::string sql = "CREATE TABLE " + name + "(";
    for (size_t i = 0; i < shape.columns.size(); ++i) {
        if (i)
            sql += ", ";
        sql += shape.columns[i].name;
        sql += ' ';
        sql += shape.columns[i].decl;
    }
    return sql + shape.constraint + ")" + shape.options;
}

std::string insertInto(const std::string& name, const Shape& shape)
{
    std::string sql = "INSERT INTO " + name + " VALUES(";
    for (size_t i = 0; i < shape.columns.size(); ++i)
        sql += i ? ",?" : "?";
    return sql + ")";
}

namespace meta {

namespace {
constexpr const char* kFormat = "format";
constexpr const char* kSource = "source";
constexpr const char* kSize = "size";
constexpr const char* kMtime = "mtime_ns";
constexpr const char* kDevice = "device";
constexpr const char* kInode = "inode";
constexpr const char* kCtime = "ctime_ns";
constexpr const char* kComplete = "complete"; // written last: "1"
} // namespace

std::vector<std::pair<std::string, std::string>> rowsFor(const SourceKey& key)
{
    return {{kFormat, std::to_string(kStoreFormat)}, {kSource, key.path},
            {kSize, std::to_string(key.size)},       {kMtime, std::to_string(key.mtimeNs)},
            {kDevice, std::to_string(key.device)},   {kInode, std::to_string(key.inode)},
            {kCtime, std::to_string(key.ctimeNs)},   {kComplete, "1"}};
}

std::string readKey(const std::map<std::string, std::string>& rows, SourceKey& key)
{
    auto value = [&](const char* k) {
        const auto at = rows.find(k);
        return at == rows.end() ? std::string() : at->second;
    };
    if (value(kFormat) != std::to_string(kStoreFormat))
        return "store format differs";
    if (value(kComplete) != "1")
        return "store incomplete";
    key.path = value(kSource);
    try {
        key.size = std::stoll(value(kSize));
        key.mtimeNs = std::stoll(value(kMtime));
        key.device = std::stoull(value(kDevice));
        key.inode = std::stoull(value(kInode));
        key.ctimeNs = std::stoll(value(kCtime));
    } catch (const std::exception&) {
        return "store key unreadable";
    }
    return {};
}

} // namespace meta

std::vector<Object> storeObjects()
{
    return {{meta::kTable, createTable(meta::kTable, meta::kShape)},
            {tables::kTable, createTable(tables::kTable, tables::kShape)},
            {columns::kTable, createTable(columns::kTable, columns::kShape)}};
}

std::vector<Object> searchObjects(int t, size_t j)
{
    const std::string dn = storeTable::dictionary(t, j);
    const std::string fi = storeTable::foldedIndex(t, j);
    const std::string ri = storeTable::reversedIndex(t, j);
    const std::string xn = storeTable::trigrams(t, j);
    return {{fi, "CREATE UNIQUE INDEX " + fi + " ON " + dn + "(f)"},
            {ri, "CREATE INDEX " + ri + " ON " + dn + "(r)"},
            {xn, "CREATE VIRTUAL TABLE " + xn +
                     " USING fts5(f, tokenize='trigram case_sensitive 1', content='')"}};
}

std::vector<Object> tableObjects(const TableKinds& table)
{
    const int t = table.t;
    std::vector<Object> out{
        {storeTable::rows(t), createTable(storeTable::rows(t), blobs::kRowsShape)},
        {storeTable::lengths(t), createTable(storeTable::lengths(t), blobs::kLengthsShape)},
        {storeTable::spellings(t), createTable(storeTable::spellings(t), blobs::kSpellingsShape)}};
    for (size_t j = 0; j < table.columns.size(); ++j) {
        const TableKinds::ColumnKind& c = table.columns[j];
        const std::string dn = storeTable::dictionary(t, j);
        if (c.dictionary)
            out.emplace_back(dn, createTable(dn, dictionary::shape(c.search)));
        if (c.search)
            for (Object& o : searchObjects(t, j))
                out.push_back(std::move(o));
    }
    return out;
}

Objects objectsOf(const sql::Db& db)
{
    Objects objects;
    sql::Stmt st(db, "SELECT name, sql FROM sqlite_schema");
    while (st.step())
        objects[st.text(0)] = st.text(1);
    return objects;
}

std::string check(const Objects& objects, const std::vector<TableKinds>& tables)
{
    auto mismatch = [&](const std::vector<Object>& want) -> std::string {
        for (const auto& [name, sql] : want) {
            const auto at = objects.find(name);
            if (at == objects.end())
                return "missing " + name;
            if (at->second != sql)
                return "made otherwise: " + name;
        }
        return {};
    };
    std::string why = mismatch(storeObjects());
    for (size_t i = 0; why.empty() && i < tables.size(); ++i) {
        for (size_t j = 0; j < tables[i].columns.size(); ++j)
            if (tables[i].columns[j].search && !tables[i].columns[j].dictionary)
                return "plain search column " + storeTable::dictionary(tables[i].t, j);
        why = mismatch(tableObjects(tables[i]));
    }
    return why;
}

} // namespace engine::schema
