#pragma once

#include <QByteArray>

// Device-link bytes written out by hand, independently of the code under test.
namespace WireBytes {

// A little-endian int32.
QByteArray le(qint32 value);
// A message header; the default magic is the right one.
QByteArray header(qint32 command, qint32 length, qint32 extra = 0, qint32 magic = 0x00C506A3);

} // namespace WireBytes
