// The remote screen window under a full stream: the simulated device sends 720x1280x32 frames
// over loopback as fast as it can, to a shown RemoteScreenDialog (offscreen). Measured:
//  (a) frames shown per second (each drawn and repainted by the window). Goal: at least 200.
//  (b) frame-to-screen latency: from the device writing the frame's first byte (its send stamp
//      in FBInfo fields 9 and 10) to the end of the window's synchronous repaint of the label.
//      Goal: median under 10 ms.
//  (c) resident memory while it runs. Goal: flat.
// Upright and turned by 90°, one after the other (goal: turned as upright), then turned with the
// device at 60 frames a second, a phone's pace. Last, for where the time goes, the window's own
// work for one frame (no network): the red/blue exchange and the repaint that draws the picture
// from the frame's buffer, turned as it is drawn (and, last, smoothed to half its size, as a
// picture fitted into a small window is drawn).
#include "bench/support/BenchDevice.h"
#include "device/PCClientControllor.h"
#include "screentools/ui/RemoteScreenDialog.h"
#include "simulator/SimFrameEncoder.h"
#include "ui_RemoteScreenDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QMenuBar>
#include <QSplitter>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <cstdio>
#include <vector>

namespace {

constexpr int kSeconds = 15;

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

struct Run
{
    double shownPerSecond = 0;
    quint64 dropped = 0;
    double medianMs = 0, p90Ms = 0;
    std::vector<long> rssKb; // one sample a second
};

// Counts frames after the window has drawn them: connected after the window, so called after it.
Run measure(PCClientControllor &deviceController, RemoteScreenDialog &window, int seconds)
{
    const auto frameSignal = &PCClientControllor::signal_obtainRemoteScreenData;
    Run run;
    std::vector<double> latencyMs;
    latencyMs.reserve(size_t(seconds) * 1000);
    const QMetaObject::Connection counter =
        QObject::connect(&deviceController, frameSignal, &window, [&](FrameBuffer &, FBInfo fbi, int) {
            latencyMs.push_back((SimFrameEncoder::nowMicros() - SimFrameEncoder::stampOf(fbi)) / 1000.0);
        });
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] { run.rssKb.push_back(statusKb("VmRSS:")); });
    sampler.start(1000);
    const quint64 droppedBefore = deviceController.frameQueue().dropped();
    QElapsedTimer timer;
    timer.start();
    runFor(seconds * 1000);
    const double elapsed = timer.elapsed() / 1000.0;
    QObject::disconnect(counter);

    run.shownPerSecond = latencyMs.size() / elapsed;
    run.dropped = deviceController.frameQueue().dropped() - droppedBefore;
    run.medianMs = percentile(latencyMs, 0.5);
    run.p90Ms = percentile(latencyMs, 0.9);
    return run;
}

void report(const char *title, const Run &run, bool sendsFlatOut = true)
{
    QString samples;
    for (size_t i = 0; i < run.rssKb.size(); i += 3)
        samples += QStringLiteral(" %1").arg(run.rssKb[i] / 1024);
    const long first = run.rssKb.empty() ? 0 : run.rssKb.front();
    long peak = 0;
    for (long kb : run.rssKb)
        peak = std::max(peak, kb);
    std::printf("%s, %d s:\n", title, kSeconds);
    std::printf("    (a) %.0f frames/s shown (%llu dropped by the receiver)", run.shownPerSecond,
                static_cast<unsigned long long>(run.dropped));
    if (sendsFlatOut)
        std::printf(" - goal at least 200: %s", run.shownPerSecond >= 200 ? "met" : "NOT met");
    std::printf("\n");
    std::printf("    (b) latency median %.2f ms, 90th percentile %.2f ms - goal median under 10 ms: %s\n", run.medianMs,
                run.p90Ms, run.medianMs < 10 ? "met" : "NOT met");
    std::printf("    (c) resident MiB every 3 s:%s; peak %ld MiB, %+ld MiB above the first second - goal flat: %s\n",
                qPrintable(samples), peak / 1024, (peak - first) / 1024, peak - first < 32 * 1024 ? "met" : "NOT met");
}

// The interface thread's share of a frame, measured on frames handed over directly.
void windowWork(RemoteScreenDialog &window, const QImage &screen, int rightClicks, const char *title)
{
    const QByteArray pixels = SimFrameEncoder::pixels(screen, 32, 0);
    const FBInfo info = SimFrameEncoder::describe(screen, 32, 0, pixels.size());
    for (int i = 0; i < rightClicks; ++i)
        window.form()->pbRightRotate->click();
    constexpr int kRounds = 300;
    std::vector<double> ms;
    for (int i = 0; i < kRounds; ++i) {
        FrameBuffer buffer = FrameBuffer::allocate(pixels.size());
        std::memcpy(buffer.data(), pixels.constData(), size_t(pixels.size()));
        QElapsedTimer timer;
        timer.start();
        window.slot_setRemoteScreen(buffer, info, 1);
        ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    for (int i = 0; i < rightClicks; ++i)
        window.form()->pbLeftRotate->click();
    std::printf("    %s: %.2f ms median, %.2f ms 90th percentile\n", title, percentile(ms, 0.5), percentile(ms, 0.9));
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString picture = testPatternFile(dir);
    DeviceThread device(picture);
    device.startListening();
    DeviceThread phone(picture, 60);
    phone.startListening();

    PCClientControllor deviceController;
    RemoteScreenDialog window(deviceController);
    const auto stream = [&window](int port) {
        startStream(window, port);
        runFor(1000); // warm up
    };
    stream(device.port);
    report("720x1280x32 as fast as the device sends, upright", measure(deviceController, window, kSeconds));
    window.form()->pbRightRotate->click();
    runFor(500);
    report("720x1280x32 as fast as the device sends, turned by 90°", measure(deviceController, window, kSeconds));
    window.close();

    deviceController.disconnectFromDevice();
    stream(phone.port);
    window.form()->pbRightRotate->click();
    runFor(500);
    report("720x1280x32 at 60 frames/s, turned by 90°", measure(deviceController, window, kSeconds), false);
    window.form()->pbLeftRotate->click();
    window.close();
    std::printf("The window's work for one 720x1280x32 frame, without the network:\n");
    const QImage screen = testPattern();
    window.show();
    windowWork(window, screen, 0, "upright");
    windowWork(window, screen, 1, "turned by 90°");
    window.form()->cbFitPicture->setChecked(true);
    window.form()->splitter->setSizes({360 + 4, 600});
    window.resize(window.width(), 640 + window.menuBar()->height() + 4);
    runFor(200);
    windowWork(window, screen, 0, "fitted into about half its size");

    for (DeviceThread *thread : {&device, &phone}) {
        thread->quit();
        thread->wait();
    }
    return 0;
}
