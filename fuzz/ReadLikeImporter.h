#pragma once
// Reads a file the way the importer does, through the same reader (engine/MdbRead.h): the
// catalog, then every row of every user table, every value converted to text.

#include "engine/MdbRead.h"

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

} // namespace fzfuzz
