#include "engine/import/ImportProtocol.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace engine::import {

namespace {

// What follows a store's name in the name of its temporary file, before the owner's id.
constexpr std::string_view kTemporaryMark = ".tmp.";

} // namespace

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

std::string temporaryStorePath(const std::string& storePath, pid_t owner, std::uint64_t random)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%lld.%016llx", static_cast<long long>(owner),
                  static_cast<unsigned long long>(random));
    return storePath + std::string(kTemporaryMark) + buf;
}

pid_t temporaryStoreOwner(std::string_view fileName)
{
    const std::string mark = std::string(kStoreExtension) + std::string(kTemporaryMark);
    const size_t at = fileName.rfind(mark);
    if (at == std::string_view::npos || at == 0)
        return 0;
    std::string_view rest = fileName.substr(at + mark.size());
    std::string_view random;
    if (const size_t dot = rest.find('.'); dot != std::string_view::npos) {
        random = rest.substr(dot + 1);
        rest = rest.substr(0, dot);
        if (random.empty())
            return 0;
        for (char c : random)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return 0;
    }
    long long pid = 0;
    if (rest.empty() || rest.size() > 10 || rest[0] == '0')
        return 0;
    for (char c : rest) {
        if (c < '0' || c > '9')
            return 0;
        pid = pid * 10 + (c - '0');
    }
    return pid > 0 && pid <= INT_MAX ? static_cast<pid_t>(pid) : 0;
}

SourceKey sourceKeyOf(const std::string& path, const struct stat& sb)
{
    SourceKey key;
    key.path = path;
    key.device = static_cast<std::uint64_t>(sb.st_dev);
    key.inode = static_cast<std::uint64_t>(sb.st_ino);
    key.size = static_cast<std::int64_t>(sb.st_size);
    key.mtimeNs = static_cast<std::int64_t>(sb.st_mtim.tv_sec) * 1000000000LL + sb.st_mtim.tv_nsec;
    key.ctimeNs = static_cast<std::int64_t>(sb.st_ctim.tv_sec) * 1000000000LL + sb.st_ctim.tv_nsec;
    return key;
}

} // namespace engine::import
