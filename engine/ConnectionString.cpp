#include "engine/ConnectionString.h"

#include "engine/jetsql/Fold.h"

#include <cctype>
#include <string_view>

namespace engine {

namespace {

// The connection string with `value` as its Data Source, written as it is.
std::string withDataSource(const std::string& value)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + value + ";Persist Security Info=False";
}

} // namespace

std::string buildConnectionString(const std::string& directory)
{
    return withDataSource(directory + "/" + kDatabaseFileName);
}

std::string connectionStringFor(const std::string& path)
{
    const bool bare = path.find_first_of(";\"'") == std::string::npos &&
                      (path.empty() || (!std::isspace(static_cast<unsigned char>(path.front())) &&
                                        !std::isspace(static_cast<unsigned char>(path.back()))));
    std::string value;
    if (bare) {
        value = path;
    } else {
        value = "\"";
        for (char c : path) {
            if (c == '"')
                value.push_back('"');
            value.push_back(c);
        }
        value.push_back('"');
    }
    return withDataSource(value);
}

namespace {

std::string trimmed(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

} // namespace

std::string dataSource(const std::string& connectionString)
{
    // key=value pairs separated by ";"; a value may be quoted to hold a ";", and a quote mark
    // inside is then doubled.
    std::string_view s = connectionString;
    size_t i = 0;
    while (i < s.size()) {
        size_t eq = s.find('=', i);
        if (eq == std::string_view::npos)
            break;
        std::string key = trimmed(s.substr(i, eq - i));
        size_t v = eq + 1;
        while (v < s.size() && s[v] == ' ')
            ++v;
        std::string value;
        size_t end;
        if (v < s.size() && (s[v] == '"' || s[v] == '\'')) {
            const char q = s[v];
            size_t close = v + 1;
            while (close < s.size()) {
                if (s[close] == q) {
                    if (close + 1 < s.size() && s[close + 1] == q) {
                        value.push_back(q);
                        close += 2;
                        continue;
                    }
                    break;
                }
                value.push_back(s[close++]);
            }
            end = s.find(';', close);
        } else {
            end = s.find(';', v);
            value = trimmed(s.substr(v, end == std::string_view::npos ? s.size() - v : end - v));
        }
        if (equalsAsciiNoCase(key, "Data Source"))
            return value;
        if (end == std::string_view::npos)
            break;
        i = end + 1;
    }
    return {};
}

} // namespace engine
