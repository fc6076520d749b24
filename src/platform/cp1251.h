#pragma once
// Windows-1251, the code page of the texts the records, the settings file, the exports and the
// mail keep as bytes. A fixed table, so the result does not depend on the locale or on iconv.
//
// Byte 0x98 has no character in Windows-1251; it decodes to U+0098 and U+0098 encodes back to
// 0x98 (as Windows' own conversion and the WHATWG table do), so every byte string survives a
// round trip through QString unchanged.

#include <QByteArray>
#include <QString>

// Windows-1251 bytes of text. A character without a byte (or a broken surrogate) becomes one '?',
// and *ok (when given) tells whether every character had its byte.
QByteArray ToCp1251(const QString& text, bool* ok = nullptr);

// The text of Windows-1251 bytes. Every byte has a character, so this cannot fail.
QString FromCp1251(const QByteArray& bytes);

// True when every character of text has a Windows-1251 byte.
bool Cp1251CanEncode(const QString& text);

// The number of bytes ToCp1251(text) gives: one per character, a surrogate pair counting once.
int Cp1251Length(const QString& text);

// The longest head of text whose Windows-1251 form fits in nBytes bytes (never splitting a
// surrogate pair); for cutting texts to fixed byte buffers.
QString Cp1251Left(const QString& text, int nBytes);
