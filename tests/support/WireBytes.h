#pragma once

#include <QByteArray>

// Bytes of the device link and the file formats written and read by hand, independently of the
// code under test.
namespace WireBytes {

// A little-endian int32.
QByteArray le(qint32 value);
// The little-endian uint32 at offset.
quint32 u32(const QByteArray &bytes, int offset);
// bytes with the int32 at offset replaced.
QByteArray withField(QByteArray bytes, int offset, qint32 value);
// A message header; the default magic is the right one.
QByteArray header(qint32 command, qint32 length, qint32 extra = 0, qint32 magic = 0x00C506A3);

} // namespace WireBytes
