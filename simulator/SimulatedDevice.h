#pragma once

#include "common/Result.h"
#include "simulator/SimEventLog.h"
#include "simulator/SimOptions.h"

#include <QByteArray>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPoint>
#include <QTcpServer>

#include <functional>
#include <memory>

class MessageReader;
class QTcpSocket;
class SimFrameStreamer;
class SimScreen;

// A stand-in for the Kestrun runtime on a phone: it accepts the IDE's control connection,
// streams a screen on command 4, takes packages on command 20, and reports every touch and
// key both as an event (printed by the program) and as a log line to the IDE. Touches and keys
// reach the screen after the --react-ms delay; --events keeps their times and the frames'.
class SimulatedDevice : public QObject
{
    Q_OBJECT

public:
    explicit SimulatedDevice(const SimOptions &options, QObject *parent = nullptr);
    ~SimulatedDevice() override;

    // Reads the picture and listens on the control port; fails saying why.
    Status start();
    quint16 port() const { return server.serverPort(); }
    // The port of the current screen stream, 0 when none was asked for.
    quint16 framePort() const;
    // The last package imported under this name; empty when none.
    QByteArray package(const QString &fileName) const { return packages.value(fileName); }

    // The log lines that answer an import.
    static QStringList importSummary(const QString &fileName, const QByteArray &package, int announcedSize,
                                     const QString &storedAs);

signals:
    void signal_event(QString line);

private:
    void acceptConnections();
    void readRequests(QTcpSocket *socket);
    // Takes in what has arrived on every control connection, e.g. before the screen is captured.
    void readArrivedRequests();
    // Lets input reach the screen, after the reaction delay.
    void react(std::function<void()> change);
    void handleRequest(QTcpSocket *socket, const MessageReader &reader);
    void startStream(QTcpSocket *socket);
    void importPackage(QTcpSocket *socket, const MessageReader &reader);
    // Writes an imported package into the store directory; returns the path written.
    Result<QString> store(const QString &fileName, const QByteArray &package) const;
    void report(QTcpSocket *socket, const QString &line);
    static void sendLog(QTcpSocket *socket, const QString &text);

    const SimOptions options;
    std::unique_ptr<SimScreen> screen;
    SimEventLog events;
    QTcpServer server;
    QHash<QTcpSocket *, std::shared_ptr<MessageReader>> readers;
    SimFrameStreamer *streamer = nullptr;
    QHash<QString, QByteArray> packages;
    QPoint touch{-1, -1};
};
