#pragma once
// Reads a file the way the importer does, through the same path: the bytes become a sealed
// private copy (engine/import/FileSnapshot.h), the structural check reads the copy in memory, and
// only a copy it accepts is read by the reader (engine/mdb/MdbRead.h) by its /proc name: the
// catalog, then every row of every user table, every value converted to text.

#include "engine/import/FileSnapshot.h"
#include "engine/mdb/MdbCheck.h"
#include "engine/mdb/MdbRead.h"

#include <cstddef>
#include <string>

namespace fzfuzz {

inline void readAll(const std::string& path)
{
    std::string why;
    auto file = engine::MdbFile::open(path, &why);
    if (!file)
        return;
    engine::CellBuffer cells;
    auto drop = [&] {
        cells.text.clear();
        cells.ends.clear();
        cells.nulls.clear();
    };
    for (std::size_t i = 0; i < file->tables().size(); ++i)
        file->readRows(i, cells, drop, &why);
}

inline void checkAndReadAll(const void* data, std::size_t size)
{
    const engine::FileSnapshot copy = engine::FileSnapshot::fromBytes(data, size);
    if (engine::checkMdbBytes(copy.data(), copy.size()).empty())
        readAll(copy.procPath());
}

} // namespace fzfuzz
