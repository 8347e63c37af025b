#pragma once
#include <string>

namespace engine {

// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir + "/" + "tabl1.mdb" +
// ";Persist Security Info=False". A directory that already ends in "/" gives "//".
std::string buildConnectionString(const std::string& directory);

// The Data Source of a connection string ("" when there is none).
std::string dataSource(const std::string& connectionString);

} // namespace engine
