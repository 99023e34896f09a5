// A flood of the largest frames the IDE accepts: the simulated device, in a process of its own,
// sends 8192 x 8192 frames at 32 bits (256 MiB each) over loopback as fast as they are taken,
// to a shown remote screen window (offscreen), for 12 s. Measured in the IDE's process:
//  (a) peak resident memory during the flood. Goal: under 800 MiB.
//  (b) resident memory once the window has closed and the stream has ended. Goal: within
//      150 MiB of what it was before the stream, plus the one picture the window keeps.
#include "bench/support/BenchDevice.h"
#include "device/PCClientControllor.h"
#include "screentools/ui/RemoteScreenDialog.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kSide = 8192;
constexpr int kFloodSeconds = 12;
constexpr long kPictureMiB = long(kSide) * kSide * 4 / (1 << 20);

// The device's side, run as a second process so that its own copies of the picture do not
// count: prints the control port, then streams until it is killed.
int runDevice(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QImage picture(kSide, kSide, QImage::Format_RGB32);
    for (int y = 0; y < kSide; ++y)
        std::fill_n(reinterpret_cast<QRgb *>(picture.scanLine(y)), kSide, qRgb(y / 32, 128, 255 - y / 32));
    const QString path = dir.filePath(QStringLiteral("screen.png"));
    if (!picture.save(path))
        qFatal("cannot write %s", qPrintable(path));
    picture = QImage();
    SimOptions options;
    options.port = 0;
    options.imagePath = path;
    options.depth = 32;
    options.fps = 0;
    SimulatedDevice device(options);
    const Status started = device.start();
    if (!started)
        qFatal("simulated device: %s", qPrintable(started.error()));
    std::printf("%d\n", device.port());
    std::fflush(stdout);
    return app.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--device") == 0)
        return runDevice(argc, argv);

    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QProcess device;
    device.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    device.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--device")});
    if (!device.waitForReadyRead(120000))
        qFatal("the simulated device did not start");
    const int port = device.readLine().trimmed().toInt();

    PCClientControllor deviceController;
    RemoteScreenDialog window(deviceController);
    runFor(200);
    const long before = statusKb("VmRSS:");
    startStream(window, port);

    int shown = 0;
    QObject::connect(&deviceController, &PCClientControllor::signal_obtainRemoteScreenData, &window,
                     [&shown](FrameBuffer &, FBInfo, int) { ++shown; });
    long peak = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&peak] { peak = std::max(peak, statusKb("VmRSS:")); });
    sampler.start(20);
    const quint64 droppedBefore = deviceController.frameQueue().dropped();
    runFor(kFloodSeconds * 1000);
    sampler.stop();
    peak = std::max(peak, statusKb("VmHWM:"));
    const quint64 dropped = deviceController.frameQueue().dropped() - droppedBefore;

    window.close();
    deviceController.disconnectFromDevice();
    runFor(2000);
    const long after = statusKb("VmRSS:");
    device.kill();
    device.waitForFinished();

    std::printf("%dx%d frames at 32 bits (%ld MiB each) as fast as the device sends, %d s:\n", kSide, kSide,
                kPictureMiB, kFloodSeconds);
    std::printf("    %d frames shown, %llu dropped\n", shown, static_cast<unsigned long long>(dropped));
    std::printf("    (a) peak resident %ld MiB (%ld MiB before the stream) - goal under 800 MiB: %s\n", peak / 1024,
                before / 1024, peak < 800 * 1024 ? "met" : "NOT met");
    const long allowed = before / 1024 + 150 + kPictureMiB;
    std::printf("    (b) resident after the stream %ld MiB - goal at most %ld MiB (before + 150 + one picture): %s\n",
                after / 1024, allowed, after / 1024 <= allowed ? "met" : "NOT met");
    return 0;
}
