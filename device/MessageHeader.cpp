#include "device/MessageHeader.h"

#include <QtEndian>

QByteArray MessageHeader::toBytes() const
{
    QByteArray bytes(kSize, Qt::Uninitialized);
    char *p = bytes.data();
    qToLittleEndian<qint32>(magic, p);
    qToLittleEndian<qint32>(command, p + 4);
    qToLittleEndian<qint32>(length, p + 8);
    qToLittleEndian<qint32>(extraLength, p + 12);
    return bytes;
}

MessageHeader MessageHeader::fromBytes(const char *bytes)
{
    MessageHeader header;
    header.magic = qFromLittleEndian<qint32>(bytes);
    header.command = qFromLittleEndian<qint32>(bytes + 4);
    header.length = qFromLittleEndian<qint32>(bytes + 8);
    header.extraLength = qFromLittleEndian<qint32>(bytes + 12);
    return header;
}
