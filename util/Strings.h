#pragma once
// Text rules shared by the windows: trimming and letter case.
#include <QString>

namespace fz {

// Removes leading and trailing spaces and control characters (everything up to U+0020).
QString Trim(const QString& s);

// Letter case by the locale's rules; Cyrillic letters included.
QString LowerCase(const QString& s);
QString UpperCase(const QString& s);

// The first character replaced by its upper-case form, the rest unchanged; "" stays "".
QString CapitalizeFirst(const QString& s);

} // namespace fz
