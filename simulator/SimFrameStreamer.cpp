#include "simulator/SimFrameStreamer.h"

#include "simulator/SimFrameEncoder.h"
#include "simulator/SimTestPattern.h"

#include <QTcpSocket>
#include <QTime>

namespace {
// The test pattern is redrawn at most this often; faster frames repeat the last picture.
constexpr qint64 kRedrawMs = 16;
} // namespace

SimFrameStreamer::SimFrameStreamer(const SimOptions &options, const QImage &picture, QObject *parent)
    : QObject(parent), options(options), picture(picture)
{
    clock.start();
    connect(&server, &QTcpServer::newConnection, this, &SimFrameStreamer::acceptConnections);
    if (options.fps > 0) {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(qMax(1, int(1000 / options.fps)));
        connect(&timer, &QTimer::timeout, this, &SimFrameStreamer::sendToAll);
    }
}

SimFrameStreamer::~SimFrameStreamer()
{
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

void SimFrameStreamer::setTouch(const QPoint &point)
{
    touch = point;
    if (picture.isNull()) // a fixed picture shows no touch mark
        stale = true;
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
        if (options.fps > 0) {
            if (!timer.isActive())
                timer.start();
        } else {
            // As fast as possible: the next frame goes out as soon as the last one is mostly sent.
            connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { sendFrame(socket); });
        }
        sendFrame(socket);
    }
}

void SimFrameStreamer::sendToAll()
{
    for (QTcpSocket *socket : qAsConst(sockets))
        sendFrame(socket);
}

void SimFrameStreamer::sendFrame(QTcpSocket *socket)
{
    refreshPixels();
    if (socket->state() != QAbstractSocket::ConnectedState || socket->bytesToWrite() >= pixels.size())
        return;
    FBInfo stamped = info;
    SimFrameEncoder::stamp(&stamped);
    socket->write(SimFrameEncoder::messageHead(stamped, options.screencapMode));
    socket->write(pixels); // shared, not copied, by the socket's buffer
}

void SimFrameStreamer::refreshPixels()
{
    const qint64 now = clock.elapsed();
    if (!picture.isNull()) {
        if (!stale)
            return;
        pixels = SimFrameEncoder::pixels(picture, options.depth, options.channelOrder);
        info = SimFrameEncoder::describe(picture, options.depth, options.channelOrder, pixels.size());
    } else {
        if (!stale && now - renderedAt < kRedrawMs)
            return;
        const QImage screen = SimTestPattern::render(QSize(options.width, options.height), now, QTime::currentTime(), touch);
        pixels = SimFrameEncoder::pixels(screen, options.depth, options.channelOrder);
        info = SimFrameEncoder::describe(screen, options.depth, options.channelOrder, pixels.size());
    }
    renderedAt = now;
    stale = false;
}
