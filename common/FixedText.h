#pragma once

#include <QByteArray>

// Fixed-width, zero-terminated UTF-8 text fields of binary records and C buffers.
class FixedText
{
public:
    // The longest prefix of utf8 that is at most maxBytes long and does not end inside a
    // multi-byte character.
    static QByteArray cut(const QByteArray &utf8, int maxBytes);
    // A file name cut the same way, but keeping its extension (from the last dot) whenever the
    // extension and at least one character before it fit.
    static QByteArray cutFileName(const QByteArray &utf8, int maxBytes);
    // Writes the text into a field of width bytes: cut to width - 1 bytes at a character
    // boundary, then zero-filled, so the field always ends with a zero byte. Returns the number
    // of text bytes written (less than utf8.size() when the text was cut).
    static int write(char *field, int width, const QByteArray &utf8);
    // True when the text fits a field of width bytes with its terminating zero.
    static bool fits(const QByteArray &utf8, int width);
    // The text of a field up to its first zero byte, never reading past width.
    static QByteArray read(const char *field, int width);
};
