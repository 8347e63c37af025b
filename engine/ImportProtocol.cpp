#include "engine/ImportProtocol.h"

#include <cstdio>
#include <cstdlib>

namespace engine::import {

std::string progressLine(std::int64_t done, std::int64_t total)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "P %lld %lld\n", static_cast<long long>(done),
                  static_cast<long long>(total));
    return buf;
}

std::string errorLine(int code, const std::string& text)
{
    return "E " + std::to_string(code) + " " + text + "\n";
}

std::string doneLine()
{
    return "OK\n";
}

Report parseReport(std::string_view line)
{
    Report r;
    const std::string s(line);
    if (s.rfind("P ", 0) == 0) {
        long long a = 0, b = 0;
        if (std::sscanf(s.c_str() + 2, "%lld %lld", &a, &b) == 2) {
            r.kind = Report::Kind::Progress;
            r.done = a;
            r.total = b;
        }
    } else if (s.rfind("E ", 0) == 0) {
        char* end = nullptr;
        r.kind = Report::Kind::Error;
        r.code = static_cast<int>(std::strtol(s.c_str() + 2, &end, 10));
        r.text = (end && *end == ' ') ? std::string(end + 1) : std::string();
    } else if (s == "OK") {
        r.kind = Report::Kind::Done;
    }
    return r;
}

std::string temporaryStorePath(const std::string& storePath, pid_t pid)
{
    return storePath + ".tmp." + std::to_string(pid);
}

SourceKey sourceKeyOf(const std::string& path, const struct stat& sb)
{
    SourceKey key;
    key.path = path;
    key.size = static_cast<std::int64_t>(sb.st_size);
    key.mtimeNs = static_cast<std::int64_t>(sb.st_mtim.tv_sec) * 1000000000LL + sb.st_mtim.tv_nsec;
    return key;
}

} // namespace engine::import
