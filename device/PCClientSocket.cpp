#include "device/PCClientSocket.h"

PCClientSocket::PCClientSocket()
{
    connect(this, &QAbstractSocket::connected, this, &PCClientSocket::slot_connected);
    connect(this, &QAbstractSocket::disconnected, this, &PCClientSocket::slot_disconnected);
    connect(this, &QAbstractSocket::errorOccurred, this, &PCClientSocket::slot_error);
}

// Closed here, while the object is whole: the base class would otherwise emit disconnected()
// into slot_disconnected() of an object already half destroyed.
PCClientSocket::~PCClientSocket()
{
    abort();
}

void PCClientSocket::connectToDevice(const QString &host, int port)
{
    deviceHost = host;
    devicePort = port;
    if (state() != UnconnectedState)
        abort();
    connectToHost(host, static_cast<quint16>(port), ReadWrite, AnyIPProtocol);
}

void PCClientSocket::slot_connected()
{
    connectedFlag = true;
    // Touches and keys go out as they are written: a press and its release in one segment
    // could reach the device as one event, and a touch held back would make reads wait longer.
    setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void PCClientSocket::slot_disconnected()
{
    connectedFlag = false;
}

void PCClientSocket::slot_error(QAbstractSocket::SocketError)
{
    connectedFlag = false;
}
