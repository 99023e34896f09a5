#pragma once

#include <QString>
#include <QTcpSocket>

// A device connection socket that remembers the address it was opened to and keeps a connected
// flag in step with its own signals.
class PCClientSocket : public QTcpSocket
{
    Q_OBJECT

public:
    PCClientSocket();
    ~PCClientSocket() override;

    // Stores the address and starts connecting, without waiting.
    void connectToDevice(const QString &host, int port);

    QString host() const { return deviceHost; }
    int port() const { return devicePort; }
    bool isConnected() const { return connectedFlag; }
    void setConnected(bool connected) { connectedFlag = connected; }

public slots:
    void slot_connected();
    void slot_disconnected();
    void slot_error(QAbstractSocket::SocketError error);

private:
    QString deviceHost;
    int devicePort = 0;
    bool connectedFlag = false;
};
