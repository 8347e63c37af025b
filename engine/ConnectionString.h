#pragma once
#include <string>

namespace engine {

// The name of the database file the program opens in a folder.
inline constexpr const char* kDatabaseFileName = "tabl1.mdb";

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir + "/" + "tabl1.mdb" +
// ";Persist Security Info=False". A directory that already ends in "/" gives "//".
std::string buildConnectionString(const std::string& directory);

// The same connection string naming the file `path` itself, whatever its characters: the
// Data Source is quoted, with each quote mark inside doubled, where a ";", a quote mark or a
// blank at either end would otherwise change what dataSource() reads back.
std::string connectionStringFor(const std::string& path);

// The Data Source of a connection string ("" when there is none).
std::string dataSource(const std::string& connectionString);

} // namespace engine
