#pragma once

#include "device/FBInfo.h"
#include "device/FrameBuffer.h"
#include "device/FramePool.h"
#include "device/FrameQueue.h"
#include "device/FrameTap.h"
#include "device/MessageHeader.h"
#include "device/MessageReader.h"
#include "device/PCClientSocket.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QProcess;
class RemoteScreenClient;
class RemoteScreenThread;

// The IDE's side of the device link: the control connection (imports, touches, keys, the start
// of the screen stream; log lines, import confirmations and the frame port back) and the
// receiver thread of the screen stream. Everything but the receiver runs on the interface thread.
class PCClientControllor : public QObject
{
    Q_OBJECT

public:
    static constexpr int kStandardPort = 7000;

    PCClientControllor();
    ~PCClientControllor() override;

    // Connects the control socket and waits up to 3000 ms. Callers check isConnected() first.
    bool connectToDevice(const QString &host, int port);
    // The same without waiting: signal_connectEnded says how it went, within 3000 ms. Another
    // connect or a disconnect meanwhile ends the attempt without a word.
    void beginConnect(const QString &host, int port);
    bool isConnected() const;
    // The author's disconnect: ends the screen stream, closes the control connection and clears
    // the connected flag at once.
    void disconnectFromDevice();
    PCClientSocket &controlSocket() { return socket; }
    const PCClientSocket &controlSocket() const { return socket; }

    // Each returns true when every part of the message was queued for sending.
    bool requestRemoteScreen();
    bool sendTouchPress(int x, int y);
    bool sendTouchRelease();
    bool sendKeyPress(int code);
    bool sendKeyRelease(int code);
    // fileName is UTF-8 without a directory. A name longer than 39 bytes is refused: nothing is
    // sent, a log line says why and the result is false.
    bool importScript(const char *fileName, int fileSize, const char *data);

    // Replaces the current screen stream (if any) by a receiver for port on the control host.
    void startRemoteScreenReceiver(int port);
    // The device announced its frame port. With the device on this computer's loopback address
    // (a phone reached through adb's USB forward) that port is forwarded too, when adb is there,
    // before the stream connects; a failed forward is a log line, and the stream is tried all
    // the same (a device running on this computer needs none).
    void beginRemoteScreen(int port);
    // Ends the current screen stream; the control connection stays open.
    void stopRemoteScreen();
    // True from the device's answer with a stream's port (while the port is forwarded, too)
    // until the stream is stopped or replaced.
    bool isStreaming() const;
    // The frames waiting for the interface thread.
    const FrameQueue &frameQueue() const { return frames; }
    // Sees every frame of every stream as it arrives, on the receiver thread.
    FrameTap &frameTap() { return tap; }

signals:
    void signal_connectEnded(bool connected);
    void signal_startRemoteScreen(int port);
    void signal_scriptImportComplete(QString fileName);
    void signal_remoteLog(QString text);
    // A frame on the interface thread. The one subscriber takes colors (moves it out); a frame
    // that nobody takes is let go of when the signal returns.
    void signal_obtainRemoteScreenData(FrameBuffer &colors, FBInfo fbi, int screencapMode);
    void signal_remoteScreenClientConnected();

public slots:
    void slot_connected();
    void slot_readyRead();
    void slot_startRemoteScreenRecevier();
    void slot_stopRemoteScreenRecevier();
    void slot_obtainRemoteScreenData(FrameBuffer &colors, FBInfo fbi, int screencapMode);
    void slot_remoteScreenClientConnected();
    void slot_remoteTouchPress(int x, int y);
    void slot_remoteTouchRelease(int x, int y);
    void slot_remoteKeyPress(int key);
    void slot_remoteKeyRelease(int key);

private slots:
    void slot_takeRemoteScreenFrame();

private:
    bool send(const MessageHeader &header, const QByteArray &payload = QByteArray(), const char *data = nullptr,
              qint64 dataSize = 0);
    void handleMessage();
    void closeControl(const QString &reason);
    void endReceiverThread();
    void cancelPortForward();
    // Ends a connect begun and not yet ended; connected or not, the socket is left as it is.
    void dropConnectAttempt();

    PCClientSocket socket;
    QPointer<QObject> connectAttempt; // of beginConnect(), while it waits
    RemoteScreenClient *client = nullptr; // written only on the receiver thread
    RemoteScreenThread *thread = nullptr; // written only on the interface thread
    QProcess *portForward = nullptr;      // adb forwarding the frame port, while it runs
    MessageReader reader{MessageReader::Channel::Control};
    FramePool framePool; // frame buffers used again, stream after stream
    FrameQueue frames;
    FrameTap tap;
};
