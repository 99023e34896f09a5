#include "common/FixedText.h"

#include <cstring>

QByteArray FixedText::cut(const QByteArray &utf8, int maxBytes)
{
    if (maxBytes <= 0)
        return QByteArray();
    if (utf8.size() <= maxBytes)
        return utf8;
    int end = maxBytes;
    // Step back over continuation bytes (10xxxxxx) to the lead byte of the character that
    // straddles the limit, and drop that character.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end;
    return utf8.left(end);
}

QByteArray FixedText::cutFileName(const QByteArray &utf8, int maxBytes)
{
    if (utf8.size() <= maxBytes)
        return utf8;
    const int dot = utf8.lastIndexOf('.');
    if (dot > 0) {
        const QByteArray extension = utf8.mid(dot);
        const QByteArray stem = cut(utf8.left(dot), maxBytes - extension.size());
        if (!stem.isEmpty())
            return stem + extension;
    }
    return cut(utf8, maxBytes);
}

int FixedText::write(char *field, int width, const QByteArray &utf8)
{
    if (width <= 0)
        return 0;
    const QByteArray text = cut(utf8, width - 1);
    std::memset(field, 0, static_cast<size_t>(width));
    std::memcpy(field, text.constData(), static_cast<size_t>(text.size()));
    return text.size();
}

bool FixedText::fits(const QByteArray &utf8, int width)
{
    return utf8.size() < width;
}

QByteArray FixedText::read(const char *field, int width)
{
    const void *zero = std::memchr(field, 0, static_cast<size_t>(width));
    const int length = zero ? static_cast<int>(static_cast<const char *>(zero) - field) : width;
    return QByteArray(field, length);
}
