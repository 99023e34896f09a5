// Scripts run under the debugger. Goals:
//  - a CPU-bound Lua loop with no breakpoint set takes at most 1.3 times as long as under the
//    plain runner, and at most 3 times with breakpoints set elsewhere (in lines the loop does not
//    run, in its own script and another);
//  - from a step asked for to the pause at the next line (the frames known, where the editor
//    marks the line) under 50 ms;
//  - pausing a busy loop shows its line within 100 ms.
#include "device/PCClientControllor.h"
#include "runner/ScriptDebugger.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

// The runner's own benchmark loop: arithmetic, calls and table reads.
const char kCpuLoop[] = "local function f(x) return x * 2 + 1 end\n"
                        "local t = {1, 2, 3, 4, 5, 6, 7, 8}\n"
                        "local s = 0\n"
                        "for i = 1, 20000000 do s = s + f(i % 7) + t[i % 8 + 1] end\n"
                        "local function never()\n"
                        "  return s\n"
                        "end\n";

void writeFile(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
}

QString makeProject(const QTemporaryDir &dir, const QByteArray &script)
{
    const QString project = dir.filePath(QStringLiteral("p"));
    writeFile(project + QStringLiteral("/ks.project"), "<project>\r\n <name>p</name>\r\n</project>\r\n");
    writeFile(project + QStringLiteral("/main.script"), script);
    writeFile(project + QStringLiteral("/lib/other.lua"), "local a = 1\nlocal b = 2\nlocal c = 3\nlocal d = 4\nreturn a + b + c + d\n");
    return project;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// Waits, asleep as the IDE's interface is, until the debugger pauses or the run ends.
void waitFor(ScriptDebugger &debugger, bool pause)
{
    QEventLoop loop;
    const auto a = QObject::connect(&debugger, &ScriptDebugger::signal_paused, &loop, [&] {
        if (pause)
            loop.quit();
    });
    const auto b = QObject::connect(&debugger.runner(), &ScriptRunner::signal_finished, &loop,
                                    [&](ScriptRunner::Outcome outcome, QStringList error) {
                                        if (pause || outcome != ScriptRunner::Outcome::Finished)
                                            qFatal("the run ended: %s", qPrintable(error.join('\n')));
                                        loop.quit();
                                    });
    loop.exec();
    QObject::disconnect(a);
    QObject::disconnect(b);
}

// line 0 clears the file's breakpoints.
void setBreakpoint(ScriptDebugger &debugger, const QString &file, int line)
{
    const Result<QVector<int>> set = debugger.setBreakpoints(file, line > 0 ? QVector<int>{line} : QVector<int>());
    if (!set)
        qFatal("%s", qPrintable(set.error()));
}

double runToEnd(PCClientControllor &controller, const QString &project, int mode)
{
    ScriptDebugger debugger(controller);
    if (mode >= 2) {
        setBreakpoint(debugger, project + QStringLiteral("/main.script"), 6);
        setBreakpoint(debugger, project + QStringLiteral("/lib/other.lua"), mode == 3 ? 4 : 2);
    }
    QElapsedTimer clock;
    clock.start();
    const Status started = mode == 0 ? debugger.runner().start(project) : debugger.start(project);
    if (!started)
        qFatal("cannot start: %s", qPrintable(started.error()));
    waitFor(debugger, false);
    return clock.nsecsElapsed() / 1e6;
}

void hookOverhead()
{
    QTemporaryDir dir;
    const QString project = makeProject(dir, kCpuLoop);
    PCClientControllor controller;
    QVector<double> times[4];
    for (int round = 0; round < 5; ++round) { // in turn, so that a busy moment of the machine hits all
        for (int mode = 0; mode < 4; ++mode)
            times[mode] << runToEnd(controller, project, mode);
    }
    const auto best = [&](int mode) { return *std::min_element(times[mode].begin(), times[mode].end()); };
    std::printf("CPU-bound loop, best of 5: plain runner %.0f ms\n", best(0));
    std::printf("  under the debugger, no breakpoint: %.0f ms = %.2f times (goal: at most 1.3)\n", best(1), best(1) / best(0));
    std::printf("  breakpoints elsewhere: %.0f ms = %.2f times (goal: at most 3)\n", best(2), best(2) / best(0));
    std::printf("  a breakpoint in another script on the loop's line number: %.0f ms = %.2f times (goal: at most 3)\n",
                best(3), best(3) / best(0));
}

// Steps over the lines of a loop inside a few calls, with tables and strings among the locals.
void stepToNextLine()
{
    QTemporaryDir dir;
    const QString project = makeProject(dir, "local function inner(depth)\n"
                                             "  local t, s = {1, 2, 3, x = {}}, string.rep('x', 1000)\n"
                                             "  if depth > 0 then return inner(depth - 1) + 1 end\n"
                                             "  local n = 0\n"
                                             "  for i = 1, 100000 do\n"
                                             "    n = n + i\n"
                                             "  end\n"
                                             "  return n\n"
                                             "end\n"
                                             "inner(30)\n");
    PCClientControllor controller;
    ScriptDebugger debugger(controller);
    setBreakpoint(debugger, project + QStringLiteral("/main.script"), 5);
    if (!debugger.start(project))
        qFatal("cannot start");
    waitFor(debugger, true);
    setBreakpoint(debugger, project + QStringLiteral("/main.script"), 0);
    QVector<double> steps;
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer clock;
        clock.start();
        debugger.resume(ScriptDebugger::Step::Over);
        waitFor(debugger, true);
        steps << clock.nsecsElapsed() / 1e6;
    }
    debugger.resume(ScriptDebugger::Step::Continue);
    waitFor(debugger, false);
    std::printf("Step over, 32 frames deep (%d steps): median %.2f ms, slowest %.2f ms (goal: under 50 ms)\n",
                int(steps.size()), median(steps), *std::max_element(steps.begin(), steps.end()));
}

void pauseBusyLoop()
{
    QTemporaryDir dir;
    const QString project = makeProject(dir, "local n = 0\nwhile true do\n  n = n + 1\nend\n");
    PCClientControllor controller;
    QVector<double> pauses;
    for (int i = 0; i < 10; ++i) {
        ScriptDebugger debugger(controller);
        if (!debugger.start(project))
            qFatal("cannot start");
        QEventLoop loop;
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();
        QElapsedTimer clock;
        clock.start();
        debugger.pause();
        waitFor(debugger, true);
        pauses << clock.nsecsElapsed() / 1e6;
        if (debugger.pauseState().frames.value(0).line < 2)
            qFatal("paused without its line");
        debugger.runner().stop();
        QEventLoop end;
        QObject::connect(&debugger.runner(), &ScriptRunner::signal_finished, &end, &QEventLoop::quit);
        end.exec();
    }
    std::printf("Pause a busy loop (%d times): median %.2f ms, slowest %.2f ms (goal: within 100 ms)\n",
                int(pauses.size()), median(pauses), *std::max_element(pauses.begin(), pauses.end()));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    hookOverhead();
    stepToNextLine();
    pauseBusyLoop();
    return 0;
}
