#pragma once

#include <QByteArray>
#include <QtGlobal>

// The 16-byte header in front of every message on the control and the frame connection:
// four little-endian int32 fields.
struct MessageHeader
{
    static constexpr qint32 kMagic = 0x00C506A3;
    static constexpr int kSize = 16;

    // Command codes of both connections.
    enum Command : qint32 {
        TouchPress = 2,
        TouchRelease = 3,
        RemoteScreen = 4, // IDE: start streaming; device: the frame port
        Frame = 6,
        KeyPress = 7,
        KeyRelease = 8,
        ImportScript = 20, // IDE: the package; device: the confirmation
        Log = 21,
    };

    qint32 magic = kMagic;
    qint32 command = 0;
    qint32 length = 0;      // fixed payload after the header
    qint32 extraLength = 0; // variable data after the fixed payload

    MessageHeader() = default;
    MessageHeader(qint32 command, qint32 length, qint32 extraLength = 0)
        : command(command), length(length), extraLength(extraLength)
    {
    }

    QByteArray toBytes() const;
    static MessageHeader fromBytes(const char *bytes);
};
