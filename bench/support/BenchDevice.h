#pragma once

// Shared by the screen benchmarks: the simulated device on a thread of its own, the stream to a
// remote screen window, and the process's memory figures.
#include "screentools/ui/RemoteScreenDialog.h"
#include "simulator/SimOptions.h"
#include "simulator/SimTestPattern.h"
#include "simulator/SimulatedDevice.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <pthread.h>
#include <time.h>

#include <atomic>

// The simulated device with its own event loop, as a separate process would have. It streams
// one picture at 32 bits, so that drawing does not take the sender's time, at fps frames a
// second (0: as fast as the connection takes them), or does as the options say.
class DeviceThread : public QThread
{
public:
    explicit DeviceThread(const QString &picture, double fps = 0)
    {
        options.port = 0;
        options.imagePath = picture;
        options.depth = 32;
        options.fps = fps;
    }
    // Any other device, listening on a free port.
    explicit DeviceThread(const SimOptions &device) : options(device) { options.port = 0; }
    std::atomic<int> port{0};

    // CPU seconds the device's thread has spent.
    double cpuSeconds() const
    {
        timespec spent = {};
        clock_gettime(cpuClock, &spent);
        return spent.tv_sec + spent.tv_nsec / 1e9;
    }

    // Starts the thread and waits until the device listens.
    void startListening()
    {
        start();
        while (port == 0)
            QThread::msleep(1);
    }

protected:
    void run() override
    {
        pthread_getcpuclockid(pthread_self(), &cpuClock);
        SimulatedDevice device(options);
        const Status started = device.start();
        if (!started)
            qFatal("simulated device: %s", qPrintable(started.error()));
        port = device.port();
        exec();
    }

private:
    SimOptions options;
    clockid_t cpuClock = CLOCK_THREAD_CPUTIME_ID;
};

// CPU seconds the whole process has spent.
inline double processCpuSeconds()
{
    timespec spent = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &spent);
    return spent.tv_sec + spent.tv_nsec / 1e9;
}

// The simulated device's 720 x 1280 test pattern, still: what the benchmarks stream.
inline QImage testPattern()
{
    return SimTestPattern::render(QSize(720, 1280), 0, QTime(12, 34, 56), QPoint(100, 200));
}

// The test pattern as a picture file in dir, for the device to stream.
inline QString testPatternFile(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("screen.png"));
    if (!testPattern().save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), -1 when unknown.
inline long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Lets the event loop run for a while.
inline void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Starts the stream of the device at port into window, waits up to a minute for the first frame
// to place the window, and shows it.
inline void startStream(RemoteScreenDialog &window, int port)
{
    if (!window.initRemoteScreen(QStringLiteral("127.0.0.1"), port))
        qFatal("cannot reach the simulated device");
    QElapsedTimer waited;
    waited.start();
    while (!window.isFirstFrameShown() && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    if (!window.isFirstFrameShown())
        qFatal("no frame");
    window.show();
}
