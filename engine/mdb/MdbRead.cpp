#include "engine/mdb/MdbRead.h"

#include "engine/mdb/JetValue.h"
#include "engine/mdb/MdbCheck.h"
#include "engine/mdb/MdbLayout.h"

#include <mdbtools.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace engine {
namespace {

using u8 = unsigned char;
using jet::get32;
using jet::kLongHead;

static_assert(kLongHead == MDB_MEMO_OVERHEAD, "the reader library's long-value head");

MdbHeader headerOf(const std::string& path)
{
    u8 h[kMdbHeaderBytes] = {};
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    ssize_t n = ::pread(fd, h, sizeof h, 0);
    ::close(fd);
    return n == static_cast<ssize_t>(sizeof h) ? readMdbHeader(h, sizeof h) : MdbHeader{};
}

} // namespace

struct MdbFile::Private {
    MdbHandle* mdb = nullptr;
    std::vector<MdbTableDef*> defs; // one per entry of tables_
    std::vector<MdbField> fields;   // a cracked row
    std::vector<char> text;         // text converted by the reader library
    std::vector<u8> longValue;      // the pieces of a Memo, assembled

    ~Private()
    {
        for (MdbTableDef* t : defs)
            mdb_free_tabledef(t);
        if (mdb)
            mdb_close(mdb);
    }

    // Text in the file's encoding (UCS-2, compressed or 8-bit) appended as UTF-8.
    void appendText(std::string& out, const void* src, std::size_t len)
    {
        if (!IS_JET3(mdb)) {
            jet::appendJet4Text(out, static_cast<const u8*>(src), len);
            return;
        }
        const std::size_t need = 3 * len + 16; // the most UTF-8 one stored byte can become
        if (text.size() < need)
            text.resize(need);
        int w =
            mdb_unicode2ascii(mdb, static_cast<const char*>(src), len, text.data(), text.size());
        const std::size_t n = static_cast<std::size_t>(w > 0 ? w : 0);
        // A NUL ends the text, as it does wherever the reader library hands text on (bytes
        // after it are left over from an earlier value, not text).
        const void* nul = std::memchr(text.data(), '\0', n);
        out.append(text.data(),
                   nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()) : n);
    }

    // The row a page/row pointer names; false when the reader cannot find it.
    bool pointedRow(std::uint32_t ptr, const u8*& data, std::size_t& len)
    {
        void* buf = nullptr;
        int off = 0;
        size_t n = 0;
        if (mdb_find_pg_row(mdb, static_cast<int>(ptr), &buf, &off, &n) != 0)
            return false;
        data = static_cast<const u8*>(buf) + off;
        len = n;
        return true;
    }

    // A Memo's text. The structural check has walked the same pieces with the same limit.
    void appendMemo(std::string& out, const u8* v, std::size_t len)
    {
        if (len < kLongHead)
            return;
        const std::uint32_t head = get32(v);
        std::uint32_t ptr = get32(v + 4);
        longValue.clear();
        const u8* piece = nullptr;
        std::size_t pieceLen = 0;
        switch (jet::longValueKind(head)) {
        case jet::LongValue::Inline: longValue.assign(v + kLongHead, v + len); break;
        case jet::LongValue::OneRow:
            if (pointedRow(ptr, piece, pieceLen))
                longValue.assign(piece, piece + pieceLen);
            break;
        case jet::LongValue::Chain: {
            const std::size_t limit = std::min<std::size_t>(head, kMaxLongValueBytes);
            while (ptr != 0 && pointedRow(ptr, piece, pieceLen) && pieceLen >= jet::kPieceLink) {
                if (longValue.size() + pieceLen - jet::kPieceLink > limit)
                    break;
                longValue.insert(longValue.end(), piece + jet::kPieceLink, piece + pieceLen);
                ptr = get32(piece);
            }
            break;
        }
        case jet::LongValue::Unknown: break;
        }
        appendText(out, longValue.data(), longValue.size());
    }
};

MdbFile::MdbFile(std::unique_ptr<Private> d)
    : d_(std::move(d))
{
}

MdbFile::~MdbFile() = default;

std::unique_ptr<MdbFile> MdbFile::open(const std::string& path, std::string* why)
{
    auto fail = [&](const char* text) {
        if (why)
            *why = text;
        return nullptr;
    };
    const MdbHeader header = headerOf(path);
    if (header.format == MdbHeader::Format::NotDatabase)
        return fail("not a database");
    // 8-bit text (Jet 3) is in the code page the file records; the reader library takes
    // it from here when it opens the file.
    ::setenv("MDB_JET3_CHARSET", jet3Charset(header.codePage), 1);

    auto d = std::make_unique<Private>();
    d->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
    if (!d->mdb)
        return fail("not a database");
    if (!mdb_read_catalog(d->mdb, MDB_TABLE))
        return fail("no catalog");
    std::unique_ptr<MdbFile> f(new MdbFile(std::move(d)));
    f->header_ = header;
    MdbHandle* mdb = f->d_->mdb;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (entry->object_type != MDB_TABLE || !mdb_is_user_table(entry))
            continue;
        MdbTableDef* t = mdb_read_table(entry);
        if (!t)
            return fail("cannot read a table's definition");
        f->d_->defs.push_back(t);
        if (!mdb_read_columns(t))
            return fail("cannot read a table's columns");
        MdbTableInfo info;
        info.name = entry->object_name;
        info.storedRows = t->num_rows;
        for (unsigned c = 0; c < t->num_cols; ++c) {
            auto* col = static_cast<::MdbColumn*>(g_ptr_array_index(t->columns, c));
            info.columns.push_back({col->name, col->col_type});
        }
        f->tables_.push_back(std::move(info));
    }
    return f;
}

bool MdbFile::readRows(std::size_t index, CellBuffer& cells, const std::function<void()>& rowDone,
                       std::string* why)
{
    auto fail = [&](const char* text) {
        if (why)
            *why = text;
        return false;
    };
    Private& d = *d_;
    MdbHandle* mdb = d.mdb;
    MdbTableDef* t = d.defs.at(index);
    const unsigned ncols = t->num_cols;
    d.fields.assign(ncols + 1, MdbField{});
    const int pageSize = static_cast<int>(mdb->fmt->pg_size);
    mdb_rewind_table(t);
    while (mdb_fetch_row(t)) {
        int start = 0;
        size_t len = 0;
        if (mdb_find_row(mdb, static_cast<int>(t->cur_row) - 1, &start, &len) != 0)
            return fail("row outside its page");
        if (mdb_crack_row(t, static_cast<int>(start & jet::kOffsetMask), len, d.fields.data()) < 0)
            return fail("row cannot be decoded");
        for (unsigned i = 0; i < ncols; ++i) {
            const MdbField& f = d.fields[i];
            auto* col = static_cast<::MdbColumn*>(g_ptr_array_index(t->columns, f.colnum));
            bool isNull = f.is_null != 0;
            std::string& out = cells.text;
            if (col->col_type == MDB_BOOL) {
                jet::appendBoolean(out, !isNull); // a Yes/No value lives in the null bit
                isNull = false;
            } else if (!isNull) {
                if (f.start < 0 || f.siz < 0 || f.start + f.siz > pageSize)
                    return fail("value outside its page");
                const u8* v = mdb->pg_buf + f.start;
                const auto n = static_cast<std::size_t>(f.siz);
                switch (col->col_type) {
                case MDB_TEXT: d.appendText(out, v, n); break;
                case MDB_MEMO: d.appendMemo(out, v, n); break;
                case MDB_OLE:
                    jet::appendOleObject(out, n >= kLongHead ? get32(v) & jet::kLongLength : 0);
                    break;
                // the reader library keeps a Numeric's scale in the field it calls col_prec
                default: jet::appendFixedValue(out, col->col_type, v, n, col->col_prec); break;
                }
            }
            cells.ends.push_back(static_cast<std::uint32_t>(out.size()));
            cells.nulls.push_back(isNull ? 1 : 0);
        }
        rowDone();
    }
    return true;
}

} // namespace engine
