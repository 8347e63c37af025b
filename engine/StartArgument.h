#pragma once
#include <string>

namespace engine {

// The connection string for the database a start argument names, with relative paths taken
// from currentDirectory (which the program never changes):
//  - no argument (""): tabl1.mdb in currentDirectory, as buildConnectionString gives it;
//  - a folder: tabl1.mdb in that folder;
//  - anything else: that file itself, whatever its name ("Open with" on any .mdb). A path
//    that names nothing, or nothing readable, is still named, so that opening it fails
//    with the engine's usual message.
// The Data Source is quoted only where it would otherwise be changed (connectionStringFor).
std::string startConnectionString(const std::string& argument, const std::string& currentDirectory);

} // namespace engine
