#pragma once

#include "engine/store/ColumnDef.h"
#include "engine/store/SourceKey.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

// Writes a new store. Rows go in table by table; finish() makes the file complete.
class StoreWriter {
public:
    explicit StoreWriter(const std::string& path); // an existing, empty file
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    void beginTable(const std::string& name, const std::vector<ColumnDef>& columns);
    // Rows come in batches of `count` rows, row after row (count * columns values; values[i]
    // is used unless isNull[i]), in two steps that two threads may share: the dictionary
    // work of the columns [colBegin, colEnd), which also tells in refs (count * columns, the
    // caller's) which cells refer to a spelling; then the rows themselves, once every column
    // of the batch has had assignIds. Every column must get assignIds for every batch, in
    // the order of the batches; two threads must take disjoint columns.
    void assignIds(size_t count, const std::string_view* values, const bool* isNull,
                   size_t colBegin, size_t colEnd, std::uint32_t* refs);
    void addRecords(size_t count, const std::string_view* values, const bool* isNull,
                    const std::uint32_t* refs);
    // Builds dictionaries and indexes; `tick` (may be empty) is called now and then with the
    // share of this table's index work done (0..1).
    void endTable(const std::function<void(double)>& tick = {});
    void finish(const SourceKey& key);

private:
    void flushChunk(std::uint32_t lastRow);
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace engine
