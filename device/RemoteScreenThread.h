#pragma once

#include <QString>
#include <QThread>

// The thread of one screen stream: runs the event loop on which the frame connection is read.
class RemoteScreenThread : public QThread
{
    Q_OBJECT

public:
    RemoteScreenThread(const QString &host, int port) : deviceHost(host), devicePort(port) {}

    QString host() const { return deviceHost; }
    int port() const { return devicePort; }

private:
    const QString deviceHost;
    const int devicePort;
};
