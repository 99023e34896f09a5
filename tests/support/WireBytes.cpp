#include "WireBytes.h"

#include <QtEndian>

QByteArray WireBytes::le(qint32 value)
{
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray WireBytes::header(qint32 command, qint32 length, qint32 extra, qint32 magic)
{
    return le(magic) + le(command) + le(length) + le(extra);
}
