#pragma once
// One CSV field or line as the export writes it.
#include <QByteArray>
#include <QString>
#include <QStringList>

// True when the text must be quoted to stay one field: it holds a comma, a double quote,
// a carriage return or a line feed.
bool csvNeedsQuotes(QStringView cell);

// Appends the cell in Windows-1251 ("?" for what it cannot hold); a cell that needs quotes
// is enclosed in double quotes with its inner quotes doubled, any other cell goes as it is.
void appendCsvField(QByteArray& out, QStringView cell);

// The cells joined by commas, without a line end.
QByteArray csvLine(const QStringList& cells);
