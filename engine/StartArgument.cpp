#include "engine/StartArgument.h"

#include "engine/ConnectionString.h"

#include <sys/stat.h>

namespace engine {

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
        path += kDatabaseFileName;
    }
    return connectionStringFor(path);
}

} // namespace engine
