// The controller and the screen receiver talking to the simulated device, and to fake devices
// that send bad input, over loopback; reads straight from a socket; the main window's status
// line and remote log pane.
#include "app/ui/ProjectManagerWindow.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "toolchain/Package.h"
#include "device/FrameImage.h"
#include "device/MessageHeader.h"
#include "app/ui/DeviceSession.h"
#include "device/SocketReceive.h"
#include "device/PCClientControllor.h"
#include "device/RemoteScreenClient.h"
#include "simulator/SimFrameEncoder.h"
#include "simulator/SimOptions.h"
#include "simulator/SimulatedDevice.h"
#include "support/AdbOnPath.h"
#include "support/DeviceKey.h"
#include "support/SimulatorRun.h"
#include "support/TestWorkspace.h"
#include "support/WireBytes.h"
#include "ui_ProjectManagerWindow.h"

#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QtEndian>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace {

const auto frameSignal = &PCClientControllor::signal_obtainRemoteScreenData;

using WireBytes::header;
using WireBytes::le;

QByteArray frame(int command, int bits, int width, int height, int dataSize, const QByteArray &pixels)
{
    FBInfo info;
    info.bitsPerPixel = bits;
    info.width = width;
    info.height = height;
    info.dataSize = dataSize;
    info.channelOrder = 8;
    char record[64];
    info.toBytes(record);
    return header(command, 68) + QByteArray(record, 64) + le(0) + pixels;
}

// A small picture with an odd width, so 24- and 16-bit rows carry padding.
QImage testPicture()
{
    QImage picture(7, 5, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 36, y * 50, 255 - x * 30 - y * 7));
    }
    return picture;
}

// Frames as the remote screen window gets them: taken, turned into images, let go of.
struct FrameSink
{
    QList<QImage> images;
    QList<FBInfo> infos;
    QList<int> modes;

    void attach(PCClientControllor &controller)
    {
        QObject::connect(&controller, frameSignal, &controller, [this](FrameBuffer &colors, FBInfo fbi, int mode) {
            images.append(FrameImage::toImage(colors.data(), fbi).convertToFormat(QImage::Format_RGB32));
            infos.append(fbi);
            modes.append(mode);
        });
    }
};

} // namespace

class DeviceLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip();
    void importedPackageIsChecked_data();
    void importedPackageIsChecked();
    void framesArriveAsTheRightPixels_data();
    void framesArriveAsTheRightPixels();
    void framePortForwardedOverUsb_data();
    void framePortForwardedOverUsb();
    void secondStreamReplacesTheFirst();
    void stopEndsAStreamThatNeverPauses();
    void readStraightFromTheSocket_data();
    void readStraightFromTheSocket();
    void badControlInputClosesTheConnection_data();
    void badControlInputClosesTheConnection();
    void badFrameInput_data();
    void badFrameInput();
    void slowConsumerKeepsTheQueueBounded();
    void crowdedQueueHoldsOffTheNextFrame();
    void simulatorFrameMessage();
    void simulatorClosesOnBadInput();
    void simulatorOptions_data();
    void simulatorOptions();
    void mainWindowStatusAndRemoteLog();

private:
    // An adb installed on this machine stays out: the tests that want one bring their own.
    std::unique_ptr<AdbOnPath> noAdb;
};

void DeviceLinkTest::initTestCase()
{
    noAdb = std::make_unique<AdbOnPath>(AdbOnPath::None);
}

void DeviceLinkTest::roundTrip()
{
    QTemporaryDir store;
    SimOptions options = SimulatorRun::options();
    options.storeDirectory = store.path();
    options.screencapMode = 2;
    SimulatorRun sim(options);
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));

    PCClientControllor controller;
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    QSignalSpy imported(&controller, &PCClientControllor::signal_scriptImportComplete);
    QSignalSpy started(&controller, &PCClientControllor::signal_startRemoteScreen);
    QSignalSpy streamConnected(&controller, &PCClientControllor::signal_remoteScreenClientConnected);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(controller.isConnected());
    QCOMPARE(controller.controlSocket().host(), QStringLiteral("127.0.0.1"));
    QCOMPARE(controller.controlSocket().port(), int(sim.device.port()));

    // Touches and keys come back as log lines, in order.
    QVERIFY(controller.sendTouchPress(100, 200));
    controller.slot_remoteTouchRelease(100, 200);
    controller.slot_remoteKeyPress(Qt::Key_Q);
    controller.slot_remoteKeyRelease(Qt::Key_Q);
    QTRY_COMPARE(logs.count(), 4);
    QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("touch press (100, 200)"));
    QCOMPARE(logs.at(1).at(0).toString(), QStringLiteral("touch release (0, 0)"));
    QCOMPARE(logs.at(2).at(0).toString(), QStringLiteral("key press 16"));
    QCOMPARE(logs.at(3).at(0).toString(), QStringLiteral("key release 16"));
    QVERIFY(sim.events.contains(QStringLiteral("touch press (100, 200)")));

    // An import: stored, summarised in log lines, then confirmed.
    const QByteArray package(5000, 'k');
    const QByteArray name = QStringLiteral("工程.ks").toUtf8();
    QVERIFY(controller.importScript(name.constData(), package.size(), package.constData()));
    QTRY_COMPARE(imported.count(), 1);
    QCOMPARE(imported.at(0).at(0).toString(), QStringLiteral("工程.ks"));
    QCOMPARE(logs.count(), 6);
    QVERIFY(logs.at(4).at(0).toString().startsWith(QStringLiteral("imported 工程.ks: 5000 bytes")));
    QCOMPARE(sim.device.package(QStringLiteral("工程.ks")), package);
    QFile stored(store.filePath(QStringLiteral("工程.ks")));
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QCOMPARE(stored.readAll(), package);

    // The stream starts on the port the device announced.
    FrameSink sink;
    sink.attach(controller);
    QVERIFY(controller.requestRemoteScreen());
    QTRY_COMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(0).toInt(), int(sim.device.framePort()));
    QTRY_COMPARE(streamConnected.count(), 1);
    QTRY_VERIFY(sink.images.size() >= 2);
    QCOMPARE(sink.images.first().size(), QSize(36, 64));
    QCOMPARE(sink.modes.first(), 2);
    QVERIFY(SimFrameEncoder::stampOf(sink.infos.first()) > 0);

    // Stopping closes the frame connection and the frames end; the control link stays.
    controller.stopRemoteScreen();
    QTRY_VERIFY(sim.events.contains(QStringLiteral("frame connection closed")));
    const int framesAtStop = sink.images.size();
    QVERIFY(controller.sendTouchPress(1, 2));
    QTRY_COMPARE(logs.count(), 7);
    QCOMPARE(sink.images.size(), framesAtStop);
    QVERIFY(controller.isConnected());
}

void DeviceLinkTest::importedPackageIsChecked_data()
{
    QTest::addColumn<int>("damage"); // 0 none, 1 a byte of the compressed data, 2 not a package
    QTest::addColumn<QString>("verdict"); // the second log line, or its start

    QTest::newRow("a package built here") << 0 << QStringLiteral("project 演示, 2 entries, verified");
    // Decrypting the damaged block gives other bytes: the stream breaks or its digest differs.
    QTest::newRow("damaged on the way") << 1 << QStringLiteral("not verified: 包的");
    QTest::newRow("not a package") << 2 << QStringLiteral("not verified: 不是脚本包文件");
}

void DeviceLinkTest::importedPackageIsChecked()
{
    QFETCH(int, damage);
    QFETCH(QString, verdict);
    if (damage == 0 && !DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key: the simulated device's development key cannot open its packages");

    QTemporaryDir project;
    for (const char *name : {"a.txt", "b.txt"}) {
        QFile file(project.filePath(QLatin1String(name)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("some data\n");
    }
    const Result<int> packed = Package::build(project.path() + QLatin1Char('/'), QStringLiteral("演示"),
                                              QStringLiteral("暂无"), QString(), QByteArray(), 2);
    QVERIFY2(packed, qPrintable(packed.error()));
    QFile built(project.filePath(QStringLiteral("演示.ks")));
    QVERIFY(built.open(QIODevice::ReadOnly));
    QByteArray package = built.readAll();
    if (damage == 1)
        package[package.size() / 2] = char(package[package.size() / 2] ^ 0x40);
    else if (damage == 2)
        package = QByteArray("PK\3\4 something else entirely, long enough to be read a little way");

    SimulatorRun sim(SimulatorRun::options());
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));
    PCClientControllor controller;
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    QSignalSpy imported(&controller, &PCClientControllor::signal_scriptImportComplete);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(controller.importScript("演示.ks", package.size(), package.constData()));
    QTRY_COMPARE(imported.count(), 1);
    QCOMPARE(logs.count(), 2);
    QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("imported 演示.ks: %1 bytes").arg(package.size()));
    QVERIFY2(logs.at(1).at(0).toString().startsWith(verdict), qPrintable(logs.at(1).at(0).toString()));
}

void DeviceLinkTest::framesArriveAsTheRightPixels_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("channelOrder");

    for (int depth : {16, 24, 32}) {
        for (int order : {0, 24, 8})
            QTest::addRow("%d bits, channelOrder %d", depth, order) << depth << order;
    }
}

void DeviceLinkTest::framesArriveAsTheRightPixels()
{
    QFETCH(int, depth);
    QFETCH(int, channelOrder);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("screen.png"));
    QVERIFY(testPicture().save(path));
    SimOptions options = SimulatorRun::options();
    options.imagePath = path;
    options.depth = depth;
    options.channelOrder = channelOrder;
    SimulatorRun sim(options);
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));

    PCClientControllor controller;
    FrameSink sink;
    sink.attach(controller);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(controller.requestRemoteScreen());
    QTRY_VERIFY(!sink.images.isEmpty());

    const QImage expected = depth == 16 ? testPicture().convertToFormat(QImage::Format_RGB16).convertToFormat(QImage::Format_RGB32)
                                        : testPicture();
    QCOMPARE(sink.infos.first().bitsPerPixel, depth);
    QCOMPARE(sink.infos.first().channelOrder, channelOrder);
    QCOMPARE(sink.images.first(), expected);
}

void DeviceLinkTest::framePortForwardedOverUsb_data()
{
    QTest::addColumn<int>("adb");
    QTest::addColumn<QString>("said"); // in the log line on failure; empty: no line
    QTest::newRow("adb forwards the port") << int(AdbOnPath::Succeeding) << QString();
    QTest::newRow("adb fails") << int(AdbOnPath::Failing) << QStringLiteral("error: no devices/emulators found");
    QTest::newRow("no adb") << int(AdbOnPath::None) << QString();
}

// A device at the loopback address is reached through adb's USB forward: the frame port it
// announces is forwarded too, before the stream connects. A failed forward says why, and the
// stream is tried all the same (here the device is on this computer and answers).
void DeviceLinkTest::framePortForwardedOverUsb()
{
    QFETCH(int, adb);
    QFETCH(QString, said);
    const AdbOnPath path{AdbOnPath::Kind(adb)};
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    QStringList callsWhenStreamCame;
    connect(&sim.device, &SimulatedDevice::signal_event, this, [&](const QString &line) {
        if (line.startsWith(QStringLiteral("frame connection from")))
            callsWhenStreamCame = path.calls();
    });
    PCClientControllor controller;
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    FrameSink sink;
    sink.attach(controller);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(controller.requestRemoteScreen());
    QTRY_VERIFY(!sink.images.isEmpty());
    const QString port = QString::number(sim.device.framePort());
    const QStringList expectedCalls{QStringLiteral("forward tcp:%1 tcp:%1").arg(port)};
    QCOMPARE(callsWhenStreamCame, adb == AdbOnPath::None ? QStringList() : expectedCalls);
    QCOMPARE(path.calls(), callsWhenStreamCame);
    QStringList lines;
    for (const QList<QVariant> &log : qAsConst(logs))
        lines << log.at(0).toString();
    if (said.isEmpty()) {
        QCOMPARE(lines, QStringList());
    } else {
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith(QStringLiteral("远程屏幕端口%1的USB映射失败").arg(port)) && lines.first().contains(said),
                 qPrintable(lines.first()));
    }
}

void DeviceLinkTest::secondStreamReplacesTheFirst()
{
    SimulatorRun sim(SimulatorRun::options());
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));

    PCClientControllor controller;
    FrameSink sink;
    sink.attach(controller);
    QSignalSpy started(&controller, &PCClientControllor::signal_startRemoteScreen);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(controller.requestRemoteScreen());
    QTRY_VERIFY(!sink.images.isEmpty());
    const int firstPort = started.at(0).at(0).toInt();

    QVERIFY(controller.requestRemoteScreen());
    QTRY_COMPARE(started.count(), 2);
    const int secondPort = started.at(1).at(0).toInt();
    QVERIFY(secondPort != firstPort);
    QCOMPARE(int(sim.device.framePort()), secondPort);
    const int before = sink.images.size();
    QTRY_VERIFY(sink.images.size() > before + 2);
    QCOMPARE(sim.events.count(QStringLiteral("frame connection from 127.0.0.1")), 2);

    controller.stopRemoteScreen();
    QTRY_COMPARE(sim.events.count(QStringLiteral("frame connection closed")), 1); // the first closed with its stream
}

void DeviceLinkTest::stopEndsAStreamThatNeverPauses()
{
    // A device on a thread of its own that sends frames as fast as the connection takes them:
    // the next message is always there, and a stop must still end the stream.
    std::atomic<int> port{0};
    std::atomic<bool> closed{false};
    std::unique_ptr<QThread> deviceThread(QThread::create([&] {
        SimOptions options = SimulatorRun::options();
        options.fps = 0;
        SimulatedDevice device(options);
        QObject::connect(&device, &SimulatedDevice::signal_event, [&](const QString &line) {
            closed = closed || line == QLatin1String("frame connection closed");
        });
        if (!device.start()) {
            port = -1;
            return;
        }
        port = device.port();
        QEventLoop loop;
        loop.exec();
    }));
    deviceThread->start();
    QTRY_VERIFY(port != 0);
    QVERIFY(port > 0);

    PCClientControllor controller;
    FrameSink sink;
    sink.attach(controller);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), port));
    QVERIFY(controller.requestRemoteScreen());
    QTRY_VERIFY(sink.images.size() >= 3);
    controller.stopRemoteScreen();
    QTRY_VERIFY(closed);
    deviceThread->quit();
    QVERIFY(deviceThread->wait(10000));
}

void DeviceLinkTest::readStraightFromTheSocket_data()
{
    QTest::addColumn<QByteArray>("now");   // there before the read
    QTest::addColumn<QByteArray>("later"); // sent while it waits
    QTest::addColumn<bool>("closeLater");
    QTest::addColumn<int>("waitMs");
    QTest::addColumn<QByteArray>("read"); // of 10 bytes asked for

    QTest::newRow("all there") << QByteArray("0123456789ab") << QByteArray() << false << 0 << QByteArray("0123456789");
    QTest::newRow("part there, not waited for") << QByteArray("01234") << QByteArray() << false << 0 << QByteArray("01234");
    QTest::newRow("the rest comes while it waits") << QByteArray("01234") << QByteArray("56789ab") << false << 60000
                                                   << QByteArray("0123456789");
    QTest::newRow("nothing comes") << QByteArray() << QByteArray() << false << 20 << QByteArray();
    QTest::newRow("the peer closes while it waits") << QByteArray("012") << QByteArray("34") << true << 60000
                                                    << QByteArray("01234");
}

void DeviceLinkTest::readStraightFromTheSocket()
{
    QFETCH(QByteArray, now);
    QFETCH(QByteArray, later);
    QFETCH(bool, closeLater);
    QFETCH(int, waitMs);
    QFETCH(QByteArray, read);

    // A loopback connection: the reading end is a Qt socket's, the peer writes from a thread of
    // its own while the read waits.
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    std::promise<void> nowSent;
    std::promise<void> readDone;
    std::thread sender([&, port = server.serverPort()] {
        QTcpSocket peer;
        peer.connectToHost(QHostAddress::LocalHost, port);
        peer.waitForConnected(5000);
        peer.write(now);
        peer.waitForBytesWritten(5000);
        nowSent.set_value();
        QThread::msleep(30);
        if (!later.isEmpty()) {
            peer.write(later);
            peer.waitForBytesWritten(5000);
        }
        if (closeLater)
            peer.close();
        readDone.get_future().wait();
    });
    QVERIFY(server.waitForNewConnection(5000));
    std::unique_ptr<QTcpSocket> reading(server.nextPendingConnection());
    nowSent.get_future().wait();
    QThread::msleep(10); // loopback has delivered what was sent
    char buffer[10] = {};
    const qint64 n = SocketReceive::arrived(reading->socketDescriptor(), buffer, sizeof buffer, waitMs);
    readDone.set_value();
    sender.join();
    QCOMPARE(QByteArray(buffer, int(n)), read);
}

void DeviceLinkTest::badControlInputClosesTheConnection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    QTest::newRow("wrong magic") << header(21, 4, 0, 0x0BADF00D) << QStringLiteral("消息头标识错误（0x0badf00d）");
    QTest::newRow("negative log length") << header(21, 4) + le(-5) << QStringLiteral("日志长度无效（-5 字节）");
    QTest::newRow("log length over the cap") << header(21, 4) + le(0x7fffffff)
                                             << QStringLiteral("日志长度无效（2147483647 字节）");
    QTest::newRow("negative length of another command") << header(11, -1) << QStringLiteral("消息长度无效（-1 字节）");
}

void DeviceLinkTest::badControlInputClosesTheConnection()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);

    QTcpServer fake;
    QVERIFY(fake.listen(QHostAddress::LocalHost, 0));
    PCClientControllor controller;
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), fake.serverPort()));
    QVERIFY(fake.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> peer(fake.nextPendingConnection());
    QSignalSpy closed(peer.get(), &QTcpSocket::disconnected);

    // A good message first: it is handled before the bad one closes the connection.
    peer->write(header(21, 4) + le(2) + "ok" + bytes);
    QTRY_COMPARE(logs.count(), 2);
    QCOMPARE(logs.at(0).at(0).toString(), QStringLiteral("ok"));
    QCOMPARE(logs.at(1).at(0).toString(), QStringLiteral("控制连接已断开：") + reason);
    QVERIFY(!controller.isConnected());
    QTRY_COMPARE(closed.count(), 1);

    // An invalid port is reported without starting a stream or closing anything.
    QSignalSpy started(&controller, &PCClientControllor::signal_startRemoteScreen);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), fake.serverPort()));
    QVERIFY(fake.waitForNewConnection(3000));
    peer.reset(fake.nextPendingConnection());
    peer->write(header(4, 4) + le(70000) + header(21, 4) + le(4) + "next");
    QTRY_COMPARE(logs.count(), 4);
    QVERIFY(logs.at(2).at(0).toString().contains(QStringLiteral("70000")));
    QCOMPARE(logs.at(3).at(0).toString(), QStringLiteral("next"));
    QCOMPARE(started.count(), 0);
    QVERIFY(controller.isConnected());
}

void DeviceLinkTest::badFrameInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("goodFrames"); // frames delivered
    QTest::addColumn<QString>("log");    // the one log line, empty for none
    QTest::addColumn<bool>("closes");

    const QByteArray good = frame(6, 32, 2, 1, 8, "BGRABGRA");
    QTest::newRow("wrong magic") << good + header(6, 68, 0, 0x01020304) << 1
                                 << QStringLiteral("远程屏幕连接已断开：消息头标识错误（0x01020304）") << true;
    QTest::newRow("negative dataSize") << good + frame(6, 32, 2, 1, -8, QByteArray()) << 1
                                       << QStringLiteral("远程屏幕连接已断开：帧数据长度无效（-8 字节）") << true;
    QTest::newRow("dataSize over the cap") << good + frame(6, 32, 2, 1, 0x40000000, QByteArray()) << 1
                                           << QStringLiteral("远程屏幕连接已断开：帧数据长度无效（1073741824 字节）")
                                           << true;
    QTest::newRow("negative record length") << good + header(6, -1) << 1
                                            << QStringLiteral("远程屏幕连接已断开：消息长度无效（-1 字节）") << true;
    QTest::newRow("dataSize too small for the picture: dropped, stream goes on")
        << frame(6, 32, 4, 4, 60, QByteArray(60, 'x')) + good + frame(6, 32, 4, 4, 60, QByteArray(60, 'x')) + good << 2
        << QStringLiteral("远程屏幕：帧数据不足（4x4，32 位，60 字节），已丢弃") << false;
    QTest::newRow("another command is read and dropped")
        << frame(5, 32, 10, 10, 100, QByteArray(100, 'y')) + good << 1 << QString() << false;
}

void DeviceLinkTest::badFrameInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, goodFrames);
    QFETCH(QString, log);
    QFETCH(bool, closes);

    QTcpServer control;
    QTcpServer frames;
    QVERIFY(control.listen(QHostAddress::LocalHost, 0));
    QVERIFY(frames.listen(QHostAddress::LocalHost, 0));
    PCClientControllor controller;
    FrameSink sink;
    sink.attach(controller);
    QSignalSpy logs(&controller, &PCClientControllor::signal_remoteLog);
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), control.serverPort()));
    QVERIFY(control.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> controlPeer(control.nextPendingConnection());
    controlPeer->write(header(4, 4) + le(frames.serverPort()));
    QTRY_VERIFY(frames.hasPendingConnections());
    std::unique_ptr<QTcpSocket> peer(frames.nextPendingConnection());
    QSignalSpy closed(peer.get(), &QTcpSocket::disconnected);

    // Sent in two halves, so that messages also straddle reads.
    peer->write(bytes.left(bytes.size() / 2));
    QVERIFY(peer->waitForBytesWritten(3000));
    peer->write(bytes.mid(bytes.size() / 2));
    QTRY_COMPARE(sink.images.size(), goodFrames);
    if (closes)
        QTRY_COMPARE(closed.count(), 1);
    else
        peer->write(frame(6, 32, 1, 1, 4, "BGRA")); // still read: one more frame arrives
    if (!closes)
        QTRY_COMPARE(sink.images.size(), goodFrames + 1);
    QTRY_COMPARE(logs.count(), log.isEmpty() ? 0 : 1);
    if (!log.isEmpty())
        QCOMPARE(logs.at(0).at(0).toString(), log);
    QCOMPARE(sink.images.first().pixel(0, 0), qRgb(0x52, 0x47, 0x42)); // B, G, R, A bytes as they are
    QVERIFY(controller.isConnected());
}

void DeviceLinkTest::slowConsumerKeepsTheQueueBounded()
{
    SimOptions options = SimulatorRun::options();
    options.fps = 0; // as fast as possible
    SimulatorRun sim(options);
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));

    PCClientControllor controller;
    const FrameQueue &queue = controller.frameQueue();
    int delivered = 0;
    int largestQueue = 0;
    // The consumer holds the interface thread on its first frame until the receiver has had
    // to drop frames, as a window that cannot keep up would.
    connect(&controller, frameSignal, this, [&](FrameBuffer &, FBInfo, int) {
        if (delivered++ > 0)
            return;
        QDeadlineTimer deadline(10000);
        while (queue.dropped() < 5 && !deadline.hasExpired()) {
            largestQueue = qMax(largestQueue, queue.size());
            QThread::yieldCurrentThread();
        }
    });
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(controller.requestRemoteScreen());
    QTRY_VERIFY(delivered >= 1 && queue.dropped() >= 5);
    QVERIFY(largestQueue <= queue.capacity());
    QTRY_VERIFY(delivered >= 1 + queue.capacity()); // the waiting frames still arrive, then newer ones
    controller.stopRemoteScreen();
}

void DeviceLinkTest::crowdedQueueHoldsOffTheNextFrame()
{
    QTcpServer fake;
    QVERIFY(fake.listen(QHostAddress::LocalHost, 0));
    FrameQueue queue(3, 100); // a frame of 64 bytes crowds it
    RemoteScreenClient client(&queue);
    client.connectToDevice(QStringLiteral("127.0.0.1"), fake.serverPort());
    QVERIFY(fake.waitForNewConnection(3000));
    std::unique_ptr<QTcpSocket> peer(fake.nextPendingConnection());
    QByteArray frames;
    for (char tag : {'a', 'b', 'c'})
        frames += frame(6, 32, 4, 4, 64, QByteArray(64, tag));
    peer->write(frames); // arrive together

    // One at a time, each after the one before was taken; none dropped.
    QByteArray seen;
    for (int i = 0; i < 3; ++i) {
        QTRY_COMPARE(queue.size(), 1);
        FrameQueue::Frame taken;
        QVERIFY(queue.take(&taken));
        seen += char(taken.colors.data()[0]);
    }
    QCOMPARE(seen, QByteArray("abc"));
    QCOMPARE(queue.dropped(), quint64(0));
}

void DeviceLinkTest::simulatorFrameMessage()
{
    // The default screen, read off the frame connection by hand.
    SimOptions options = SimulatorRun::options();
    options.width = 720;
    options.height = 1280;
    SimulatorRun sim(options);
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));

    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, sim.device.port());
    QVERIFY(control.waitForConnected(3000));
    control.write(header(4, 0));
    QTRY_COMPARE(control.bytesAvailable(), qint64(20));
    const QByteArray answer = control.readAll();
    QCOMPARE(answer.left(16), header(4, 4));
    QCOMPARE(qFromLittleEndian<qint32>(answer.constData() + 16), qint32(sim.device.framePort()));

    QTcpSocket frames;
    frames.connectToHost(QHostAddress::LocalHost, sim.device.framePort());
    QVERIFY(frames.waitForConnected(3000));
    QTRY_VERIFY(frames.bytesAvailable() >= 16 + 68);
    QCOMPARE(frames.read(16), header(6, 68));
    const QByteArray record = frames.read(68);
    const FBInfo info = FBInfo::fromBytes(record.constData());
    QCOMPARE(info.bitsPerPixel, 32);
    QCOMPARE(info.dataSize, 3686400);
    QCOMPARE(info.width, 720);
    QCOMPARE(info.height, 1280);
    QCOMPARE(info.channelOrder, 0);
    QCOMPARE(qFromLittleEndian<qint32>(record.constData() + 64), 0); // screencapMode
    QByteArray pixels;
    QTRY_VERIFY((pixels += frames.readAll()).size() >= 3686400 + 16);
    QCOMPARE(pixels.mid(3686400, 16), header(6, 68)); // the next frame follows at once
}

void DeviceLinkTest::simulatorClosesOnBadInput()
{
    SimulatorRun sim(SimulatorRun::options());
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));
    QTcpSocket control;
    control.connectToHost(QHostAddress::LocalHost, sim.device.port());
    QVERIFY(control.waitForConnected(3000));
    control.write(header(99, 4) + le(1) + header(20, 44, -3) + QByteArray(44, '\0'));
    QTRY_COMPARE(control.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(sim.events.contains(QStringLiteral("ignored command 99 (4 + 0 bytes)")));
    QVERIFY(sim.events.contains(QStringLiteral("closing the control connection: 数据长度无效（-3 字节）")));
}

void DeviceLinkTest::simulatorOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("summary"); // port depth order mode fps size image

    QTest::newRow("defaults") << QStringList() << true << QStringLiteral("7000 32 0 0 30 720x1280 ");
    QTest::newRow("everything") << QStringList{"--port", "7100", "--depth", "16", "--channel-order", "24",
                                               "--screencap-mode", "2", "--fps", "max", "--size", "100x50",
                                               "--image", "a.png"}
                                << true << QStringLiteral("7100 16 24 2 0 100x50 a.png");
    QTest::newRow("depth 8") << QStringList{"--depth", "8"} << false << QString();
    QTest::newRow("bad size") << QStringList{"--size", "100"} << false << QString();
    QTest::newRow("port too large") << QStringList{"--port", "70000"} << false << QString();
    QTest::newRow("negative fps") << QStringList{"--fps", "-1"} << false << QString();
    QTest::newRow("unknown option") << QStringList{"--colour"} << false << QString();
    QTest::newRow("stray argument") << QStringList{"extra"} << false << QString();
}

void DeviceLinkTest::simulatorOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    QFETCH(QString, summary);

    const Result<SimOptions> parsed = SimOptions::parse(arguments);
    QCOMPARE(parsed.ok(), ok);
    if (!ok) {
        QVERIFY(!parsed.error().isEmpty());
        return;
    }
    const SimOptions &options = *parsed;
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6x%7 %8")
                 .arg(options.port)
                 .arg(options.depth)
                 .arg(options.channelOrder)
                 .arg(options.screencapMode)
                 .arg(options.fps)
                 .arg(options.width)
                 .arg(options.height)
                 .arg(options.imagePath),
             summary);
}

void DeviceLinkTest::mainWindowStatusAndRemoteLog()
{
    TestWorkspace workspace;
    SimulatorRun sim(SimulatorRun::options());
    const Status listening = sim.device.start();
    QVERIFY2(listening, qPrintable(listening.error()));

    ProjectManagerWindow window;
    auto *status = window.statusBar()->findChild<QLabel *>();
    QVERIFY(status);
    QCOMPARE(status->text(), QStringLiteral("无任何连接。"));

    // The two-second timer refreshes the status line; send its event rather than wait. (Id 0
    // would be taken by the main window's layout as its own idle timer.)
    QTimerEvent tick(0x7fffffff);
    QVERIFY(window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QCoreApplication::sendEvent(&window, &tick);
    QCOMPARE(status->text(), QStringLiteral("已与127.0.0.1:%1建立连接...").arg(sim.device.port()));

    // The device's log lands in "远程调试", once, and brings that tab to the front.
    QTabWidget *tabs = window.form()->outTabWidget;
    QPlainTextEdit *remoteLog = window.form()->remoteLogText;
    tabs->setCurrentIndex(0);
    QVERIFY(window.device().controller().sendTouchPress(3, 4));
    QTRY_VERIFY(remoteLog->toPlainText().contains(QStringLiteral("touch press (3, 4)")));
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(remoteLog->toPlainText().count(QStringLiteral("touch press")), 1);

    window.device().controller().controlSocket().disconnectFromHost();
    QTRY_VERIFY(!window.device().controller().isConnected());
    QCoreApplication::sendEvent(&window, &tick);
    QCOMPARE(status->text(), QStringLiteral("无任何连接。"));
}

QTEST_MAIN(DeviceLinkTest)
#include "tst_devicelink.moc"
