#include "util/Strings.h"

namespace fz {

QString Trim(const QString& s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && s.at(end - 1).unicode() <= 0x20)
        --end;
    if (begin == 0 && end == s.size())
        return s;
    return s.mid(begin, end - begin);
}

QString LowerCase(const QString& s)
{
    return s.toLower();
}

QString UpperCase(const QString& s)
{
    return s.toUpper();
}

QString CapitalizeFirst(const QString& s)
{
    if (s.isEmpty())
        return s;
    QString out = s;
    const QChar first = s.at(0);
    if (first.isHighSurrogate() && s.size() > 1 && s.at(1).isLowSurrogate()) {
        const char32_t cp = QChar::surrogateToUcs4(first, s.at(1));
        const char32_t up = QChar::toUpper(cp);
        if (up != cp && QChar::requiresSurrogates(up)) {
            out[0] = QChar(QChar::highSurrogate(up));
            out[1] = QChar(QChar::lowSurrogate(up));
        }
        return out;
    }
    out[0] = first.toUpper();
    return out;
}

} // namespace fz
