#pragma once
// One CSV field or line as the export writes it.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string_view>

// True when the text must be quoted to stay one field: it holds a comma, a double quote,
// a carriage return or a line feed.
bool csvNeedsQuotes(QStringView cell);

// Appends the cell in Windows-1251 ("?" for what it cannot hold); a cell that needs quotes
// is enclosed in double quotes with its inner quotes doubled, any other cell goes as it is.
void appendCsvField(QByteArray& out, QStringView cell);

// appendCsvField for a cell given as UTF-8 (its first letter capitalised when
// `capitalizeFirst`), with the same bytes as appendCsvField of its QString. False, and
// nothing appended, when the bytes are not well-formed UTF-8.
bool appendCsvFieldUtf8(QByteArray& out, std::string_view utf8, bool capitalizeFirst);

// The bytes appendCsvFieldUtf8 may write at most for a cell of `bytes` UTF-8 bytes.
constexpr std::size_t csvFieldUtf8Room(std::size_t bytes)
{
    return bytes * 2 + 2;
}
// appendCsvFieldUtf8 into memory with room for csvFieldUtf8Room bytes: returns the end of
// what it wrote, or null when the bytes are not well-formed UTF-8.
char* putCsvFieldUtf8(char* dst, std::string_view utf8, bool capitalizeFirst);
// putCsvFieldUtf8 where the input may be read, and the output written, up to this many
// bytes beyond the field and its room: faster on short fields.
constexpr std::size_t kCsvSlack = 16;
char* putCsvFieldUtf8Padded(char* dst, std::string_view utf8, bool capitalizeFirst);

// The cells joined by commas, without a line end.
QByteArray csvLine(const QStringList& cells);
