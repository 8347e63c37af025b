#include "util/ExtractField.h"

QString ExtractField(const QString& text, int n, QChar separator)
{
    QString result;
    int count = 0;
    for (const QChar ch : text) {
        if (ch != separator) {
            result.append(ch);
            continue;
        }
        ++count;
        if (count == n)
            return result;
        result.clear();
    }
    return result;
}
