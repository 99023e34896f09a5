#pragma once

#include <QtGlobal>

// The one call the device link makes on a socket past Qt: a read straight into the caller's
// memory, so a frame's pixels go from the connection into its buffer without a copy.
class SocketReceive
{
public:
    // Reads up to size bytes from a connected, non-blocking socket (a Qt socket's descriptor)
    // straight into buffer: those there now and, when waitMs > 0, those that come within waitMs,
    // stopping once size bytes have come. The socket is left non-blocking. Returns the count
    // read, 0 when nothing came, the peer has closed or the socket failed: the socket's owner
    // then learns of that as usual.
    static qint64 arrived(qintptr socket, char *buffer, qint64 size, int waitMs);
};
