// The remote-debugging pane under a device that talks too much: 200,000 ordinary log lines as
// fast as the connection takes them, then one log line of 16 MiB (the reader's cap). A timer
// ticking every 2 ms measures how long the interface thread is kept from its event loop.
// Goals: no stall over 100 ms during either; memory back within 50 MiB of its start after each.
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "common/ui/LogView.h"
#include "device/MessageHeader.h"
#include "device/PCClientControllor.h"
#include "support/BenchDevice.h"
#include "ui_ProjectManagerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBlock>
#include <QtEndian>

#include <atomic>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kFloodLines = 200000;
constexpr int kLongLineBytes = 16 << 20;

QByteArray logMessage(const QByteArray &utf8)
{
    QByteArray length(4, 0);
    qToLittleEndian<qint32>(utf8.size(), length.data());
    return MessageHeader(MessageHeader::Log, 4, utf8.size()).toBytes() + length + utf8;
}

QByteArray floodLine(int i)
{
    return QByteArrayLiteral("[12:34:56.789] findImageFuzzy(\"assets/button.bmp\",90) -> false, retry ")
        + QByteArray::number(i);
}

// The device: sends the flood when asked, then the long line when asked.
class TalkativeDevice : public QThread
{
public:
    std::atomic<int> port{0};
    std::atomic<int> scenario{0}; // 1: flood, 2: long line; set by the interface thread

protected:
    void run() override
    {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0))
            qFatal("cannot listen");
        port = server.serverPort();
        if (!server.waitForNewConnection(10000))
            qFatal("no connection");
        QTcpSocket *socket = server.nextPendingConnection();
        for (int next = 1; next <= 2; ++next) {
            while (scenario < next)
                msleep(5);
            if (next == 1) {
                QByteArray batch;
                for (int i = 0; i < kFloodLines; ++i) {
                    batch += logMessage(floodLine(i));
                    if (batch.size() > 256 * 1024 || i == kFloodLines - 1) {
                        socket->write(batch);
                        batch.clear();
                        while (socket->bytesToWrite() > 0)
                            socket->waitForBytesWritten(1000);
                    }
                }
            } else {
                socket->write(logMessage(QByteArray(kLongLineBytes, 'y')));
                while (socket->bytesToWrite() > 0)
                    socket->waitForBytesWritten(1000);
            }
        }
        socket->waitForReadyRead(2000); // keep the connection until the benchmark ends
    }
};

double threadCpuMs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Figures
{
    double worstStallMs = 0;
    double worstStallCpuMs = 0; // the interface thread's own CPU time within that stall
    double seconds = 0;
    long startKb = 0;
    long peakKb = 0;
    long afterKb = 0;
};

// Runs the event loop until the pane's last line is lastLine, then one more second to let it
// settle, measuring the longest gap between ticks of a 2 ms timer.
Figures measure(QApplication &app, LogView *pane, const std::function<bool()> &done)
{
    Figures f;
    f.startKb = statusKb("VmRSS:");
    f.peakKb = f.startKb;
    QElapsedTimer total;
    total.start();
    QElapsedTimer gap;
    gap.start();
    double cpuAtTick = threadCpuMs();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&]() {
        const double ms = gap.nsecsElapsed() / 1e6;
        const double cpu = threadCpuMs();
        gap.restart();
        if (ms > f.worstStallMs) {
            f.worstStallMs = ms;
            f.worstStallCpuMs = cpu - cpuAtTick;
        }
        cpuAtTick = cpu;
        const long rss = statusKb("VmRSS:");
        if (rss > f.peakKb)
            f.peakKb = rss;
    });
    tick.start();
    while (!done() && total.elapsed() < 120000)
        app.processEvents(QEventLoop::AllEvents, 5);
    f.seconds = total.elapsed() / 1000.0;
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1000)
        app.processEvents(QEventLoop::AllEvents, 5);
    f.afterKb = statusKb("VmRSS:");
    (void)pane;
    return f;
}

void report(const char *what, const Figures &f, bool shown)
{
    const double growthMb = (f.afterKb - f.startKb) / 1024.0;
    std::printf("%s: %s in %.2f s\n", what, shown ? "all shown" : "NOT ALL SHOWN", f.seconds);
    // On a loaded machine the wall time of a stall includes time the thread waited for a core;
    // its own CPU time within the stall says what the program itself spent.
    std::printf("  worst stall:       %8.1f ms, of it %.1f ms CPU of the interface thread  (goal <= 100 ms: %s)\n",
                f.worstStallMs, f.worstStallCpuMs, f.worstStallMs <= 100 ? "met" : "MISSED");
    std::printf("  memory start/peak/after: %.0f / %.0f / %.0f MiB; after - start %.1f MiB (goal <= 50 MiB: %s)\n",
                f.startKb / 1024.0, f.peakKb / 1024.0, f.afterKb / 1024.0, growthMb, growthMb <= 50 ? "met" : "MISSED");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    ProjectManagerWindow window;
    window.resize(1000, 700);
    window.show();
    LogView *pane = window.form()->remoteLogText;

    TalkativeDevice device;
    device.start();
    while (device.port == 0)
        QThread::msleep(1);
    if (!window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), device.port))
        qFatal("cannot connect");
    for (int i = 0; i < 50; ++i)
        app.processEvents();

    const QString lastFloodLine = QString::fromLatin1(floodLine(kFloodLines - 1));
    device.scenario = 1;
    const Figures flood = measure(app, pane, [&]() { return pane->document()->lastBlock().text() == lastFloodLine; });
    report("200,000 log lines", flood, pane->document()->lastBlock().text() == lastFloodLine);
    std::printf("  lines kept: %d\n", pane->document()->blockCount());

    device.scenario = 2;
    const auto longShown = [&]() { return pane->document()->lastBlock().text().endsWith(QStringLiteral("字节）")); };
    const Figures line = measure(app, pane, longShown);
    report("one 16 MiB log line", line, longShown());
    std::printf("  shown: %d characters of it\n", pane->document()->lastBlock().length() - 1);

    device.wait(5000);
    return 0;
}
