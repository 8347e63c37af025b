#include "bench/BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace bench {

double median(std::vector<double> v)
{
    if (v.empty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

RunResult runProgram(const std::vector<std::string>& argv, const std::string& inPath,
                     const std::string& outPath, int limitSeconds, bool keepStderr)
{
    RunResult r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, inPath.empty() ? "/dev/null" : inPath.c_str(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, outPath.empty() ? "/dev/null" : outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!keepStderr)
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> args = argv;
    std::vector<char*> cargs;
    for (auto& a : args)
        cargs.push_back(a.data());
    cargs.push_back(nullptr);

    pid_t pid = -1;
    const auto t0 = Clock::now();
    const int rc = posix_spawnp(&pid, cargs[0], &fa, nullptr, cargs.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return r;
    r.started = true;
    int status = 0;
    struct rusage ru {};
    for (;;) {
        const pid_t w = ::wait4(pid, &status, WNOHANG, &ru);
        if (w == pid)
            break;
        if (w < 0) {
            status = -1;
            break;
        }
        if (limitSeconds > 0 && msSince(t0) > limitSeconds * 1000.0) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &ru);
            r.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    r.ms = msSince(t0);
    r.cpuMs = (double(ru.ru_utime.tv_sec) + double(ru.ru_stime.tv_sec)) * 1000.0 +
              (double(ru.ru_utime.tv_usec) + double(ru.ru_stime.tv_usec)) / 1000.0;
    r.exitCode = (status >= 0 && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return r;
}

double cpuMsSelfAndChildren()
{
    double ms = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage ru {};
        ::getrusage(who, &ru);
        ms += (double(ru.ru_utime.tv_sec) + double(ru.ru_stime.tv_sec)) * 1000.0 +
              (double(ru.ru_utime.tv_usec) + double(ru.ru_stime.tv_usec)) / 1000.0;
    }
    return ms;
}

bool haveProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream ss(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(ss, dir, ':')) {
        const std::string p = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(p.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::int64_t countNonEmptyLines(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return -1;
    std::int64_t n = 0;
    bool content = false;
    char buf[1 << 16];
    std::size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0) {
        for (std::size_t i = 0; i < got; ++i) {
            const char c = buf[i];
            if (c == '\n') {
                n += content;
                content = false;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                content = true;
            }
        }
    }
    n += content;
    std::fclose(f);
    return n;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return bool(out);
}

std::int64_t procStatusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0)
            return std::atoll(line.c_str() + key.size());
    }
    return -1;
}

bool resetPeakMemory()
{
    std::ofstream out("/proc/self/clear_refs");
    out << "5";
    out.flush();
    return bool(out);
}

namespace {

// Reads one CSV record; false at the end of the file.
bool readRecord(std::FILE* f, std::vector<std::string>& fields, std::vector<bool>& quoted)
{
    fields.clear();
    quoted.clear();
    std::string cur;
    bool inQuotes = false, wasQuoted = false, any = false;
    int c;
    while ((c = std::getc(f)) != EOF) {
        any = true;
        if (inQuotes) {
            if (c == '"') {
                const int n = std::getc(f);
                if (n == '"') {
                    cur.push_back('"');
                } else {
                    inQuotes = false;
                    if (n != EOF)
                        std::ungetc(n, f);
                }
            } else {
                cur.push_back(char(c));
            }
            continue;
        }
        if (c == '"' && cur.empty() && !wasQuoted) {
            inQuotes = wasQuoted = true;
        } else if (c == ',') {
            fields.push_back(std::move(cur));
            quoted.push_back(wasQuoted);
            cur.clear();
            wasQuoted = false;
        } else if (c == '\n') {
            break;
        } else if (c != '\r') {
            cur.push_back(char(c));
        }
    }
    if (!any)
        return false;
    fields.push_back(std::move(cur));
    quoted.push_back(wasQuoted);
    return true;
}

} // namespace

std::optional<ColumnValues>
scanExportCsv(const std::string& path, const std::vector<std::string>& columns, std::string* error)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (error)
            *error = "cannot read " + path;
        return std::nullopt;
    }
    ColumnValues out;
    std::vector<std::string> fields;
    std::vector<bool> quoted;
    if (!readRecord(f, fields, quoted)) {
        std::fclose(f);
        if (error)
            *error = path + " is empty";
        return std::nullopt;
    }
    out.header = fields;
    std::vector<std::pair<std::size_t, std::unordered_map<std::string, std::int64_t>*>> wanted;
    for (const std::string& c : columns) {
        const auto it = std::find(out.header.begin(), out.header.end(), c);
        if (it == out.header.end()) {
            std::fclose(f);
            if (error)
                *error = "column " + c + " is not in " + path;
            return std::nullopt;
        }
        wanted.emplace_back(std::size_t(it - out.header.begin()), &out.counts[c]);
    }
    while (readRecord(f, fields, quoted)) {
        ++out.rows;
        for (auto& [pos, map] : wanted) {
            if (pos < fields.size() && (quoted[pos] || !fields[pos].empty()))
                ++(*map)[fields[pos]];
        }
    }
    std::fclose(f);
    return out;
}

namespace {

// Rewrites the literals into single quotes; `ilike` also turns = and LIKE into ILIKE.
std::string peerWhere(const std::string& where, bool ilike)
{
    std::string out;
    std::size_t i = 0;
    while (i < where.size()) {
        const char c = where[i];
        if (c == '"') {
            out.push_back('\'');
            ++i;
            while (i < where.size()) {
                if (where[i] == '"') {
                    if (i + 1 < where.size() && where[i + 1] == '"') {
                        out.push_back('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (where[i] == '\'')
                    out.push_back('\'');
                out.push_back(where[i]);
                ++i;
            }
            out.push_back('\'');
            continue;
        }
        if (ilike && c == '=') {
            out += " ILIKE ";
            ++i;
            continue;
        }
        if (ilike && where.compare(i, 6, " LIKE ") == 0) {
            out += " ILIKE ";
            i += 6;
            continue;
        }
        out.push_back(c);
        ++i;
    }
    return out;
}

} // namespace

std::string whereForSqlite(const std::string& where)
{
    return peerWhere(where, false);
}

std::string whereForMdbSql(const std::string& where)
{
    return peerWhere(where, true);
}

std::string fmtMs(double ms)
{
    if (std::isnan(ms))
        return "-";
    char buf[64];
    if (ms < 10)
        std::snprintf(buf, sizeof buf, "%.2f", ms);
    else if (ms < 1000)
        std::snprintf(buf, sizeof buf, "%.1f", ms);
    else
        std::snprintf(buf, sizeof buf, "%.0f", ms);
    return buf;
}

std::string fmtRatio(double r)
{
    if (std::isnan(r) || std::isinf(r))
        return "-";
    char buf[64];
    if (r < 2) // near the 1.5 x limit: enough digits to see which side
        std::snprintf(buf, sizeof buf, "%.3fx", r);
    else if (r < 10)
        std::snprintf(buf, sizeof buf, "%.2fx", r);
    else
        std::snprintf(buf, sizeof buf, "%.0fx", r);
    return buf;
}

} // namespace bench
