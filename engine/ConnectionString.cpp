#include "engine/ConnectionString.h"

#include "engine/Fold.h"

#include <cctype>
#include <string_view>

namespace engine {

std::string buildConnectionString(const std::string& directory)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + directory + "/" + "tabl1.mdb" +
           ";Persist Security Info=False";
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
    // key=value pairs separated by ";"; a value may be quoted to hold a ";".
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
            char q = s[v];
            size_t close = s.find(q, v + 1);
            if (close == std::string_view::npos)
                close = s.size();
            value = std::string(s.substr(v + 1, close - v - 1));
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
