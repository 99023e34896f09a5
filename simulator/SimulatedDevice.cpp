#include "simulator/SimulatedDevice.h"

#include "device/MessageHeader.h"
#include "device/MessageReader.h"
#include "device/ScriptImportRecord.h"
#include "simulator/SimFrameStreamer.h"
#include "simulator/SimPackageCheck.h"
#include "simulator/SimScreen.h"
#include "common/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTcpSocket>
#include <QTimer>
#include <QtEndian>

namespace {

QByteArray int32(qint32 value)
{
    char bytes[4];
    qToLittleEndian<qint32>(value, bytes);
    return QByteArray(bytes, 4);
}

qint32 int32At(const QByteArray &bytes, int index)
{
    return bytes.size() >= 4 * (index + 1) ? qFromLittleEndian<qint32>(bytes.constData() + 4 * index) : 0;
}

} // namespace

SimulatedDevice::SimulatedDevice(const SimOptions &options, QObject *parent)
    : QObject(parent), options(options)
{
    connect(&server, &QTcpServer::newConnection, this, &SimulatedDevice::acceptConnections);
}

SimulatedDevice::~SimulatedDevice()
{
    delete streamer;
    const auto sockets = readers.keys();
    readers.clear();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
    }
}

Status SimulatedDevice::start()
{
    QImage picture;
    if (!options.imagePath.isEmpty()) {
        picture = QImage(options.imagePath);
        if (picture.isNull())
            return fail(QStringLiteral("cannot read the image %1").arg(options.imagePath));
    }
    screen = std::make_unique<SimScreen>(options, picture);
    if (const Status opened = events.open(options.eventsPath); !opened)
        return fail(QStringLiteral("cannot write the events: %1").arg(opened.error()));
    const QHostAddress address(options.listenAddress);
    if (address.isNull())
        return fail(QStringLiteral("not an address: %1").arg(options.listenAddress));
    if (!server.listen(address, quint16(options.port)))
        return fail(QStringLiteral("cannot listen on %1:%2: %3").arg(options.listenAddress).arg(options.port).arg(server.errorString()));
    emit signal_event(QStringLiteral("listening on %1:%2").arg(options.listenAddress).arg(port()));
    return Status();
}

quint16 SimulatedDevice::framePort() const
{
    return streamer ? streamer->port() : 0;
}

void SimulatedDevice::acceptConnections()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        socket->setParent(this);
        readers.insert(socket, std::make_shared<MessageReader>(MessageReader::Channel::Request));
        emit signal_event(QStringLiteral("control connection from %1").arg(socket->peerAddress().toString()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            readers.remove(socket);
            socket->deleteLater();
            emit signal_event(QStringLiteral("control connection closed"));
        });
    }
}

void SimulatedDevice::readRequests(QTcpSocket *socket)
{
    const std::shared_ptr<MessageReader> reader = readers.value(socket);
    while (reader && socket->isOpen()) {
        switch (reader->readFrom(socket)) {
        case MessageReader::Status::NeedMore:
            return;
        case MessageReader::Status::Error:
            emit signal_event(QStringLiteral("closing the control connection: %1").arg(reader->errorString()));
            socket->abort();
            return;
        case MessageReader::Status::Message:
            handleRequest(socket, *reader);
            break;
        }
    }
}

void SimulatedDevice::readArrivedRequests()
{
    const auto sockets = readers.keys();
    for (QTcpSocket *socket : sockets) {
        // Reads what the system holds for the socket; its readyRead() handles it at once.
        if (readers.contains(socket) && socket->state() == QAbstractSocket::ConnectedState)
            socket->waitForReadyRead(0);
    }
}

void SimulatedDevice::react(std::function<void()> change)
{
    if (options.reactMs <= 0)
        change();
    else
        QTimer::singleShot(options.reactMs, this, std::move(change));
}

void SimulatedDevice::handleRequest(QTcpSocket *socket, const MessageReader &reader)
{
    const QByteArray &payload = reader.payload();
    const qint32 first = int32At(payload, 0);
    switch (reader.header().command) {
    case MessageHeader::TouchPress: {
        const QPoint point(first, int32At(payload, 1));
        events.record(QStringLiteral("press %1 %2").arg(point.x()).arg(point.y()));
        touch = point;
        react([this, point] { screen->press(point); });
        report(socket, QStringLiteral("touch press (%1, %2)").arg(point.x()).arg(point.y()));
        break;
    }
    case MessageHeader::TouchRelease: {
        events.record(QStringLiteral("release"));
        const QPoint point = touch;
        react([this, point] { screen->tap(point); });
        report(socket, QStringLiteral("touch release (%1, %2)").arg(first).arg(int32At(payload, 1)));
        break;
    }
    case MessageHeader::KeyPress:
        events.record(QStringLiteral("key-press %1").arg(first));
        react([this, first] { screen->key(first); });
        report(socket, QStringLiteral("key press %1").arg(first));
        break;
    case MessageHeader::KeyRelease:
        events.record(QStringLiteral("key-release %1").arg(first));
        report(socket, QStringLiteral("key release %1").arg(first));
        break;
    case MessageHeader::RemoteScreen:
        startStream(socket);
        break;
    case MessageHeader::ImportScript:
        importPackage(socket, reader);
        break;
    default:
        emit signal_event(QStringLiteral("ignored command %1 (%2 + %3 bytes)")
                              .arg(reader.header().command)
                              .arg(reader.header().length)
                              .arg(reader.header().extraLength));
        break;
    }
}

void SimulatedDevice::startStream(QTcpSocket *socket)
{
    // A new request replaces the stream: its listener and connections close.
    if (streamer) {
        streamer->stop();
        streamer->disconnect(this);
        streamer->deleteLater();
    }
    streamer = new SimFrameStreamer(options, *screen, this);
    connect(streamer, &SimFrameStreamer::signal_event, this, &SimulatedDevice::signal_event);
    connect(streamer, &SimFrameStreamer::signal_capturing, this, &SimulatedDevice::readArrivedRequests);
    connect(streamer, &SimFrameStreamer::signal_captured, this,
            [this](qint64 stamp) { events.record(QStringLiteral("frame %1").arg(stamp)); });
    const Status listening = streamer->listen(server.serverAddress());
    if (!listening) {
        delete streamer;
        streamer = nullptr;
        report(socket, QStringLiteral("screen stream failed: %1").arg(listening.error()));
        return;
    }
    socket->write(MessageHeader(MessageHeader::RemoteScreen, 4).toBytes() + int32(streamer->port()));
    emit signal_event(QStringLiteral("screen stream on port %1").arg(streamer->port()));
}

void SimulatedDevice::importPackage(QTcpSocket *socket, const MessageReader &reader)
{
    if (reader.payload().size() < ScriptImportRecord::kSize) {
        report(socket, QStringLiteral("import refused: a record of %1 bytes").arg(reader.payload().size()));
        return;
    }
    const ScriptImportRecord record = ScriptImportRecord::fromBytes(reader.payload().constData());
    const QString fileName = QString::fromUtf8(record.fileName);
    const QByteArray bytes(reinterpret_cast<const char *>(reader.data()), int(reader.dataSize()));
    QString storedAs;
    if (!options.storeDirectory.isEmpty()) {
        const Result<QString> stored = store(fileName, bytes);
        if (stored)
            storedAs = *stored;
        else
            report(socket, QStringLiteral("import %1 not stored: %2").arg(fileName, stored.error()));
    }
    packages.insert(fileName, bytes);
    for (const QString &line : importSummary(fileName, bytes, record.fileSize, storedAs))
        report(socket, line);

    ScriptImportRecord confirmation;
    confirmation.fileName = record.fileName;
    confirmation.fileSize = bytes.size();
    socket->write(MessageHeader(MessageHeader::ImportScript, ScriptImportRecord::kSize).toBytes()
                  + confirmation.toBytes());
}

Result<QString> SimulatedDevice::store(const QString &fileName, const QByteArray &package) const
{
    // Only the name part: an import never writes outside the store directory.
    const QString name = QFileInfo(fileName).fileName();
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return fail(QStringLiteral("no usable file name"));
    if (!QDir().mkpath(options.storeDirectory))
        return fail(QStringLiteral("cannot make %1").arg(options.storeDirectory));
    const QString path = QDir(options.storeDirectory).filePath(name);
    const Status written = AtomicFile::writeWhole(path, package);
    if (!written)
        return fail(written.error());
    return path;
}

QStringList SimulatedDevice::importSummary(const QString &fileName, const QByteArray &package, int announcedSize,
                                           const QString &storedAs)
{
    QString received = QStringLiteral("imported %1: %2 bytes").arg(fileName).arg(package.size());
    if (announcedSize != package.size())
        received += QStringLiteral(" (the record said %1)").arg(announcedSize);
    if (!storedAs.isEmpty())
        received += QStringLiteral(", stored as %1").arg(storedAs);

    const SimPackageCheck check = SimPackageCheck::check(package);
    QString verdict;
    if (!check.opened)
        verdict = QStringLiteral("not verified: %1").arg(check.problem);
    else
        verdict = QStringLiteral("project %1, %2 entries, %3")
                      .arg(check.projectName)
                      .arg(check.entryCount)
                      .arg(check.problem.isEmpty() ? QStringLiteral("verified") : QStringLiteral("first problem: ") + check.problem);
    return {received, verdict};
}

void SimulatedDevice::report(QTcpSocket *socket, const QString &line)
{
    emit signal_event(line);
    sendLog(socket, line);
}

void SimulatedDevice::sendLog(QTcpSocket *socket, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    socket->write(MessageHeader(MessageHeader::Log, 4, utf8.size()).toBytes() + int32(utf8.size()) + utf8);
}
