#include "WireBytes.h"

#include <QtEndian>

QByteArray WireBytes::le(qint32 value)
{
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    return QByteArray(bytes, 4);
}

quint32 WireBytes::u32(const QByteArray &bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

QByteArray WireBytes::withField(QByteArray bytes, int offset, qint32 value)
{
    qToLittleEndian<qint32>(value, bytes.data() + offset);
    return bytes;
}

QByteArray WireBytes::header(qint32 command, qint32 length, qint32 extra, qint32 magic)
{
    return le(magic) + le(command) + le(length) + le(extra);
}
