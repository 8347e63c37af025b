#include "engine/StartArgument.h"

#include "engine/ConnectionString.h"

#include <sys/stat.h>

#include <cctype>

namespace engine {

namespace {

// The Data Source value as the connection string parser reads it back unchanged.
std::string quotedIfNeeded(const std::string& path)
{
    const bool cut = path.find(';') != std::string::npos ||
                     (!path.empty() && std::isspace(static_cast<unsigned char>(path.back())));
    if (!cut)
        return path;
    if (path.find('"') == std::string::npos)
        return '"' + path + '"';
    if (path.find('\'') == std::string::npos)
        return '\'' + path + '\'';
    return path; // both quote marks and a ";": left as it is, it names no file
}

} // namespace

std::string startConnectionString(const std::string& argument, const std::string& currentDirectory)
{
    if (argument.empty())
        return buildConnectionString(currentDirectory);

    std::string path = argument;
    if (path[0] != '/')
        path = (currentDirectory.empty() || currentDirectory.back() != '/' ? currentDirectory + "/"
                                                                           : currentDirectory) +
               path;

    struct stat sb {};
    if (::stat(path.c_str(), &sb) == 0 && S_ISDIR(sb.st_mode)) {
        while (path.size() > 1 && path.back() == '/')
            path.pop_back();
        path += (path == "/" ? "" : "/");
        path += "tabl1.mdb";
    }
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + quotedIfNeeded(path) +
           ";Persist Security Info=False";
}

} // namespace engine
