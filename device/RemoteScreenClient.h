#pragma once

#include "device/MessageReader.h"
#include "device/PCClientSocket.h"

#include <QObject>
#include <QTimer>

class FramePool;
class FrameQueue;
class FrameTap;

// Receives the frames of one screen stream on the receiver thread. While a device is sending,
// its messages are read one after the other, each waited for briefly; pixels go from the
// connection straight into their frame's buffer, taken from the pool; each whole frame goes
// into the frame queue. A stop request (the thread's interruption) is seen between messages.
// While the queue is crowded with large frames, the next frame is left in the connection until
// the interface has taken one, so that the device sends them no faster than they are shown.
// Bad input closes the frame connection with one log line saying why. Each frame carries a
// moment its header is known to have arrived after (the last time the receiver found the
// connection drained before it), so a reader can tell a frame sent after a touch from one that
// was already on its way; a tap, when given, sees each frame before it is queued.
class RemoteScreenClient : public QObject
{
    Q_OBJECT

public:
    // pool and tap, when given, must outlive the client.
    explicit RemoteScreenClient(FrameQueue *frames, FramePool *pool = nullptr, const FrameTap *tap = nullptr);

    // Starts connecting to the device's frame port, without waiting.
    void connectToDevice(const QString &host, int port);
    // Closes the frame connection; nothing is ever written to it, so nothing needs flushing.
    void close();
    bool isConnected() const { return connected; }

signals:
    // A frame went into an empty queue: the consumer should take frames.
    void signal_frameQueued();
    void signal_remoteLog(QString text);
    void signal_remoteScreenClientConnected();

public slots:
    void slot_readyRead();
    void slot_connected();
    void slot_error(QAbstractSocket::SocketError error);

private:
    void fail(const QString &reason);
    qint64 receive(char *buffer, qint64 size);

    PCClientSocket socket;
    bool connected = false;
    MessageReader reader{MessageReader::Channel::Frame};
    FrameQueue *frames;
    const FrameTap *tap;
    qint64 drainedAt = 0;      // the connection last held nothing more than had been read
    qint64 messageAfter = 0;   // the current message's first byte arrived after this moment
    bool messageStarted = true;
    QTimer holdOff; // looks again: whether the queue has room, or for more while tapped
    bool reportedShortFrame = false;
};
