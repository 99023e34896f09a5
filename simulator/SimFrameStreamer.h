#pragma once

#include "common/Result.h"

#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;
class SimScreen;
struct SimOptions;

// One screen stream of the simulated device: a listener on a free port and the frames sent to
// every connection it accepts. A connection that has not taken the last frame is skipped, so a
// slow reader never makes the device buffer more than about two frames.
//
// A frame's header goes out first; then the device takes in every touch and key that has
// arrived (signal_capturing) and captures the screen, and the pixels follow. So a frame whose
// header reaches the IDE after it sent a touch always shows that touch.
class SimFrameStreamer : public QObject
{
    Q_OBJECT

public:
    // screen must outlive the streamer.
    SimFrameStreamer(const SimOptions &options, SimScreen &screen, QObject *parent = nullptr);
    ~SimFrameStreamer() override;

    Status listen(const QHostAddress &address);
    // Closes the listener and every connection; the streamer may be deleted later (it may be
    // sending a frame right now: the input read before a capture can ask for a new stream).
    void stop();
    quint16 port() const { return server.serverPort(); }

signals:
    void signal_event(QString line);
    // Before each capture: the input that has arrived must take effect now.
    void signal_capturing();
    // A frame with this stamp (FBInfo fields 9 and 10) is being captured.
    void signal_captured(qint64 stamp);

private:
    void acceptConnections();
    void send(const QList<QTcpSocket *> &targets);

    SimScreen &screen;
    const int screencapMode;
    const bool paced; // by the timer; else as fast as the connection takes them
    QTcpServer server;
    QList<QTcpSocket *> sockets;
    QTimer timer;
    bool stopped = false;
    bool sending = false;
};
