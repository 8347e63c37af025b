#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace engine {

// The unchanging result of one statement, held in memory or read from the store as its
// cells are asked for. Shared by the query object and whoever shows it (the grid keeps a
// reference instead of copying every cell).
class ResultSet {
public:
    virtual ~ResultSet() = default;
    virtual int columnCount() const = 0;
    virtual std::int64_t rowCount() const = 0;
    virtual std::string_view columnName(int col) const = 0;
    // Null reads as the empty string; isNull tells them apart. The text stays valid until
    // the next call on this result (a result may read its records only when asked).
    virtual std::string_view value(std::int64_t row, int col) const = 0;
    virtual bool isNull(std::int64_t row, int col) const = 0;
    // value() of n columns of one row at once: out[i] for cols[i]. The texts stay valid
    // until the next call on this result.
    virtual void values(std::int64_t row, const int* cols, int n, std::string_view* out) const;
    // The most characters (UTF-8 code points) any value of the column holds, over the
    // first `rows` rows (all when negative). This version reads every value.
    virtual int maxCharLength(int col, std::int64_t rows = -1) const;
    // maxCharLength of several columns at once: out[i] for cols[i].
    virtual void maxCharLengths(const std::vector<int>& cols, std::int64_t rows,
                                std::vector<int>& out) const;
    // Whether a read of this result met a damaged store: the cells it gave since are not
    // the data (read as empty), and the result is not to be shown or written out.
    virtual bool damaged() const { return false; }
};

} // namespace engine
