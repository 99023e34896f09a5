// Debugging through the main window (offscreen) against the simulated device: how soon a step
// shows its line, and how soon a pause shows where a busy loop is. Each is measured from the
// menu action the key triggers to the moment the window has marked the line in its script (the
// call stack and the variables pane are filled in the same turn; their values follow).
// Goals: a step to the marked line under 50 ms; pausing a busy loop shows its line within 100 ms.
#include "app/ui/DebugCommands.h"
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/RunCommands.h"
#include "common/ui/LogView.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "runner/ui/BreakpointMarks.h"
#include "runner/ui/EditorBreakpoints.h"
#include "support/BenchDevice.h"
#include "support/BenchProject.h"
#include "ui_ProjectManagerWindow.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kSteps = 300;
constexpr int kPauses = 30;
constexpr int kLoopLine = kSteps + 4; // the busy loop's

// Waits, turning the event loop, until done() holds; the milliseconds it took, -1 after 5 s.
double waitMs(const std::function<bool()> &done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > 5000)
            return -1;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return clock.nsecsElapsed() / 1e6;
}

struct Figures
{
    double median = -1;
    double p95 = -1;
    double worst = -1;
};

Figures figuresOf(QVector<double> ms)
{
    if (ms.isEmpty() || std::count(ms.begin(), ms.end(), -1.0) > 0)
        return {};
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[qMin(ms.size() - 1, ms.size() * 95 / 100)], ms.last()};
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A line for each step, the first hundred adding a local (the variables pane grows with
    // them), the rest a global; then a busy loop in a function.
    QByteArray script;
    for (int i = 1; i <= kSteps + 1; ++i)
        script += (i <= 100 ? "local v" : "v") + QByteArray::number(i) + " = " + QByteArray::number(i) + "\n";
    script += "local function spin()\n  local n = 0\n  while true do n = n + 1 end\nend\nspin()\n";
    const BenchProject project(QStringLiteral("steps"), script);
    const QString main = project.mainScriptPath();

    SimOptions options;
    options.scene = SimOptions::Scene::Test;
    DeviceThread device(options);
    device.startListening();
    ProjectManagerWindow window;
    window.resize(1400, 900);
    window.show();
    window.setActiveProject(QStringLiteral("steps"));
    if (!window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), device.port))
        qFatal("cannot reach the simulated device");
    window.openScript(main);
    ScriptEditor *editor = window.scripts().editorFor(main);
    if (!editor)
        qFatal("cannot open the script");
    window.debugging().breakpoints().toggle(editor, 1);
    const BreakpointMarks *marks = BreakpointMarks::find(editor);
    Ui::ProjectManagerWindow &form = *window.form();

    form.local_run_action->trigger();
    if (waitMs([&] { return marks->pauseLine() == 1; }) < 0)
        qFatal("the run did not stop at its breakpoint: %s", qPrintable(form.outText->toPlainText()));
    window.debugging().breakpoints().toggle(editor, 1);
    QVector<double> steps;
    for (int line = 2; line <= kSteps + 1; ++line) {
        form.step_over_action->trigger();
        steps.append(waitMs([&] { return marks->pauseLine() == line; }));
    }

    QVector<double> pauses;
    for (int i = 0; i < kPauses; ++i) {
        form.continue_run_action->trigger();
        if (waitMs([&] { return marks->pauseLine() == 0; }) < 0)
            break;
        QElapsedTimer busy; // the loop runs a while first
        busy.start();
        while (busy.elapsed() < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        form.pause_run_action->trigger();
        pauses.append(waitMs([&] { return marks->pauseLine() == kLoopLine; }));
    }
    form.stop_run_action->trigger();
    waitMs([&] { return !window.runs().isRunning(); });
    device.quit();
    device.wait();

    const Figures step = figuresOf(steps);
    const Figures pause = figuresOf(pauses);
    const bool stepOk = step.median >= 0 && step.p95 < 50;
    const bool pauseOk = pause.median >= 0 && pause.p95 < 100;
    std::printf("Debugging through the window against the simulated device, machine possibly shared\n");
    std::printf("  step over (F10) to the marked line, %d steps, up to 100 locals shown: median %.1f ms, "
                "95th percentile %.1f ms, worst %.1f ms (goal: under 50 ms) %s\n",
                int(steps.size()), step.median, step.p95, step.worst, stepOk ? "ok" : "MISSED");
    std::printf("  pause of a busy loop to its marked line, %d pauses: median %.1f ms, 95th percentile %.1f ms, "
                "worst %.1f ms (goal: within 100 ms) %s\n",
                int(pauses.size()), pause.median, pause.p95, pause.worst, pauseOk ? "ok" : "MISSED");
    return stepOk && pauseOk ? 0 : 1;
}
