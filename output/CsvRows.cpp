#include "output/CsvRows.h"

#include "output/CsvLine.h"
#include "util/Strings.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <memory>

char* CsvRows::room(std::size_t more)
{
    if (bytes_.size() - used_ < more)
        bytes_.resize(std::max(2 * bytes_.size(), used_ + more));
    return bytes_.data() + used_;
}

void CsvRows::add(std::string_view utf8, bool capitalizeFirst)
{
    if (!utf8.empty())
        std::memcpy(room(utf8.size()), utf8.data(), utf8.size());
    used_ += utf8.size();
    ends_[cells_] = used_;
    capitalize_[cells_++] = capitalizeFirst;
}

namespace {

// n bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as two words that may overlap.
template <class Word>
inline void copyTwoWords(char* dst, const char* src, std::size_t n)
{
    Word a, b;
    std::memcpy(&a, src, sizeof a);
    std::memcpy(&b, src + n - sizeof b, sizeof b);
    std::memcpy(dst, &a, sizeof a);
    std::memcpy(dst + n - sizeof b, &b, sizeof b);
}

// memcpy for the short texts most cells hold: a few moves, no call.
inline void copyShort(char* dst, const char* src, std::size_t n)
{
    if (n >= 16) {
        std::memcpy(dst, src, n);
    } else if (n >= 8) {
        copyTwoWords<std::uint64_t>(dst, src, n);
    } else if (n >= 4) {
        copyTwoWords<std::uint32_t>(dst, src, n);
    } else if (n > 0) {
        dst[0] = src[0];
        dst[n / 2] = src[n / 2];
        dst[n - 1] = src[n - 1];
    }
}

} // namespace

void CsvRows::addRow(const std::string_view* cells, const bool* capitalizeFirst)
{
    std::size_t size = 0;
    for (int c = 0; c < columns_; ++c)
        size += cells[c].size();
    char* at = room(size);
    for (int c = 0; c < columns_; ++c) {
        const std::size_t n = cells[c].size();
        copyShort(at, cells[c].data(), n);
        at += n;
        ends_[cells_] = std::size_t(at - bytes_.data());
        capitalize_[cells_++] = capitalizeFirst[c];
    }
    used_ += size;
}

void CsvRows::read(const GridCells& grid, int from, int to)
{
    columns_ = grid.gridColumnCount();
    const std::size_t cells = std::size_t(std::max(to - from, 0)) * std::size_t(columns_);
    cells_ = 0;
    used_ = 0;
    if (ends_.size() < cells) {
        ends_.resize(cells);
        capitalize_.resize(cells);
    }
    std::string_view utf8;
    bool capitalize = false;
    std::vector<std::string_view> row(static_cast<std::size_t>(columns_));
    std::unique_ptr<bool[]> capitalizeRow(new bool[std::size_t(columns_)]);
    for (int r = from; r < to; ++r) {
        if (grid.rowUtf8(r, row.data(), capitalizeRow.get())) {
            addRow(row.data(), capitalizeRow.get());
            continue;
        }
        for (int c = 0; c < columns_; ++c) {
            if (grid.cellUtf8(c, r, utf8, capitalize)) {
                add(utf8, capitalize);
            } else {
                const QByteArray text = grid.cell(c, r).toUtf8();
                add(std::string_view(text.constData(), std::size_t(text.size())), false);
            }
        }
    }
    assert(cells_ == cells);
    room(kCsvSlack); // encode() reads a little beyond the last cell
}

std::size_t CsvRows::encode(std::vector<char>& out) const
{
    std::size_t used = 0;
    auto room = [&](std::size_t bytes) {
        if (out.size() < used + bytes)
            out.resize(std::max(out.size() * 2, used + bytes));
        return out.data() + used;
    };
    std::size_t begin = 0;
    std::size_t c = 0; // the cell's column
    for (std::size_t i = 0; i < cells_; ++i, c = c + 1 == std::size_t(columns_) ? 0 : c + 1) {
        const std::string_view utf8(bytes_.data() + begin, ends_[i] - begin);
        begin = ends_[i];
        char* at = room(csvFieldUtf8Room(utf8.size()) + 3 + kCsvSlack);
        if (c > 0)
            *at++ = ',';
        // (read() leaves kCsvSlack bytes after the last cell)
        assert(begin + kCsvSlack <= bytes_.size());
        char* end = putCsvFieldUtf8Padded(at, utf8, capitalize_[i]);
        if (!end) {
            // Bytes that are not well-formed UTF-8: the cell's text is what QString makes of
            // them, as the grid shows it.
            QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
            if (capitalize_[i])
                text = fz::CapitalizeFirst(text);
            QByteArray field;
            appendCsvField(field, text);
            const std::size_t offset = std::size_t(at - out.data());
            at = room(offset - used + std::size_t(field.size()) + 2) + (offset - used);
            end = std::copy(field.cbegin(), field.cend(), at);
        }
        if (c + 1 == std::size_t(columns_)) {
            *end++ = '\r';
            *end++ = '\n';
        }
        used = std::size_t(end - out.data());
    }
    return used;
}
