// Stored values of every column type as the query object shows them, and what a file's first
// page says about it.
#include "engine/mdb/JetValue.h"
#include "engine/mdb/MdbHeader.h"
#include "tools/jet4/Jet4Writer.h"

#include <QtTest>
#include <mdbtools.h>

#include <cstring>
#include <limits>
#include <vector>

namespace {

std::string fixed(int type, std::vector<unsigned char> bytes, int scale = 0)
{
    std::string out;
    engine::jet::appendFixedValue(out, type, bytes.data(), bytes.size(), scale);
    return out;
}

std::vector<unsigned char> le(std::uint64_t v, int n)
{
    std::vector<unsigned char> b;
    for (int i = 0; i < n; ++i)
        b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    return b;
}

template <class T>
std::vector<unsigned char> raw(T v)
{
    std::vector<unsigned char> b(sizeof v);
    std::memcpy(b.data(), &v, sizeof v);
    return b;
}

// A Numeric: sign byte, then four 32-bit words, the most significant first.
std::vector<unsigned char> numeric(bool negative, std::uint64_t high, std::uint64_t low)
{
    std::vector<unsigned char> b{static_cast<unsigned char>(negative ? 0x80 : 0)};
    for (std::uint32_t w : {std::uint32_t(high >> 32), std::uint32_t(high),
                            std::uint32_t(low >> 32), std::uint32_t(low)})
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<unsigned char>(w >> (8 * i)));
    return b;
}

} // namespace

class TestJetValues : public QObject {
    Q_OBJECT
private slots:
    void numbers()
    {
        using namespace engine::jet;
        QCOMPARE(fixed(kByte, {200}), "200");
        QCOMPARE(fixed(kInteger, le(0x8000, 2)), "-32768");
        QCOMPARE(fixed(kLong, le(0xFFFFFFFF, 4)), "-1");
        QCOMPARE(fixed(kLargeNumber, le(0x8000000000000000ull, 8)), "-9223372036854775808");
        QCOMPARE(fixed(kSingle, raw(3.14159274f)), "3,141593");
        QCOMPARE(fixed(kDouble, raw(0.1 + 0.2)), "0,3");
        QCOMPARE(fixed(kDouble, raw(-2.5e20)), "-2,5E+20");
        QCOMPARE(fixed(kDouble, raw(std::numeric_limits<double>::quiet_NaN())), "NaN");
        QCOMPARE(fixed(kLong, {0x01, 0x02}), "0102"); // shorter than its type: its bytes
        QCOMPARE(fixed(kDateTime, {0x00, 0x00, 0x00, 0x00}), "00000000");
        // Currency: exact ten-thousandths, trailing zeros dropped
        QCOMPARE(fixed(kCurrency, le(12345000, 8)), "1234,5");
        QCOMPARE(fixed(kCurrency, le(static_cast<std::uint64_t>(-1), 8)), "-0,0001");
        QCOMPARE(fixed(kCurrency, le(0x8000000000000000ull, 8)), "-922337203685477,5808");
        // Numeric: the column's scale, all of it
        QCOMPARE(fixed(kNumeric, numeric(false, 0, 1250), 2), "12,50");
        QCOMPARE(fixed(kNumeric, numeric(true, 0, 1110554), 3), "-1110,554");
        QCOMPARE(fixed(kNumeric, numeric(true, 0, 0), 0), "0");
        QCOMPARE(fixed(kNumeric, numeric(false, 0, 5), 4), "0,0005");
        QCOMPARE(fixed(kNumeric, numeric(false, 0x204FCE5Eull, 0x3E2502610FFFFFFFull), 0),
                 "9999999999999999999999999999"); // the most digits a Numeric holds
    }

    void datesAndOthers()
    {
        using namespace engine::jet;
        QCOMPARE(fixed(kDateTime, raw(16566.0)), "09.05.1945");
        QCOMPARE(fixed(kDateTime, raw(0.0 + (9 * 3600 + 5 * 60 + 3) / 86400.0)),
                 "30.12.1899 9:05:03");
        QCOMPARE(fixed(kDateTime, raw(-1.25)),
                 "29.12.1899 6:00:00"); // before day 0: time still forward
        QCOMPARE(fixed(kDateTime, raw(2.0 - 0.1 / 86400)),
                 "01.01.1900"); // rounds to the next midnight
        QCOMPARE(fixed(kDateTime, raw(36526.0)), "01.01.2000");
        QCOMPARE(fixed(kDateTime, raw(-657434.0)), "01.01.0100");
        QCOMPARE(fixed(kDateTime, raw(1e9)), "1000000000"); // no calendar date: the number
        QCOMPARE(fixed(kReplicationId, {0x4D, 0x3C, 0x2B, 0x1A, 0x00, 0x00, 0x00, 0x40, 0x80, 0x00,
                                        0x00, 0xAA, 0x00, 0xBB, 0x00, 0xCC}),
                 "{1A2B3C4D-0000-4000-8000-00AA00BB00CC}");
        QCOMPARE(fixed(kBinary, {0x0A, 0xFF}), "0AFF");
        QCOMPARE(fixed(0x7E, {0x01}), "01"); // a type nobody knows: its bytes
        QVERIFY(!fixed(kComplex, le(7, 4)).empty());
        std::string s;
        appendOleObject(s, 1234);
        QVERIFY(s.find("1234") != std::string::npos);
    }

    void header()
    {
        // A writer-made header: Jet 4, code page 1251, no password, pages in the clear.
        std::vector<unsigned char> h(engine::kMdbHeaderBytes);
        QCOMPARE(engine::readMdbHeader(h.data(), h.size()).format,
                 engine::MdbHeader::Format::NotDatabase);
        const char sig[] = "\x00\x01\x00\x00Standard ACE DB";
        std::memcpy(h.data(), sig, 20);
        h[0x14] = 3;
        h[0x15] = 1; // the bytes after the version byte are not part of it (Access 2010 files)
        engine::MdbHeader ace = engine::readMdbHeader(h.data(), h.size());
        QCOMPARE(ace.format, engine::MdbHeader::Format::Jet4);
        QVERIFY(ace.ace);
        QCOMPARE(ace.version, 3);
        h[0x14] = 1; // Jet 4's version under the later formats' signature
        QCOMPARE(engine::readMdbHeader(h.data(), h.size()).format,
                 engine::MdbHeader::Format::NotDatabase);
        h[0x14] = 7;
        QCOMPARE(engine::readMdbHeader(h.data(), h.size()).format,
                 engine::MdbHeader::Format::NotDatabase);
        QCOMPARE(engine::readMdbHeader(h.data(), 0x40).format,
                 engine::MdbHeader::Format::NotDatabase);

        QCOMPARE(std::string(engine::jet3Charset(1252)), "CP1252");
        QCOMPARE(std::string(engine::jet3Charset(0)), "CP1251");
        QCOMPARE(std::string(engine::jet3Charset(65001)), "CP1251");
    }

    // Jet 4 text decodes exactly as the reader library decodes it, for plain and compressed
    // values with every awkward unit: zero units, surrogate halves, odd lengths, mode switches.
    void jet4TextAsTheReaderLibrary()
    {
        const QByteArray dir = qgetenv("FZ_TEST_WORK");
        const std::string path =
            (dir.isEmpty() ? std::string(".") : dir.toStdString()) + "/text.mdb";
        jet4::writeTable(path, "T", {{"A", jet4::ColumnType::Text, 10}}, {{std::string("a")}});
        MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
        QVERIFY(mdb);
        const unsigned char units[] = {0x00, 0x01, 0x41, 0x7F, 0x80, 0xD8, 0xDC,
                                       0xDF, 0xE0, 0xFE, 0xFF, 0x04, 0x30};
        std::uint32_t seed = 12345;
        auto next = [&] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
        std::vector<char> lib(1024);
        for (int k = 0; k < 20000; ++k) {
            std::vector<unsigned char> v(next() % 24);
            for (auto& b : v)
                b = units[next() % sizeof units];
            if (v.size() >= 2 && k % 2 == 0) {
                v[0] = 0xFF;
                v[1] = 0xFE;
            }
            std::string ours;
            engine::jet::appendJet4Text(ours, v.data(), v.size());
            const int n = mdb_unicode2ascii(mdb, reinterpret_cast<const char*>(v.data()), v.size(),
                                            lib.data(), lib.size());
            std::string theirs(lib.data(), static_cast<std::size_t>(n > 0 ? n : 0));
            theirs = theirs.substr(0, theirs.find('\0'));
            QCOMPARE(QByteArray::fromStdString(ours).toHex(),
                     QByteArray::fromStdString(theirs).toHex());
        }
        mdb_close(mdb);
    }
};

QTEST_APPLESS_MAIN(TestJetValues)
#include "test_jet_values.moc"
