#include "output/CsvLine.h"

#include "util/Cp1251.h"

bool csvNeedsQuotes(QStringView cell)
{
    for (const QChar ch : cell) {
        const char16_t u = ch.unicode();
        if (u == ',' || u == '"' || u == '\r' || u == '\n')
            return true;
    }
    return false;
}

void appendCsvField(QByteArray& out, QStringView cell)
{
    if (!csvNeedsQuotes(cell)) {
        appendCp1251(out, cell);
        return;
    }
    out.append('"');
    qsizetype from = 0;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] == u'"') {
            appendCp1251(out, cell.mid(from, i + 1 - from));
            out.append('"');
            from = i + 1;
        }
    }
    appendCp1251(out, cell.mid(from));
    out.append('"');
}

QByteArray csvLine(const QStringList& cells)
{
    QByteArray out;
    for (qsizetype i = 0; i < cells.size(); ++i) {
        if (i > 0)
            out.append(',');
        appendCsvField(out, cells.at(i));
    }
    return out;
}
