#pragma once
#include <QString>

// The n-th field (counted from 1) of text split on the one-character separator. A text
// without the separator is its own first field; two separators in a row give an empty
// field; asking beyond the last separator gives the last field.
QString ExtractField(const QString& text, int n, QChar separator);
