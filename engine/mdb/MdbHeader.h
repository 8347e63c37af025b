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

// Every page of a file is as long as its format says, the first one too.
constexpr std::uint32_t kJet3PageSize = 2048;
constexpr std::uint32_t kJet4PageSize = 4096;

struct MdbHeader {
    enum class Format { NotDatabase, Jet3, Jet4 };
    Format format = Format::NotDatabase;
    int version = -1;      // the byte at 0x14
    bool ace = false;      // "Standard ACE DB": Access 2007 and later
    unsigned codePage = 0; // as recorded; 0 when none
    // Jet 3 and Jet 4 files may be "encoded": every page but the first masked with RC4
    // under this key and the page's number (decodePage). Access and the reader open them
    // without a password. 0: pages in the clear.
    std::uint32_t pageKey = 0;
    // The pages of a later format are encrypted under a password (a non-zero page key
    // there): neither Access without the password nor the reader can read them.
    bool encrypted = false;
    bool password = false; // a database password is set (Jet 3, Jet 4)
    std::uint32_t pageSize() const
    {
        return format == Format::Jet3 ? kJet3PageSize : kJet4PageSize;
    }
};

// `len` bytes from the start of the file (at least kMdbHeaderBytes for a database).
MdbHeader readMdbHeader(const unsigned char* bytes, std::size_t len);

// Decodes (or encodes: the mask is its own inverse) page `page` of an encoded file.
void decodePage(std::uint32_t pageKey, std::uint32_t page, unsigned char* data, std::size_t len);

// The code page the file's 8-bit text (Jet 3) is decoded with, as an iconv name:
// the recorded one when it is a known Windows or DOS code page, else Windows-1251.
const char* jet3Charset(unsigned codePage);

} // namespace engine
