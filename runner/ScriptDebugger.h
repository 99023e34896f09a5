#pragma once

#include "common/Result.h"
#include "runner/DebugData.h"
#include "runner/DebugEngine.h"
#include "runner/ScriptRunner.h"

#include <QHash>
#include <QObject>
#include <QVector>

#include <functional>
#include <memory>
#include <optional>

class PCClientControllor;

// Scripts run under the debugger: the headless core shared by the IDE and the debug adapter
// (kestrun-run --dap). Lives on the interface thread; the engine works on the script's thread and
// its answers come back here by queued calls.
//
// Breakpoints are set by file (absolute path) and kept between runs; a run stops at those of its
// project's scripts. While paused, the frames are at hand (pauseState()); variables and watch
// expressions are read on the script's thread and answered later.
class ScriptDebugger : public QObject
{
    Q_OBJECT

public:
    using Step = DebugEngine::Step;

    explicit ScriptDebugger(PCClientControllor &controller, QObject *parent = nullptr);
    ~ScriptDebugger() override;

    // Output, the end of a run, and its stop.
    ScriptRunner &runner() { return scriptRunner; }
    // Starts the project's scripts under the debugger; pauseAtStart stops before their first line.
    Status start(const QString &projectDirectory, bool pauseAtStart = false);
    // The breakpoints of a script file, each line moved to the first line with code at or after it
    // in the file as it is now; gives those lines, 0 for one with no code after it, or fails (and
    // keeps them as asked) when the script does not compile.
    Result<QVector<int>> setBreakpoints(const QString &file, const QVector<int> &lines);
    // How breakpoints name a script file: its clean absolute path.
    static QString fileKey(const QString &path);

    // Whether an error nothing catches pauses the runs from now on (as at first) or ends them.
    void setStopAtErrors(bool stops);

    bool isPaused() const { return paused.has_value(); }
    // While paused.
    const DebugPause &pauseState() const { return *paused; }
    void resume(Step step);
    void pause();
    // Answered on this thread; while not paused, with nothing.
    void variables(int handle, std::function<void(QVector<DebugVariable>)> answer);
    // In a frame of pauseState().
    void evaluate(const QString &expression, int frame, std::function<void(Result<DebugVariable>)> answer);

    // The project's script a file is ("lib/a.lua"), empty for a file outside the project; and back.
    QString scriptOf(const QString &file) const;
    QString fileOf(const QString &script) const;

signals:
    void signal_paused();
    void signal_resumed();

private:
    void tellEngine(const QString &file);
    // Runs f on this object's thread, from the script's.
    void post(std::function<void()> f);

    std::shared_ptr<DebugEngine> engine; // the current or last run's, outlives its thread
    ScriptRunner scriptRunner;
    QString project;
    QHash<QString, QVector<int>> breakpoints; // by file, as asked
    std::optional<DebugPause> paused;
    bool errorsStop = true;
};
