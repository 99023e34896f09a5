#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "runner/ScriptDebugger.h"

#include <QObject>

#include <memory>

class ActiveProject;
class DeviceSession;
class ScriptTabs;

// The active project's scripts run here, against the device of the device session ("本地运行",
// and "停止运行" to end it). The open scripts of the project are saved first, as for a build;
// without a connection, one is made, without waiting for it, to the address last entered. What
// the scripts print comes in batches from the runner's bounded queue, and the error that ends a
// run comes as values with their places: the first is opened in its script, marked. One run at
// a time; a stream the run started ends with it unless the remote screen window shows it.
class RunCommands : public QObject
{
    Q_OBJECT

public:
    RunCommands(ActiveProject &project, ScriptTabs &scripts, DeviceSession &device, QObject *parent = nullptr);
    // Stops a run that is still going and waits for its thread.
    ~RunCommands() override;

    // Starts the run, under the debugger: breakpoints stop it, and pauseAtStart before its first
    // line. Fails, saying why, while a run is going; whatever else keeps it from starting (no
    // project, a script that does not save, no device) is reported in the output.
    Status run(bool pauseAtStart = false);
    // Ends the run within a few milliseconds, whatever the script does.
    void stop();
    // From the start, while the device is still being connected to, to the end.
    bool isRunning() const { return connecting || runner.isRunning(); }
    // "正在本地运行：<project>" while a run is going, "已暂停：<project>，<where>" while it is
    // paused, else empty: for the status line.
    QString statusText() const;
    // The debugger whose runner runs the window's scripts: a run under it is to start here too,
    // so that it saves, connects, shows its output and errors and stops as every run does.
    ScriptDebugger &debugger() { return runDebugger; }

signals:
    // A run is starting: the output is cleared for it, then its lines (one or more at a time,
    // joined by "\n") and its error come.
    void signal_outputCleared();
    void signal_output(const QString &lines);
    void signal_diagnostic(const Diagnostic &found);
    // The error that ended the run, the first of its values.
    void signal_scriptError(const Diagnostic &error);
    // A run started or ended.
    void signal_runningChanged(bool running);
    // The scripts are about to load: what the debugger is to know of them, it is told now.
    void signal_scriptsStarting();

private:
    void connectEnded(bool connected);
    void startScripts();
    // A run that could not start: why, and back to none.
    void end(const QString &error);
    void takeOutput();
    void finish(ScriptRunner::Outcome outcome, const QVector<Diagnostic> &error);

    ActiveProject &project;
    ScriptTabs &scripts;
    DeviceSession &device;
    ScriptDebugger runDebugger;
    ScriptRunner &runner; // the debugger's
    QString running; // the project's name, while it runs
    QString runDirectory;
    bool connecting = false;
    bool pauseAtStart = false;
};
