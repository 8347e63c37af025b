#pragma once
// Windows-1251, the code page of every file the program writes.
#include <QByteArray>
#include <QString>
#include <QStringView>

// The Windows-1251 code of a character, or -1 when the code page cannot hold it.
int cp1251Code(char32_t ch);
inline int cp1251Code(QChar ch)
{
    return cp1251Code(char32_t(ch.unicode()));
}

// Appends text in Windows-1251; each character the code page cannot hold becomes "?"
// (a character outside the basic plane gives one "?", not two).
void appendCp1251(QByteArray& out, QStringView text);

// The whole text in Windows-1251, "?" for what the code page cannot hold.
QByteArray toCp1251(QStringView text);

// The character a Windows-1251 byte stands for (U+FFFD for the one unassigned byte, 0x98).
QChar fromCp1251(unsigned char byte);
