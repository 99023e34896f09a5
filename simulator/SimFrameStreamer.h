#pragma once

#include "common/Result.h"

#include "device/FBInfo.h"
#include "simulator/SimOptions.h"

#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

// One screen stream of the simulated device: a listener on a free port and the frames sent to
// every connection it accepts. A connection that has not taken the last frame is skipped, so a
// slow reader never makes the device buffer more than about two frames.
class SimFrameStreamer : public QObject
{
    Q_OBJECT

public:
    // picture: the frames show it; a null picture streams the test pattern.
    SimFrameStreamer(const SimOptions &options, const QImage &picture, QObject *parent = nullptr);
    ~SimFrameStreamer() override;

    Status listen(const QHostAddress &address);
    quint16 port() const { return server.serverPort(); }
    void setTouch(const QPoint &point);

signals:
    void signal_event(QString line);

private:
    void acceptConnections();
    void sendToAll();
    void sendFrame(QTcpSocket *socket);
    void refreshPixels();

    const SimOptions options;
    const QImage picture;
    QTcpServer server;
    QList<QTcpSocket *> sockets;
    QTimer timer;
    QElapsedTimer clock;
    QByteArray pixels;
    FBInfo info;
    qint64 renderedAt = -1;
    QPoint touch{-1, -1};
    bool stale = true;
};
