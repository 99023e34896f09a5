#include "device/RemoteScreenClient.h"

#include "common/SteadyClock.h"
#include "device/SocketReceive.h"
#include "device/FrameImage.h"
#include "device/FrameQueue.h"
#include "device/FrameTap.h"

#include <QThread>
#include <QtEndian>

namespace {
// What the socket takes from the connection ahead of the reader: the rest of a frame is read
// straight into its buffer, and while a frame is held off, it stays with the operating system
// and the device.
constexpr qint64 kSocketBuffer = 16 << 10;
constexpr int kHoldOffMs = 2;
// The rest of a message, and the next message, follow at once from a device that is sending:
// they are waited for here, briefly, rather than by a turn of the event loop for every piece.
constexpr int kWaitMs = 10;
} // namespace

RemoteScreenClient::RemoteScreenClient(FrameQueue *frames, FramePool *pool, const FrameTap *tap)
    : frames(frames), tap(tap)
{
    reader.takeBuffersFrom(pool);
    socket.setReadBufferSize(kSocketBuffer);
    holdOff.setSingleShot(true);
    holdOff.setTimerType(Qt::PreciseTimer);
    holdOff.setInterval(kHoldOffMs);
    connect(&holdOff, &QTimer::timeout, this, &RemoteScreenClient::slot_readyRead);
    connect(&socket, &QAbstractSocket::connected, this, &RemoteScreenClient::slot_connected);
    connect(&socket, &QIODevice::readyRead, this, &RemoteScreenClient::slot_readyRead);
    connect(&socket, &QAbstractSocket::errorOccurred, this, &RemoteScreenClient::slot_error);
}

void RemoteScreenClient::connectToDevice(const QString &host, int port)
{
    reader.reset();
    socket.connectToDevice(host, port);
}

void RemoteScreenClient::close()
{
    socket.abort();
    socket.setConnected(false);
    connected = false;
}

void RemoteScreenClient::slot_connected()
{
    connected = true;
    emit signal_remoteScreenClientConnected();
}

void RemoteScreenClient::slot_error(QAbstractSocket::SocketError)
{
    connected = false;
}

// Reads past the socket's buffer (which the reader has emptied). A read that comes up short
// has taken everything that had arrived when it began: whatever comes next arrived later.
qint64 RemoteScreenClient::receive(char *buffer, qint64 size)
{
    const qint64 before = steadyMicros();
    qint64 got = SocketReceive::arrived(socket.socketDescriptor(), buffer, size, 0);
    if (got < size) {
        if (!messageStarted && got == 0)
            messageAfter = before;
        drainedAt = before;
        got += SocketReceive::arrived(socket.socketDescriptor(), buffer + got, size - got, kWaitMs);
        if (got == 0) {
            // Nothing came while waiting: the connection is still drained now.
            const qint64 now = steadyMicros();
            got = SocketReceive::arrived(socket.socketDescriptor(), buffer, size, 0);
            if (got == 0) {
                drainedAt = now;
                if (!messageStarted)
                    messageAfter = now;
            }
        }
    }
    if (!messageStarted && got > 0)
        messageStarted = true;
    return got;
}

void RemoteScreenClient::slot_readyRead()
{
    const auto arrived = [this](char *buffer, qint64 size) { return receive(buffer, size); };
    // Frames are read one after the other while they come; a stop request (the thread's
    // interruption) is seen between messages, and the event loop then ends.
    while (socket.isOpen() && !thread()->isInterruptionRequested()) {
        if (reader.isBetweenMessages()) {
            if (frames->isCrowded()) {
                holdOff.start();
                return;
            }
            if (messageStarted) {
                // The next message's bytes, wherever they come from, follow the last drain.
                messageStarted = false;
                messageAfter = drainedAt;
            }
            if (socket.bytesAvailable() > 0)
                messageStarted = true;
        }
        switch (reader.readFrom(&socket, arrived)) {
        case MessageReader::Status::NeedMore:
            // While someone tells frames sent after a touch from older ones, the connection is
            // watched without pause, so that a frame's moment stays close to its arrival.
            if (tap && tap->isSet())
                holdOff.start();
            return;
        case MessageReader::Status::Error:
            fail(reader.errorString());
            return;
        case MessageReader::Status::Message:
            break;
        }
        if (reader.header().command != MessageHeader::Frame || !reader.data())
            continue; // another command, or a frame whose record was cut short
        const char *record = reader.payload().constData();
        FrameQueue::Frame frame;
        frame.fbi = FBInfo::fromBytes(record);
        frame.screencapMode = qFromLittleEndian<qint32>(record + FBInfo::kSize);
        if (!FrameImage::fits(frame.fbi)) {
            // Said once per stream: a device that keeps sending such frames would flood the pane.
            if (!reportedShortFrame) {
                reportedShortFrame = true;
                emit signal_remoteLog(QStringLiteral("远程屏幕：帧数据不足（%1x%2，%3 位，%4 字节），已丢弃")
                                          .arg(frame.fbi.width)
                                          .arg(frame.fbi.height)
                                          .arg(frame.fbi.bitsPerPixel)
                                          .arg(frame.fbi.dataSize));
            }
            continue;
        }
        frame.colors = reader.takeData();
        frame.arrivedAfter = messageAfter;
        if (tap)
            tap->deliver(frame);
        if (frames->push(std::move(frame)))
            emit signal_frameQueued();
    }
}

void RemoteScreenClient::fail(const QString &reason)
{
    close();
    emit signal_remoteLog(QStringLiteral("远程屏幕连接已断开：") + reason);
}
