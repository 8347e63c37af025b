#pragma once
// The first page of an Access file: which format it is, which code page its 8-bit text is
// in, and whether it is protected. Read by the store cache before an import is started, by
// the structural check and by the importer, so that all three agree. No reader library.
//
// Layout: bytes 0..3 are 00 01 00 00, then "Standard Jet DB" or "Standard ACE DB"; the
// byte at 0x14 is the version (0 Jet 3, 1 Jet 4, 2..6 the formats of Access 2007 to 2019,
// which keep Jet 4's page layout); 0x18.. is a region masked with a fixed RC4 key, holding
// the code page (0x3C), the page-encryption key (0x3E), the database password (0x42,
// Jet 4: masked once more with the creation date at 0x72) and further settings.

#include <cstddef>
#include <cstdint>

namespace engine {

// Bytes of the file's beginning that readMdbHeader needs.
constexpr std::size_t kMdbHeaderBytes = 0x98;

struct MdbHeader {
    enum class Format { NotDatabase, Jet3, Jet4 };
    Format format = Format::NotDatabase;
    int version = -1;        // the byte at 0x14
    bool ace = false;        // "Standard ACE DB": Access 2007 and later
    unsigned codePage = 0;   // as recorded; 0 when none
    // Pages are encrypted (a non-zero page key). Access asks for a password or a key we
    // do not have; the reader cannot decode them either.
    bool encrypted = false;
    bool password = false;   // a database password is set
    std::uint32_t pageSize() const { return format == Format::Jet3 ? 2048u : 4096u; }
};

// `len` bytes from the start of the file (at least kMdbHeaderBytes for a database).
MdbHeader readMdbHeader(const unsigned char* bytes, std::size_t len);

// The code page the file's 8-bit text (Jet 3) is decoded with, as an iconv name:
// the recorded one when it is a known Windows or DOS code page, else Windows-1251.
const char* jet3Charset(unsigned codePage);

} // namespace engine
