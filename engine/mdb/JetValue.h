#pragma once
// How a stored value of each column type reaches the query object: as text, the way a
// Russian desktop user of the program sees a field read as a string. One format per type:
//
//   Text, Memo             the text itself (a Memo whole, however many pages it spans)
//   Byte, Integer, Long,   the integer: "-5", "2147483647"
//   Large Number
//   Single, Double         up to 7 (Single) or 15 (Double) significant digits, decimal
//                          comma, trailing zeros dropped: "3,14", "0,1", "-2,5E+20";
//                          "NaN", "+Inf", "-Inf" for the special values
//   Currency               exact, up to 4 decimals, decimal comma, no currency sign,
//                          trailing zeros dropped: "1234,5", "-0,0001", "7"
//   Numeric (Decimal)      exact, with as many decimals as the column's scale:
//                          scale 2 -> "12,50", scale 0 -> "-3"
//   Yes/No                 "Да" or "Нет" (never null)
//   Date/Time              "ДД.ММ.ГГГГ", followed by " Ч:ММ:СС" when the time is not
//                          midnight: "09.05.1945", "30.12.1899 9:05:03"; a value outside
//                          the years 100..9999 is shown as its day number (a Double)
//   Replication ID         "{1A2B3C4D-0000-4000-8000-00AA00BB00CC}"
//   Binary                 the bytes in upper-case hexadecimal: "0AFF"
//   OLE Object             "(OLE-объект, N байт)": the object itself is not text
//   attachments and        "(составное поле)": the values live in hidden tables
//   multi-valued fields
//   any other type         its bytes in hexadecimal, as Binary
//
// A non-null value is never empty, except empty Text, Memo and Binary values.

#include <cstddef>
#include <cstdint>
#include <string>

namespace engine::jet {

// Column type codes as the file stores them.
enum ColumnType : int {
    kBoolean = 0x01,
    kByte = 0x02,
    kInteger = 0x03,
    kLong = 0x04,
    kCurrency = 0x05,
    kSingle = 0x06,
    kDouble = 0x07,
    kDateTime = 0x08,
    kBinary = 0x09,
    kText = 0x0A,
    kOle = 0x0B,
    kMemo = 0x0C,
    kReplicationId = 0x0F,
    kNumeric = 0x10,
    kComplex = 0x12,
    kLargeNumber = 0x13,
};

// The type's name as the engine's column definitions give it.
const char* typeName(int type);

// Appends the text of a fixed-layout value (every type above except Text, Memo, OLE and
// Yes/No) stored in `len` bytes at `p`. `scale` is the column's scale (Numeric only).
void appendFixedValue(std::string& out, int type, const unsigned char* p, std::size_t len,
                      int scale);

void appendBoolean(std::string& out, bool value);
// Appends Jet 4 text (a Text or whole Memo value, stored as Jet4Text.h says) as UTF-8. A unit
// that is half of a surrogate pair becomes "?", an odd last byte is dropped, and a zero unit
// ends the text (what follows it is left over from an earlier value).
void appendJet4Text(std::string& out, const unsigned char* p, std::size_t len);
void appendOleObject(std::string& out, std::uint32_t bytes);
void appendDouble(std::string& out, double v, int digits);

} // namespace engine::jet
