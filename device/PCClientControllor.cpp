#include "device/PCClientControllor.h"

#include "common/Platform.h"
#include "device/DeviceKeyMap.h"
#include "device/RemoteScreenClient.h"
#include "device/RemoteScreenThread.h"
#include "device/ScriptImportRecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHostAddress>
#include <QTimer>
#include <QtEndian>

namespace {

QByteArray int32s(std::initializer_list<qint32> values)
{
    QByteArray bytes(int(values.size()) * 4, Qt::Uninitialized);
    char *p = bytes.data();
    for (qint32 value : values) {
        qToLittleEndian<qint32>(value, p);
        p += 4;
    }
    return bytes;
}

} // namespace

PCClientControllor::PCClientControllor()
{
    connect(&socket, &QAbstractSocket::connected, this, &PCClientControllor::slot_connected);
    connect(&socket, &QIODevice::readyRead, this, &PCClientControllor::slot_readyRead);
}

PCClientControllor::~PCClientControllor()
{
    cancelPortForward();
    endReceiverThread();
}

// ---- Control connection ---------------------------------------------------------------------

bool PCClientControllor::connectToDevice(const QString &host, int port)
{
    dropConnectAttempt();
    reader.reset();
    socket.connectToDevice(host, port);
    if (socket.waitForConnected(3000))
        return true;
    // A late success would connect behind the caller's back after it reported the failure.
    socket.abort();
    socket.setConnected(false);
    return false;
}

void PCClientControllor::beginConnect(const QString &host, int port)
{
    dropConnectAttempt();
    reader.reset();
    socket.connectToDevice(host, port);
    // The attempt owns its connections and its timer; the first of them to fire ends it.
    auto *attempt = new QObject(this);
    connectAttempt = attempt;
    const auto end = [this, attempt](bool connected) {
        if (connectAttempt != attempt)
            return;
        connectAttempt.clear();
        if (!connected) {
            socket.abort();
            socket.setConnected(false);
        }
        attempt->deleteLater();
        emit signal_connectEnded(connected);
    };
    connect(&socket, &QAbstractSocket::connected, attempt, [end] { end(true); });
    connect(&socket, &QAbstractSocket::errorOccurred, attempt, [end] { end(false); });
    QTimer::singleShot(3000, attempt, [end] { end(false); });
}

void PCClientControllor::dropConnectAttempt()
{
    delete connectAttempt.data();
}

bool PCClientControllor::isConnected() const
{
    return socket.isConnected();
}

void PCClientControllor::disconnectFromDevice()
{
    dropConnectAttempt();
    stopRemoteScreen();
    socket.disconnectFromHost();
    socket.setConnected(false);
}

bool PCClientControllor::send(const MessageHeader &header, const QByteArray &payload, const char *data,
                              qint64 dataSize)
{
    if (!socket.isWritable())
        return false;
    const QByteArray head = header.toBytes();
    if (socket.write(head) != head.size())
        return false;
    if (!payload.isEmpty() && socket.write(payload) != payload.size())
        return false;
    return dataSize <= 0 || socket.write(data, dataSize) == dataSize;
}

bool PCClientControllor::requestRemoteScreen()
{
    return send(MessageHeader(MessageHeader::RemoteScreen, 0));
}

bool PCClientControllor::sendTouchPress(int x, int y)
{
    return send(MessageHeader(MessageHeader::TouchPress, 8), int32s({x, y}));
}

bool PCClientControllor::sendTouchRelease()
{
    return send(MessageHeader(MessageHeader::TouchRelease, 8), int32s({0, 0}));
}

bool PCClientControllor::sendKeyPress(int code)
{
    return send(MessageHeader(MessageHeader::KeyPress, 4), int32s({code}));
}

bool PCClientControllor::sendKeyRelease(int code)
{
    return send(MessageHeader(MessageHeader::KeyRelease, 4), int32s({code}));
}

bool PCClientControllor::importScript(const char *fileName, int fileSize, const char *data)
{
    ScriptImportRecord record;
    record.fileName = QByteArray(fileName ? fileName : "");
    record.fileSize = fileSize;
    if (!ScriptImportRecord::fits(record.fileName)) {
        emit signal_remoteLog(QStringLiteral("导入失败：文件名“%1”超过%2字节，请缩短文件名后再导入。")
                                  .arg(QString::fromUtf8(record.fileName))
                                  .arg(ScriptImportRecord::kNameSize - 1));
        return false;
    }
    if (fileSize < 0 || (fileSize > 0 && !data))
        return false;
    return send(MessageHeader(MessageHeader::ImportScript, ScriptImportRecord::kSize, fileSize), record.toBytes(),
                data, fileSize);
}

void PCClientControllor::slot_connected() {}

void PCClientControllor::slot_readyRead()
{
    // A device that floods the connection is served a slice at a time: the rest of what is
    // buffered is read at the next turn of the event loop, so the interface keeps answering.
    QElapsedTimer slice;
    slice.start();
    // A handler of a message may close the connection.
    while (socket.isOpen()) {
        if (slice.elapsed() >= 5) {
            QTimer::singleShot(0, this, &PCClientControllor::slot_readyRead);
            return;
        }
        switch (reader.readFrom(&socket)) {
        case MessageReader::Status::NeedMore:
            return;
        case MessageReader::Status::Error:
            closeControl(reader.errorString());
            return;
        case MessageReader::Status::Message:
            handleMessage();
            break;
        }
    }
}

void PCClientControllor::handleMessage()
{
    const char *payload = reader.payload().constData();
    switch (reader.header().command) {
    case MessageHeader::ImportScript:
        emit signal_scriptImportComplete(QString::fromUtf8(ScriptImportRecord::fromBytes(payload).fileName));
        break;
    case MessageHeader::Log:
        emit signal_remoteLog(reader.logText());
        break;
    case MessageHeader::RemoteScreen: {
        const qint32 port = qFromLittleEndian<qint32>(payload);
        if (port <= 0 || port > 65535) {
            emit signal_remoteLog(QStringLiteral("远程屏幕端口无效（%1），未开启远程屏幕").arg(port));
            break;
        }
        beginRemoteScreen(port);
        emit signal_startRemoteScreen(port);
        break;
    }
    default:
        break; // read and skipped by the reader
    }
}

void PCClientControllor::closeControl(const QString &reason)
{
    socket.abort();
    socket.setConnected(false);
    reader.reset();
    emit signal_remoteLog(QStringLiteral("控制连接已断开：") + reason);
}

// ---- Screen stream --------------------------------------------------------------------------

void PCClientControllor::startRemoteScreenReceiver(int port)
{
    endReceiverThread();
    frames.clear();
    FBInfo::registerMetaType();
    thread = new RemoteScreenThread(socket.host(), port);
    connect(thread, &QThread::started, this, &PCClientControllor::slot_startRemoteScreenRecevier,
            Qt::DirectConnection);
    connect(thread, &QThread::finished, this, &PCClientControllor::slot_stopRemoteScreenRecevier,
            Qt::DirectConnection);
    thread->start(QThread::InheritPriority);
}

void PCClientControllor::beginRemoteScreen(int port)
{
    cancelPortForward();
    if (!socket.peerAddress().isLoopback() || Platform::adbProgram().isEmpty()) {
        startRemoteScreenReceiver(port);
        return;
    }
    // adb's own forward of the control port is all a cable-connected phone has: the frame port
    // needs one as well, or the stream's connection to the loopback address finds nobody.
    const QString host = socket.host();
    portForward = Platform::forwardUsbPort(this, port, [this, port, host](const Status &forwarded) {
        portForward = nullptr;
        if (!forwarded) {
            emit signal_remoteLog(QStringLiteral("远程屏幕端口%1的USB映射失败：%2。仍直接连接%3:%1；"
                                                 "若手机经USB连接，请确认USB调试已开启、adb能看到手机。")
                                      .arg(port)
                                      .arg(forwarded.error(), host));
        }
        startRemoteScreenReceiver(port);
    });
}

void PCClientControllor::cancelPortForward()
{
    Platform::stopUsbForwarding(portForward);
    portForward = nullptr;
}

void PCClientControllor::stopRemoteScreen()
{
    cancelPortForward();
    if (thread) {
        thread->requestInterruption(); // the receiver stops between messages
        thread->exit(0);
    }
    frames.clear();
}

bool PCClientControllor::isStreaming() const
{
    return portForward || (thread && !thread->isFinished() && !thread->isInterruptionRequested());
}

void PCClientControllor::endReceiverThread()
{
    if (!thread)
        return;
    thread->requestInterruption();
    thread->exit(0);
    thread->wait();
    delete thread;
    thread = nullptr;
}

// Runs on the receiver thread when it starts.
void PCClientControllor::slot_startRemoteScreenRecevier()
{
    auto *receiverThread = qobject_cast<RemoteScreenThread *>(QThread::currentThread());
    if (!receiverThread)
        return;
    client = new RemoteScreenClient(&frames, &framePool, &tap);
    // The controller lives on the interface thread: these cross threads as queued calls.
    connect(client, &RemoteScreenClient::signal_frameQueued, this, &PCClientControllor::slot_takeRemoteScreenFrame);
    connect(client, &RemoteScreenClient::signal_remoteLog, this, &PCClientControllor::signal_remoteLog);
    connect(client, &RemoteScreenClient::signal_remoteScreenClientConnected, this,
            &PCClientControllor::slot_remoteScreenClientConnected);
    client->connectToDevice(receiverThread->host(), receiverThread->port());
}

// Runs on the receiver thread after its event loop has ended.
void PCClientControllor::slot_stopRemoteScreenRecevier()
{
    if (!client)
        return;
    client->close();
    delete client;
    client = nullptr;
}

// Takes one waiting frame per call, so that the interface keeps handling its other events
// while frames flow.
void PCClientControllor::slot_takeRemoteScreenFrame()
{
    FrameQueue::Frame frame;
    if (!frames.take(&frame))
        return;
    if (!frames.isEmpty())
        QMetaObject::invokeMethod(this, &PCClientControllor::slot_takeRemoteScreenFrame, Qt::QueuedConnection);
    slot_obtainRemoteScreenData(frame.colors, frame.fbi, frame.screencapMode);
}

void PCClientControllor::slot_obtainRemoteScreenData(FrameBuffer &colors, FBInfo fbi, int screencapMode)
{
    emit signal_obtainRemoteScreenData(colors, fbi, screencapMode);
}

void PCClientControllor::slot_remoteScreenClientConnected()
{
    emit signal_remoteScreenClientConnected();
}

// ---- Input from the remote screen window -------------------------------------------------------

void PCClientControllor::slot_remoteTouchPress(int x, int y)
{
    sendTouchPress(x, y);
}

void PCClientControllor::slot_remoteTouchRelease(int, int)
{
    sendTouchRelease();
}

// A key without a device code sends nothing: the device would read any stand-in as a real key.
void PCClientControllor::slot_remoteKeyPress(int key)
{
    const int code = DeviceKeyMap::deviceKey(key);
    if (code >= 0)
        sendKeyPress(code);
}

void PCClientControllor::slot_remoteKeyRelease(int key)
{
    const int code = DeviceKeyMap::deviceKey(key);
    if (code >= 0)
        sendKeyRelease(code);
}
