// The device link's bytes: what the controller sends, how the reader takes both connections
// apart, the key map, the frame queue and the frame-to-image rules.
#include "device/FBInfo.h"
#include "device/FrameImage.h"
#include "device/FramePool.h"
#include "device/FrameQueue.h"
#include "device/MessageReader.h"
#include "device/PCClientControllor.h"
#include "device/ScriptImportRecord.h"
#include "support/WireBytes.h"

#include <QBuffer>
#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

using WireBytes::header;
using WireBytes::le;

QByteArray logMessage(const QByteArray &text)
{
    return header(21, 4, text.size()) + le(text.size()) + text;
}

QByteArray importConfirmation(const QByteArray &name)
{
    QByteArray record = name.leftJustified(40, '\0') + le(1234);
    return header(20, 44) + record;
}

QByteArray frameRecord(int bits, int dataSize, int width, int height, int channelOrder, int mode, int length = 68)
{
    FBInfo info;
    info.bitsPerPixel = bits;
    info.dataSize = dataSize;
    info.width = width;
    info.height = height;
    info.channelOrder = channelOrder;
    info.reserved0 = 0x11;
    info.reserved15 = 0x22;
    char bytes[64];
    info.toBytes(bytes);
    QByteArray record = QByteArray(bytes, 64) + le(mode);
    return record.leftJustified(length, '\x7f', true);
}

QByteArray frameMessage(int command, const QByteArray &record, const QByteArray &pixels)
{
    return header(command, record.size()) + record + pixels;
}

struct Seen
{
    qint32 command;
    QByteArray payload;
    QByteArray data;
};

// Feeds bytes in the given pieces and lists every message the reader yields.
std::vector<Seen> readAll(MessageReader::Channel channel, const QList<QByteArray> &pieces, QString *error = nullptr)
{
    MessageReader reader(channel);
    std::vector<Seen> seen;
    for (const QByteArray &piece : pieces) {
        qint64 offset = 0;
        while (offset < piece.size()) {
            qint64 used = 0;
            const auto status = reader.feed(piece.constData() + offset, piece.size() - offset, &used);
            offset += used;
            if (status == MessageReader::Status::Error) {
                if (error)
                    *error = reader.errorString();
                return seen;
            }
            if (status == MessageReader::Status::Message) {
                const auto *data = reinterpret_cast<const char *>(reader.data());
                seen.push_back({reader.header().command, reader.payload(),
                                data ? QByteArray(data, int(reader.dataSize())) : QByteArray()});
            }
        }
    }
    return seen;
}

// Reads through a device that buffers piece bytes at a time, while message data past them
// arrives straight, piece bytes at a time, as from a socket's descriptor.
std::vector<Seen> readArriving(MessageReader::Channel channel, const QByteArray &stream, int piece)
{
    MessageReader reader(channel);
    std::vector<Seen> seen;
    qint64 next = 0; // the first byte neither buffered nor arrived
    QBuffer device;
    device.open(QIODevice::ReadOnly);
    const auto arrived = [&](char *buffer, qint64 size) {
        const qint64 n = std::min<qint64>({size, piece, stream.size() - next});
        std::memcpy(buffer, stream.constData() + next, size_t(n));
        next += n;
        return n;
    };
    for (;;) {
        const auto status = reader.readFrom(&device, arrived);
        if (status == MessageReader::Status::Error)
            return seen;
        if (status == MessageReader::Status::Message) {
            const auto *data = reinterpret_cast<const char *>(reader.data());
            seen.push_back({reader.header().command, reader.payload(),
                            data ? QByteArray(data, int(reader.dataSize())) : QByteArray()});
            continue;
        }
        if (next >= stream.size())
            return seen;
        device.close();
        device.setData(stream.mid(int(next), piece));
        device.open(QIODevice::ReadOnly);
        next += device.size();
    }
}

void compareSeen(const std::vector<Seen> &actual, const std::vector<Seen> &expected)
{
    QCOMPARE(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        QCOMPARE(actual[i].command, expected[i].command);
        QCOMPARE(actual[i].payload, expected[i].payload);
        QCOMPARE(actual[i].data, expected[i].data);
    }
}

// A listening socket standing in for the device, to see the controller's bytes.
struct FakeDevice
{
    QTcpServer server;
    std::unique_ptr<QTcpSocket> peer;

    bool attach(PCClientControllor &controller)
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        if (!controller.connectToDevice(QStringLiteral("127.0.0.1"), server.serverPort()))
            return false;
        if (!server.waitForNewConnection(3000))
            return false;
        peer.reset(server.nextPendingConnection());
        return peer != nullptr;
    }
};

enum class Send { TouchPress, TouchRelease, RemoteScreen, KeyPressSlot, KeyReleaseSlot, UnmappedKey, Import };

} // namespace

Q_DECLARE_METATYPE(Send)

class DeviceProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void controllerSends_data();
    void controllerSends();
    void importNameLimits_data();
    void importNameLimits();
    void sendingWithoutConnection();
    void readerSplitAtEveryByte_data();
    void readerSplitAtEveryByte();
    void controlMessages();
    void frameRecordLengths();
    void badInput_data();
    void badInput();
    void defaultCaps();
    void frameImage_data();
    void frameImage();
    void frameImageRefusesShortData_data();
    void frameImageRefusesShortData();
    void frameQueueBound();
    void framePoolReusesBuffers();
};

void DeviceProtocolTest::controllerSends_data()
{
    QTest::addColumn<Send>("send");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("touch press at (100, 200)")
        << Send::TouchPress << QByteArray::fromHex("a306c500 02000000 08000000 00000000 64000000 c8000000");
    QTest::newRow("touch release always (0, 0)")
        << Send::TouchRelease << QByteArray::fromHex("a306c500 03000000 08000000 00000000 00000000 00000000");
    QTest::newRow("start remote screen")
        << Send::RemoteScreen << QByteArray::fromHex("a306c500 04000000 00000000 00000000");
    QTest::newRow("key press of Key_0 is 11")
        << Send::KeyPressSlot << QByteArray::fromHex("a306c500 07000000 04000000 00000000 0b000000");
    QTest::newRow("key release of Key_A is 30")
        << Send::KeyReleaseSlot << QByteArray::fromHex("a306c500 08000000 04000000 00000000 1e000000");
    QTest::newRow("a key outside the map sends nothing") << Send::UnmappedKey << QByteArray();

    QByteArray file(1000, '\0');
    for (int i = 0; i < file.size(); ++i)
        file[i] = char(i * 7);
    const QByteArray import = QByteArray::fromHex("a306c500 14000000 2c000000 e8030000") + QByteArray("a.ks")
        + QByteArray(36, '\0') + QByteArray::fromHex("e8030000") + file;
    QTest::newRow("import of a 1000-byte file with a four-character name") << Send::Import << import;
}

void DeviceProtocolTest::controllerSends()
{
    QFETCH(Send, send);
    QFETCH(QByteArray, expected);

    PCClientControllor controller;
    FakeDevice device;
    QVERIFY(device.attach(controller));

    bool sent = true;
    switch (send) {
    case Send::TouchPress:
        sent = controller.sendTouchPress(100, 200);
        break;
    case Send::TouchRelease:
        controller.slot_remoteTouchRelease(321, 654);
        break;
    case Send::RemoteScreen:
        sent = controller.requestRemoteScreen();
        break;
    case Send::KeyPressSlot:
        controller.slot_remoteKeyPress(Qt::Key_0);
        break;
    case Send::KeyReleaseSlot:
        controller.slot_remoteKeyRelease(Qt::Key_A);
        break;
    case Send::UnmappedKey:
        controller.slot_remoteKeyPress(Qt::Key_F1);
        controller.slot_remoteKeyRelease(Qt::Key_Space);
        controller.slot_remoteKeyPress('a'); // lower-case letters are not host key codes
        break;
    case Send::Import: {
        QByteArray file(1000, '\0');
        for (int i = 0; i < file.size(); ++i)
            file[i] = char(i * 7);
        sent = controller.importScript("a.ks", file.size(), file.constData());
        break;
    }
    }
    QVERIFY(sent);
    // A message sent afterwards shows that nothing else came before it.
    const QByteArray marker = QByteArray::fromHex("a306c500 04000000 00000000 00000000");
    QVERIFY(controller.requestRemoteScreen());
    QTRY_VERIFY(device.peer->bytesAvailable() >= expected.size() + marker.size());
    QCOMPARE(device.peer->readAll(), expected + marker);
}

void DeviceProtocolTest::importNameLimits_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("39 bytes") << QByteArray(35, 'n') + ".ks" + "x" << true;
    QTest::newRow("13 three-byte characters") << QString(13, QChar(0x811A)).toUtf8() << true;
    QTest::newRow("40 bytes") << QByteArray(37, 'n') + ".ks" << false;
    QTest::newRow("14 three-byte characters") << QString(14, QChar(0x811A)).toUtf8() << false;
}

void DeviceProtocolTest::importNameLimits()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, accepted);

    PCClientControllor controller;
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    FakeDevice device;
    QVERIFY(device.attach(controller));

    QCOMPARE(controller.importScript(name.constData(), 3, "abc"), accepted);
    QVERIFY(controller.requestRemoteScreen());
    if (!accepted) {
        QCOMPARE(logs.count(), 1);
        QVERIFY(logs.at(0).at(0).toString().contains(QString::fromUtf8(name)));
        QTRY_COMPARE(device.peer->bytesAvailable(), qint64(16));
        QCOMPARE(device.peer->readAll().mid(4, 4), le(4)); // only the marker arrived
        return;
    }
    QCOMPARE(logs.count(), 0);
    QTRY_COMPARE(device.peer->bytesAvailable(), qint64(16 + 44 + 3 + 16));
    const QByteArray bytes = device.peer->readAll();
    const QByteArray record = bytes.mid(16, 44);
    QCOMPARE(record.left(name.size()), name);
    QCOMPARE(record.mid(name.size(), 40 - name.size()), QByteArray(40 - name.size(), '\0'));
    QCOMPARE(record.mid(40), le(3));
    QCOMPARE(bytes.mid(60, 3), QByteArray("abc"));
}

void DeviceProtocolTest::sendingWithoutConnection()
{
    PCClientControllor controller;
    QVERIFY(!controller.isConnected());
    QVERIFY(!controller.sendTouchPress(1, 2));
    QVERIFY(!controller.requestRemoteScreen());
    QVERIFY(!controller.importScript("a.ks", 1, "x"));

    // Nothing listens on a port just released.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server.serverPort();
    server.close();
    QVERIFY(!controller.connectToDevice(QStringLiteral("127.0.0.1"), port));
    QVERIFY(!controller.isConnected());
}

void DeviceProtocolTest::readerSplitAtEveryByte_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("messages");

    const QByteArray control = logMessage("hello") + importConfirmation("a.ks") + header(4, 4) + le(40001)
        + header(9, 12) + le(1) + le(2) + le(3) + logMessage(QByteArray()) + logMessage(QByteArray("cut\0here", 8));
    QTest::newRow("control") << int(MessageReader::Channel::Control) << control << 6;

    const QByteArray frames = frameMessage(6, frameRecord(32, 8, 2, 1, 0, 2), "RGBARGBA")
        + frameMessage(5, frameRecord(32, 4, 1, 1, 0, 0), "skip") + frameMessage(6, frameRecord(16, 4, 2, 1, 8, 1), "abcd");
    QTest::newRow("frames") << int(MessageReader::Channel::Frame) << frames << 3;

    const QByteArray requests = header(2, 8) + le(100) + le(200) + header(4, 0)
        + header(20, 44, 5) + QByteArray("p.ks").leftJustified(40, '\0') + le(5) + "12345";
    QTest::newRow("requests") << int(MessageReader::Channel::Request) << requests << 3;
}

void DeviceProtocolTest::readerSplitAtEveryByte()
{
    QFETCH(int, channel);
    QFETCH(QByteArray, stream);
    QFETCH(int, messages);
    const auto ch = MessageReader::Channel(channel);

    const std::vector<Seen> whole = readAll(ch, {stream});
    QCOMPARE(int(whole.size()), messages);
    for (int split = 1; split < stream.size(); ++split)
        compareSeen(readAll(ch, {stream.left(split), stream.mid(split)}), whole);

    QList<QByteArray> bytes;
    for (char c : stream)
        bytes.append(QByteArray(1, c));
    compareSeen(readAll(ch, bytes), whole);
    for (int piece : {1, 2, 5, 64})
        compareSeen(readArriving(ch, stream, piece), whole);
}

void DeviceProtocolTest::controlMessages()
{
    const QByteArray stream = logMessage("第一行") + importConfirmation("脚本.ks") + header(9, 12)
        + QByteArray(12, 'x') + logMessage(QByteArray()) + logMessage(QByteArray("cut\0here", 8)) + header(4, 4)
        + le(40001);
    MessageReader reader(MessageReader::Channel::Control);
    QStringList seen;
    qint64 offset = 0;
    while (offset < stream.size()) {
        qint64 used = 0;
        QCOMPARE(reader.feed(stream.constData() + offset, stream.size() - offset, &used), MessageReader::Status::Message);
        offset += used;
        const MessageHeader &h = reader.header();
        if (h.command == 21)
            seen << QStringLiteral("log:") + reader.logText();
        else if (h.command == 20)
            seen << QStringLiteral("import:")
                    + QString::fromUtf8(ScriptImportRecord::fromBytes(reader.payload().constData()).fileName);
        else if (h.command == 4)
            seen << QStringLiteral("port:%1").arg(qFromLittleEndian<qint32>(reader.payload().constData()));
        else
            seen << QStringLiteral("other:%1").arg(h.command);
    }
    QCOMPARE(seen, (QStringList{QStringLiteral("log:第一行"), QStringLiteral("import:脚本.ks"), QStringLiteral("other:9"),
                                QStringLiteral("log:"), QStringLiteral("log:cut"), QStringLiteral("port:40001")}));
}

void DeviceProtocolTest::frameRecordLengths()
{
    // A longer record: its first 68 bytes count, the rest is skipped; a shorter one is
    // zero-filled and its frame discarded; another command is read and dropped.
    const QByteArray stream = frameMessage(6, frameRecord(32, 4, 1, 1, 8, 2, 80), "ABCD")
        + frameMessage(6, frameRecord(32, 4, 1, 1, 8, 2, 40), "EFGH")
        + frameMessage(5, frameRecord(32, 100, 10, 10, 8, 0), QByteArray(100, 'z'))
        + frameMessage(6, frameRecord(24, 4, 1, 1, 0, 1), "IJKL");
    MessageReader reader(MessageReader::Channel::Frame);
    struct Expect
    {
        int command;
        QByteArray pixels;
        int bits;
    };
    const Expect expected[] = {{6, "ABCD", 32}, {6, QByteArray(), 32}, {5, QByteArray(), 32}, {6, "IJKL", 24}};
    qint64 offset = 0;
    for (const Expect &e : expected) {
        qint64 used = 0;
        QCOMPARE(reader.feed(stream.constData() + offset, stream.size() - offset, &used), MessageReader::Status::Message);
        offset += used;
        QCOMPARE(reader.header().command, e.command);
        QCOMPARE(reader.payload().size(), MessageReader::kFrameRecordSize);
        const auto *data = reinterpret_cast<const char *>(reader.data());
        QCOMPARE(data ? QByteArray(data, int(reader.dataSize())) : QByteArray(), e.pixels);
        QCOMPARE(FBInfo::fromBytes(reader.payload().constData()).bitsPerPixel, e.bits);
    }
    QCOMPARE(offset, qint64(stream.size()));
    const FBInfo last = FBInfo::fromBytes(reader.payload().constData());
    QCOMPARE(last.reserved0, 0x11);
    QCOMPARE(last.reserved15, 0x22);
}

void DeviceProtocolTest::badInput_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QString>("reason");

    const int control = int(MessageReader::Channel::Control);
    const int frame = int(MessageReader::Channel::Frame);
    const int request = int(MessageReader::Channel::Request);
    QTest::newRow("wrong magic") << control << header(21, 4, 0, 0x12345678) + le(1) + "x" << QStringLiteral("0x12345678");
    QTest::newRow("negative log length") << control << header(21, 4) + le(-1) << QStringLiteral("-1");
    QTest::newRow("log over 16 MiB") << control << header(21, 4) + le((16 << 20) + 1) << QStringLiteral("16777217");
    QTest::newRow("negative length of another command") << control << header(9, -8) << QStringLiteral("-8");
    QTest::newRow("absurd length of another command") << control << header(9, 0x7fffffff) << QStringLiteral("2147483647");
    QTest::newRow("frame: wrong magic") << frame << header(6, 68, 0, 0) << QStringLiteral("0x00000000");
    QTest::newRow("frame: negative record length") << frame << header(6, -68) << QStringLiteral("-68");
    QTest::newRow("frame: absurd record length") << frame << header(6, 0x40000000) << QStringLiteral("1073741824");
    QTest::newRow("frame: negative dataSize") << frame << header(6, 68) + frameRecord(32, -4, 1, 1, 0, 0)
                                              << QStringLiteral("-4");
    QTest::newRow("frame: dataSize over 256 MiB")
        << frame << header(6, 68) + frameRecord(32, (256 << 20) + 1, 1, 1, 0, 0) << QStringLiteral("268435457");
    QTest::newRow("frame: wider than 8192") << frame << header(6, 68) + frameRecord(32, 8193 * 4, 8193, 1, 0, 0)
                                            << QStringLiteral("8193x1");
    QTest::newRow("frame: higher than 8192") << frame << header(6, 68) + frameRecord(24, 3 * 8200, 1, 8200, 0, 0)
                                             << QStringLiteral("1x8200");
    QTest::newRow("frame: skipped message with absurd dataSize")
        << frame << header(5, 68) + frameRecord(32, 0x7fffffff, 1, 1, 0, 0) << QStringLiteral("2147483647");
    QTest::newRow("request: negative extra length") << request << header(20, 44, -1) + QByteArray(44, '\0')
                                                    << QStringLiteral("-1");
}

void DeviceProtocolTest::badInput()
{
    QFETCH(int, channel);
    QFETCH(QByteArray, stream);
    QFETCH(QString, reason);

    QString error;
    const std::vector<Seen> seen = readAll(MessageReader::Channel(channel), {stream}, &error);
    QVERIFY(seen.empty());
    QVERIFY2(error.contains(reason), qPrintable(error));

    // The reader stays failed until it is reset for a new connection.
    MessageReader reader{MessageReader::Channel(channel)};
    qint64 used = 0;
    QCOMPARE(reader.feed(stream.constData(), stream.size(), &used), MessageReader::Status::Error);
    const QByteArray good = logMessage("ok");
    QCOMPARE(reader.feed(good.constData(), good.size(), &used), MessageReader::Status::Error);
    QCOMPARE(used, qint64(0));
}

void DeviceProtocolTest::defaultCaps()
{
    // Exactly at the caps the reader waits for the bytes (and has room for them).
    const QByteArray log = header(21, 4) + le(16 << 20);
    MessageReader control(MessageReader::Channel::Control);
    qint64 used = 0;
    QCOMPARE(control.feed(log.constData(), log.size(), &used), MessageReader::Status::NeedMore);
    QCOMPARE(used, qint64(log.size()));

    const QByteArray frame = header(6, 68) + frameRecord(32, 256 << 20, 8192, 8192, 0, 0);
    MessageReader frames(MessageReader::Channel::Frame);
    QCOMPARE(frames.feed(frame.constData(), frame.size(), &used), MessageReader::Status::NeedMore);
}

void DeviceProtocolTest::frameImage_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("channelOrder");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("format");
    QTest::addColumn<QList<QRgb>>("pixels"); // as the image shows them, row by row

    QTest::newRow("32 bits, order 0: R, G, B, 0 gets full alpha")
        << 32 << 0 << 2 << QByteArray::fromHex("10203000 40506000") << int(QImage::Format_ARGB32)
        << QList<QRgb>{0xFF102030, 0xFF405060};
    QTest::newRow("32 bits, order 24 exchanges too")
        << 32 << 24 << 1 << QByteArray::fromHex("01020304") << int(QImage::Format_ARGB32) << QList<QRgb>{0xFF010203};
    QTest::newRow("32 bits, order 8: bytes as they are")
        << 32 << 8 << 1 << QByteArray::fromHex("30201080") << int(QImage::Format_ARGB32) << QList<QRgb>{0x80102030};
    QTest::newRow("24 bits, order 8: no exchange")
        << 24 << 8 << 1 << QByteArray::fromHex("102030 00") << int(QImage::Format_RGB888) << QList<QRgb>{0xFF102030};
    QTest::newRow("24 bits, order 0: exchange")
        << 24 << 0 << 1 << QByteArray::fromHex("302010 00") << int(QImage::Format_RGB888) << QList<QRgb>{0xFF102030};
    // Width 3 at 24 bits makes 9-byte rows padded to 12: the exchange follows each row.
    QTest::newRow("24 bits, padded rows, exchange")
        << 24 << 24 << 3
        << QByteArray::fromHex("030201 060504 090807 000000 0c0b0a 0f0e0d 121110 000000") << int(QImage::Format_RGB888)
        << QList<QRgb>{0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F, 0xFF101112};
    QTest::newRow("16 bits are never exchanged")
        << 16 << 0 << 2 << QByteArray::fromHex("00f8 1f00") << int(QImage::Format_RGB16)
        << QList<QRgb>{0xFFFF0000, 0xFF0000FF};
    QTest::newRow("17 bits read as ARGB32")
        << 17 << 0 << 1 << QByteArray::fromHex("30201080") << int(QImage::Format_ARGB32) << QList<QRgb>{0x80102030};
}

void DeviceProtocolTest::frameImage()
{
    QFETCH(int, bits);
    QFETCH(int, channelOrder);
    QFETCH(int, width);
    QFETCH(QByteArray, bytes);
    QFETCH(int, format);
    QFETCH(QList<QRgb>, pixels);

    FBInfo info;
    info.bitsPerPixel = bits;
    info.channelOrder = channelOrder;
    info.width = width;
    info.height = pixels.size() / width;
    info.dataSize = bytes.size();
    QVERIFY(FrameImage::fits(info));
    const QImage image = FrameImage::toImage(reinterpret_cast<uchar *>(bytes.data()), info);
    QCOMPARE(int(image.format()), format);
    QCOMPARE(image.size(), QSize(info.width, info.height));
    QCOMPARE(image.constBits(), reinterpret_cast<const uchar *>(bytes.constData())); // over the buffer, not a copy
    for (int i = 0; i < pixels.size(); ++i)
        QCOMPARE(image.pixel(i % width, i / width), pixels[i]);
}

void DeviceProtocolTest::frameImageRefusesShortData_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("dataSize");

    QTest::newRow("32 bits, one byte short") << 32 << 720 << 1280 << 720 * 1280 * 4 - 1;
    QTest::newRow("24 bits without row padding") << 24 << 3 << 2 << 18;
    QTest::newRow("16 bits, odd width without padding") << 16 << 3 << 2 << 12;
    QTest::newRow("negative width") << 32 << -1 << 4 << 64;
    QTest::newRow("negative height") << 32 << 4 << -1 << 64;
    QTest::newRow("width times height overflows 32 bits") << 32 << 65536 << 65536 << 64;
    QTest::newRow("row bytes times height overflows 64 bits") << 32 << INT_MAX << INT_MAX << 64;
}

void DeviceProtocolTest::frameImageRefusesShortData()
{
    QFETCH(int, bits);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, dataSize);

    FBInfo info;
    info.bitsPerPixel = bits;
    info.width = width;
    info.height = height;
    info.dataSize = dataSize;
    QByteArray buffer(dataSize, '\x5a');
    const QByteArray before = buffer;
    QVERIFY(!FrameImage::fits(info));
    QVERIFY(FrameImage::toImage(reinterpret_cast<uchar *>(buffer.data()), info).isNull());
    QCOMPARE(buffer, before);
}

void DeviceProtocolTest::frameQueueBound()
{
    FrameQueue queue(3);
    auto frame = [](int tag) {
        FrameQueue::Frame f;
        f.colors = FrameBuffer::allocate(16);
        f.fbi.width = tag;
        return f;
    };
    QVERIFY(queue.push(frame(1)));  // wakes the consumer
    QVERIFY(!queue.push(frame(2))); // already woken
    QVERIFY(!queue.push(frame(3)));
    QVERIFY(!queue.push(frame(4))); // drops 1
    QVERIFY(!queue.push(frame(5))); // drops 2
    QCOMPARE(queue.size(), 3);
    QCOMPARE(queue.dropped(), quint64(2));

    FrameQueue::Frame taken;
    for (int expected : {3, 4, 5}) {
        QVERIFY(queue.take(&taken));
        QCOMPARE(taken.fbi.width, expected);
    }
    QVERIFY(!queue.take(&taken));
    QVERIFY(queue.push(frame(6))); // empty again: wake

    // Bounded in bytes too: frames over half the budget wait one at a time.
    FrameQueue bytes(3, 100);
    auto sized = [](qint64 size) {
        FrameQueue::Frame f;
        f.colors = FrameBuffer::allocate(size);
        f.fbi.width = int(size);
        return f;
    };
    bytes.push(sized(20));
    bytes.push(sized(30));
    QVERIFY(!bytes.isCrowded()); // 50 of 100
    bytes.push(sized(60));       // drops the 20
    QCOMPARE(bytes.size(), 2);
    QVERIFY(bytes.isCrowded());
    bytes.push(sized(60)); // drops the 30 and the first 60
    QCOMPARE(bytes.size(), 1);
    QCOMPARE(bytes.dropped(), quint64(3));
    bytes.push(sized(150)); // larger than the budget: still waits, alone
    QVERIFY(bytes.take(&taken));
    QCOMPARE(taken.fbi.width, 150);
    QVERIFY(!bytes.isCrowded());
}

void DeviceProtocolTest::framePoolReusesBuffers()
{
    auto pool = std::make_unique<FramePool>();
    FrameBuffer first = pool->take(100);
    const uchar *bytes = first.data();
    first.reset();
    QCOMPARE(pool->kept(), 1);
    FrameBuffer second = pool->take(60); // holds 60 and wastes no more than as much again
    QCOMPARE(second.data(), bytes);
    QCOMPARE(second.size(), qint64(60));
    second = FrameBuffer(); // given back
    FrameBuffer grown = pool->take(1000); // the frames grew: the small buffer will not serve again
    QVERIFY(grown.data() != bytes);
    QCOMPARE(pool->kept(), 0);

    // Only a few buffers, and none large, are kept.
    std::vector<FrameBuffer> many;
    for (int i = 0; i < FramePool::kKeep + 2; ++i)
        many.push_back(pool->take(1000));
    many.clear();
    QCOMPARE(pool->kept(), FramePool::kKeep);
    FrameBuffer large = pool->take(FramePool::kKeepBytes + 1);
    large.reset();
    QCOMPARE(pool->kept(), 0);

    pool.reset();
    grown.reset(); // outlived the pool: freed
}

QTEST_MAIN(DeviceProtocolTest)
#include "tst_deviceprotocol.moc"

