#include "simulator/SimFrameStreamer.h"

#include "simulator/SimFrameEncoder.h"
#include "simulator/SimOptions.h"
#include "simulator/SimScreen.h"

#include <QScopedValueRollback>
#include <QTcpSocket>

SimFrameStreamer::SimFrameStreamer(const SimOptions &options, SimScreen &screen, QObject *parent)
    : QObject(parent), screen(screen), screencapMode(options.screencapMode), paced(options.fps > 0)
{
    connect(&server, &QTcpServer::newConnection, this, &SimFrameStreamer::acceptConnections);
    if (paced) {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(qMax(1, int(1000 / options.fps)));
        connect(&timer, &QTimer::timeout, this, [this] { send(sockets); });
    }
}

SimFrameStreamer::~SimFrameStreamer()
{
    stop();
}

void SimFrameStreamer::stop()
{
    stopped = true;
    timer.stop();
    server.close();
    const QList<QTcpSocket *> open = sockets;
    sockets.clear();
    for (QTcpSocket *socket : open) {
        socket->disconnect(this);
        socket->abort();
    }
}

Status SimFrameStreamer::listen(const QHostAddress &address)
{
    if (!server.listen(address, 0))
        return fail(server.errorString());
    return Status();
}

void SimFrameStreamer::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        socket->setParent(this);
        sockets.append(socket);
        emit signal_event(QStringLiteral("frame connection from %1").arg(socket->peerAddress().toString()));
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            sockets.removeOne(socket);
            socket->deleteLater();
            emit signal_event(QStringLiteral("frame connection closed"));
        });
        if (paced) {
            if (!timer.isActive())
                timer.start();
        } else {
            // As fast as possible: the next frame goes out as soon as the last one is mostly sent.
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { send({socket}); });
        }
        send({socket});
    }
}

void SimFrameStreamer::send(const QList<QTcpSocket *> &targets)
{
    // flush() and the input read before a capture may report bytes written, which asks for
    // the next frame: that one waits until this one is out.
    if (sending)
        return;
    const QScopedValueRollback<bool> busy(sending, true);
    FBInfo info = screen.describe();
    SimFrameEncoder::stamp(&info);
    const QByteArray head = SimFrameEncoder::messageHead(info, screencapMode);
    QList<QTcpSocket *> ready;
    for (QTcpSocket *socket : targets) {
        if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() >= info.dataSize)
            continue;
        socket->write(head);
        socket->flush();
        ready.append(socket);
    }
    if (ready.isEmpty())
        return;
    emit signal_capturing();
    if (stopped)
        return;
    emit signal_captured(SimFrameEncoder::stampOf(info));
    const QByteArray pixels = screen.capture();
    for (QTcpSocket *socket : qAsConst(ready)) {
        if (sockets.contains(socket))
            socket->write(pixels);
    } // shared, not copied, by the socket's buffer
}
