// The window while a script run floods "本地输出" with log lines as fast as Lua makes them, against
// the simulated device, then is stopped with "停止运行". A timer ticking every 5 ms measures how
// long the interface thread is kept from its event loop.
// Goals: the interface thread never waits longer than 100 ms, during the flood nor while the
// pane catches up after it; the window shows the run ended (the menu, the status line) within
// 100 ms of the stop. Printed too: when the pane has shown the run's last line.
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/RunCommands.h"
#include "common/ui/LogView.h"
#include "support/BenchDevice.h"
#include "support/BenchProject.h"
#include "ui_ProjectManagerWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTimer>

#include <cstdio>

namespace {

constexpr int kFloodMs = 5000;

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const BenchProject project(QStringLiteral("flood"), "local i = 0\nwhile true do\n  i = i + 1\n  log('flood ' .. i)\nend\n");

    SimOptions options;
    options.scene = SimOptions::Scene::Test;
    DeviceThread device(options);
    device.startListening();
    ProjectManagerWindow window;
    window.resize(1200, 800);
    window.show();
    window.setActiveProject(QStringLiteral("flood"));
    if (!window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), device.port))
        qFatal("cannot reach the simulated device");

    QElapsedTimer clock;
    qint64 lastTurn = 0;
    qint64 longestWaitMs = 0;
    int turns = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestWaitMs = qMax(longestWaitMs, now - lastTurn);
        lastTurn = now;
        ++turns;
    });
    LogView *pane = window.form()->outText;
    qint64 stoppedAt = -1;
    qint64 endedMs = -1;
    qint64 lastLineMs = -1;
    QObject::connect(&window.runs(), &RunCommands::signal_runningChanged, [&](bool running) {
        if (!running && stoppedAt >= 0)
            endedMs = clock.elapsed() - stoppedAt;
    });
    QObject::connect(&ticks, &QTimer::timeout, [&] {
        if (endedMs < 0 || pane->document()->lastBlock().text() != QStringLiteral("本地运行已停止。"))
            return;
        lastLineMs = clock.elapsed() - stoppedAt;
        app.quit();
    });
    clock.start();
    ticks.start(5);
    window.form()->local_run_action->trigger();
    if (!window.runs().isRunning())
        qFatal("the run did not start");
    QTimer::singleShot(kFloodMs + 60000, &app, &QApplication::quit); // the pane never caught up
    QTimer::singleShot(kFloodMs, [&] {
        stoppedAt = clock.elapsed();
        window.form()->stop_run_action->trigger();
    });
    app.exec();
    device.quit();
    device.wait();

    std::printf("A run logging as fast as it can for %d s into 本地输出, machine possibly shared\n", kFloodMs / 1000);
    std::printf("  %d event loop turns; the pane holds %d lines, the last flood line \"%s\"\n", turns, pane->blockCount(),
                qPrintable(pane->document()->lastBlock().previous().text()));
    std::printf("  longest wait of the interface thread: %lld ms (goal: under 100 ms) %s\n", longestWaitMs,
                longestWaitMs < 100 ? "ok" : "MISSED");
    std::printf("  stop to the run's end shown in the menu and status line: %lld ms (goal: under 100 ms) %s\n", endedMs,
                endedMs >= 0 && endedMs < 100 ? "ok" : "MISSED");
    std::printf("  stop to the run's last line shown in the pane: %lld ms\n", lastLineMs);
    return longestWaitMs < 100 && endedMs >= 0 && endedMs < 100 ? 0 : 1;
}
