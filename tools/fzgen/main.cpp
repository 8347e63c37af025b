// fzgen OUT.mdb --rows N [--seed S] [--messy] [--csv OUT.csv] [--heard K HEARD.csv]
// Writes a synthetic person table FZ_T1 into a new Access (Jet 4) file; --heard also writes
// K of its persons' names as misheard over the telephone, with their rows (seeded by S).

#include "tools/fzgen/Heard.h"
#include "tools/fzgen/Population.h"

#include <charconv>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace {

const char* const kUsage =
    "usage: fzgen OUT.mdb --rows N [--seed S] [--messy] [--csv OUT.csv] [--heard K HEARD.csv]";

int usageError(const std::string& message) {
    std::cerr << "fzgen: " << message << "\n" << kUsage << "\n";
    return 2;
}

std::optional<std::uint64_t> parseCount(const std::string& s) {
    std::uint64_t v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size())
        return std::nullopt;
    return v;
}

} // namespace

int main(int argc, char** argv) {
    fzgen::Options options;
    std::string out;
    std::string csv;
    std::string heardCsv;
    std::uint64_t heardCount = 0;
    bool haveRows = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char* what) -> std::optional<std::string> {
            if (i + 1 >= argc)
                return std::nullopt;
            (void)what;
            return std::string(argv[++i]);
        };
        if (arg == "--rows" || arg == "--seed") {
            const auto v = value(arg.c_str());
            if (!v)
                return usageError(arg + " needs a number");
            const auto n = parseCount(*v);
            if (!n)
                return usageError(arg + " needs a whole number, not \"" + *v + "\"");
            if (arg == "--rows") {
                if (*n > 2147483647u)
                    return usageError("--rows must be at most 2147483647");
                options.rows = *n;
                haveRows = true;
            } else {
                options.seed = *n;
            }
        } else if (arg == "--messy") {
            options.messy = true;
        } else if (arg == "--csv") {
            const auto v = value("--csv");
            if (!v || v->empty())
                return usageError("--csv needs a file name");
            csv = *v;
        } else if (arg == "--heard") {
            const auto k = value("--heard");
            const auto n = k ? parseCount(*k) : std::nullopt;
            if (!n || *n == 0)
                return usageError("--heard needs a count of names above 0");
            const auto v = value("--heard");
            if (!v || v->empty())
                return usageError("--heard needs a file name after the count");
            heardCount = *n;
            heardCsv = *v;
        } else if (arg == "-h" || arg == "--help") {
            std::cout << kUsage << "\n";
            return 0;
        } else if (!arg.empty() && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (out.empty()) {
            out = arg;
        } else {
            return usageError("more than one output file given");
        }
    }
    if (out.empty())
        return usageError("no output file given");
    if (!haveRows)
        return usageError("--rows is required");
    try {
        fzgen::writePersons(out, options, csv);
        if (!heardCsv.empty())
            fzgen::writeHeardCsv(heardCsv, fzgen::heardNames(options, heardCount, options.seed));
    } catch (const std::exception& e) {
        std::cerr << "fzgen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
