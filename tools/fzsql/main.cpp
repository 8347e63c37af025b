// fzsql FILE.mdb "STATEMENT"
// Opens the file through the engine (importer and store included), runs one statement and
// prints the record count, then one line per record with the fields separated by a tab.
// A tab, line break or backslash inside a value is written as \t, \n or \\; a null is an
// empty field. Exit status 0 on success; otherwise the engine's message on stderr.

#include "engine/AdoQuery.h"
#include "engine/ConnectionString.h"
#include "engine/core/Messages.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Bytes that are written escaped: tab, line feed, carriage return, backslash.
constexpr bool escaped(unsigned char c)
{
    return c <= '\\' && (c == '\t' || c == '\n' || c == '\r' || c == '\\');
}

// Whether any byte of the word x is one to escape.
bool escapedInWord(std::uint64_t x)
{
    constexpr std::uint64_t ones = 0x0101010101010101, highs = 0x8080808080808080;
    auto zeroByte = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
    return (zeroByte(x ^ (ones * '\t')) | zeroByte(x ^ (ones * '\n')) |
            zeroByte(x ^ (ones * '\r')) | zeroByte(x ^ (ones * '\\'))) != 0;
}

// Whether v holds a byte to escape; eight bytes at a time (the last word overlapping the one
// before it, so nothing beyond v is read).
bool needsEscape(std::string_view v)
{
    const size_t n = v.size();
    if (n < 8) {
        for (char c : v)
            if (escaped(static_cast<unsigned char>(c)))
                return true;
        return false;
    }
    std::uint64_t x = 0;
    for (size_t i = 0; i + 8 < n; i += 8) {
        std::memcpy(&x, v.data() + i, 8);
        if (escapedInWord(x))
            return true;
    }
    std::memcpy(&x, v.data() + n - 8, 8);
    return escapedInWord(x);
}

void putEscaped(std::string_view v, std::string& out)
{
    if (!needsEscape(v)) {
        out.append(v);
        return;
    }
    // Runs without a character to escape go in whole.
    size_t from = 0;
    for (size_t i = 0; i < v.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(v[i]);
        if (!escaped(c))
            continue;
        out.append(v.substr(from, i - from));
        out.push_back('\\');
        out.push_back(c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\');
        from = i + 1;
    }
    out.append(v.substr(from));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fzsql FILE.mdb \"STATEMENT\"\n");
        return 2;
    }
    std::string file = argv[1];
    // Any file name is allowed here, whatever its characters.
    const std::string cs = engine::connectionStringFor(file);
    try {
        engine::AdoQuery q;
        q.setConnectionString(cs);
        q.clearSql();
        q.addSql(argv[2]);
        q.open();
        auto r = q.result();
        std::string out = std::to_string(r->rowCount()) + "\n";
        const int cols = r->columnCount();
        std::vector<int> all(static_cast<size_t>(cols));
        for (int c = 0; c < cols; ++c)
            all[static_cast<size_t>(c)] = c;
        std::vector<std::string_view> values(all.size());
        for (std::int64_t row = 0; row < r->rowCount(); ++row) {
            r->values(row, all.data(), cols, values.data());
            for (int c = 0; c < cols; ++c) {
                if (c)
                    out.push_back('\t');
                putEscaped(values[static_cast<size_t>(c)], out);
            }
            out.push_back('\n');
            // (nothing read from a damaged store is written out)
            if (r->damaged())
                throw engine::EngineError(engine::msg::storeDamaged());
            if (out.size() > (1u << 20)) {
                std::fwrite(out.data(), 1, out.size(), stdout);
                out.clear();
            }
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        if (std::fflush(stdout) != 0)
            return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
