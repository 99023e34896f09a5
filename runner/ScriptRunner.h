#pragma once

#include "common/Result.h"
#include "device/FBInfo.h"
#include "runner/RunSession.h"

#include <QObject>
#include <QString>
#include <QVector>

#include <memory>

class DeviceLink;
class PCClientControllor;
class QThread;
class RunGate;
class RunOutput;
class ScriptHook;

// Runs a project's scripts on the PC against the device of the controller: the headless core
// of "本地运行" and of kestrun-run. The scripts run on a thread of their own, in one Lua state
// that only that thread touches; what they print and how they end come back here by queued
// signals. Lives on the controller's (the interface) thread.
class ScriptRunner : public QObject
{
    Q_OBJECT

public:
    using Outcome = RunSession::Outcome;

    explicit ScriptRunner(PCClientControllor &controller, QObject *parent = nullptr);
    // Stops a run that is still going and waits for its thread.
    ~ScriptRunner() override;

    // Starts the scripts of the project directory (its main.script); fails without starting
    // when a run is going or the directory holds no main script. hook, when given, watches
    // every step (it must outlive the run).
    Status start(const QString &projectDirectory, ScriptHook *hook = nullptr);
    // Ends the run, whatever the script is doing, within a few milliseconds.
    void stop();
    bool isRunning() const { return thread != nullptr; }

    // The lines printed since the last call, joined by "\n"; signal_output says when there are.
    QString takeOutput();
    // A line of a run's error as a terminal shows it: Lua's messages start with their place, as a
    // compiler's do; the runner's own with "错误：".
    static QString errorText(const Diagnostic &line);

signals:
    // Lines wait in takeOutput(); said once until they are taken.
    void signal_output();
    // The run has ended; error holds its message and the frames that led to it, with their
    // places (RunSession::Ending). The output is complete when this is said.
    void signal_finished(ScriptRunner::Outcome outcome, QVector<Diagnostic> error);
    // A read of the screen saw this frame, after `inputs` touches or keys were sent, the last
    // sinceInput microseconds before (-1 before any): for tracing and measuring.
    void signal_screenRead(FBInfo frame, int inputs, qint64 sinceInput);

private:
    void ended();

    PCClientControllor &controller;
    std::shared_ptr<RunGate> gate;
    std::shared_ptr<RunOutput> output;
    std::shared_ptr<DeviceLink> link;
    QThread *thread = nullptr;
    RunSession::Ending ending;
};

Q_DECLARE_METATYPE(ScriptRunner::Outcome)
