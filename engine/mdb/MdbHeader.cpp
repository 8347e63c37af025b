#include "engine/mdb/MdbHeader.h"

#include "engine/mdb/LittleEndian.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace engine {
namespace {

using u8 = unsigned char;

// Header positions (file offsets; the masked ones are unmasked before use).
constexpr std::size_t kSignatureAt = 4; // "Standard Jet DB" / "Standard ACE DB"
constexpr std::size_t kVersionAt = 0x14;
constexpr std::size_t kMaskedAt = 0x18;
constexpr std::size_t kMaskedLenJet3 = 126;
constexpr std::size_t kMaskedLenJet4 = 128;
constexpr std::size_t kCodePageAt = 0x3C;
constexpr std::size_t kPageKeyAt = 0x3E;
constexpr std::size_t kPasswordAt = 0x42;
constexpr std::size_t kPasswordLenJet3 = 20;
constexpr std::size_t kPasswordLenJet4 = 40;
constexpr std::size_t kCreatedAt = 0x72; // Jet 4: a date that masks the password
constexpr int kLastAceVersion = 6;
constexpr u8 kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};

void rc4(const u8* key, std::size_t keyLen, u8* data, std::size_t len)
{
    u8 s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<u8>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[static_cast<std::size_t>(i) % keyLen]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[n] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

} // namespace

MdbHeader readMdbHeader(const unsigned char* bytes, std::size_t len)
{
    MdbHeader h;
    if (!bytes || len < kMdbHeaderBytes)
        return h;
    static const u8 lead[4] = {0x00, 0x01, 0x00, 0x00};
    if (std::memcmp(bytes, lead, 4) != 0)
        return h;
    const bool jet = std::memcmp(bytes + kSignatureAt, "Standard Jet DB", 16) == 0;
    const bool ace = std::memcmp(bytes + kSignatureAt, "Standard ACE DB", 16) == 0;
    const int version = bytes[kVersionAt];
    if (!(jet && version <= 1) && !(ace && version >= 2 && version <= kLastAceVersion))
        return h;
    h.version = version;
    h.ace = ace;
    h.format = version == 0 ? MdbHeader::Format::Jet3 : MdbHeader::Format::Jet4;

    u8 head[kMdbHeaderBytes];
    std::memcpy(head, bytes, kMdbHeaderBytes);
    rc4(kHeaderKey, sizeof kHeaderKey, head + kMaskedAt,
        version == 0 ? kMaskedLenJet3 : kMaskedLenJet4);
    h.codePage = jet::get16(head + kCodePageAt);
    const std::uint32_t key = jet::get32(head + kPageKeyAt);
    if (ace)
        h.encrypted = key != 0;
    else
        h.pageKey = key;
    if (!ace) {
        // Jet 4 stores the password masked with the whole days of the creation date.
        u8 mask[4] = {};
        const std::size_t pwLen = version == 0 ? kPasswordLenJet3 : kPasswordLenJet4;
        if (version == 1) {
            double created;
            std::memcpy(&created, head + kCreatedAt, sizeof created);
            if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0) {
                const auto days = static_cast<std::int32_t>(created);
                std::memcpy(mask, &days, 4);
            }
        }
        for (std::size_t i = 0; i < pwLen; ++i)
            if ((head[kPasswordAt + i] ^ mask[i % 4]) != 0)
                h.password = true;
    }
    return h;
}

void decodePage(std::uint32_t pageKey, std::uint32_t page, unsigned char* data, std::size_t len)
{
    const std::uint32_t k = pageKey ^ page;
    const u8 key[4] = {static_cast<u8>(k), static_cast<u8>(k >> 8), static_cast<u8>(k >> 16),
                       static_cast<u8>(k >> 24)};
    rc4(key, sizeof key, data, len);
}

const char* jet3Charset(unsigned codePage)
{
    switch (codePage) {
    case 437: return "CP437";
    case 737: return "CP737";
    case 775: return "CP775";
    case 850: return "CP850";
    case 852: return "CP852";
    case 855: return "CP855";
    case 857: return "CP857";
    case 860: return "CP860";
    case 861: return "CP861";
    case 862: return "CP862";
    case 863: return "CP863";
    case 864: return "CP864";
    case 865: return "CP865";
    case 866: return "CP866";
    case 869: return "CP869";
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1252: return "CP1252";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    default: return "CP1251";
    }
}

} // namespace engine
