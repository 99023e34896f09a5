#include "app/ui/RunCommands.h"

#include "app/ui/DeviceSession.h"
#include "common/LogQueue.h"
#include "editor/ui/ScriptTabs.h"
#include "project/ActiveProject.h"

RunCommands::RunCommands(ActiveProject &project, ScriptTabs &scripts, DeviceSession &device, QObject *parent)
    : QObject(parent)
    , project(project)
    , scripts(scripts)
    , device(device)
    , runDebugger(device.controller())
    , runner(runDebugger.runner())
{
    connect(&runner, &ScriptRunner::signal_output, this, &RunCommands::takeOutput);
    connect(&runner, &ScriptRunner::signal_finished, this, &RunCommands::finish);
    connect(&device.controller(), &PCClientControllor::signal_connectEnded, this, &RunCommands::connectEnded);
    // The device's dialogs wait while a run holds it.
    device.setInUse([this] { return isRunning(); });
    // An error nothing catches pauses the run at it; going on ends the run with it, as ever.
    connect(&runDebugger, &ScriptDebugger::signal_paused, this, [this] {
        if (runDebugger.pauseState().reason == DebugPause::Reason::Error)
            emit signal_output(QStringLiteral("脚本出错，已在出错处暂停（继续运行F5结束运行并报告错误）：")
                               + runDebugger.pauseState().message);
    });
}

RunCommands::~RunCommands() = default;

QString RunCommands::statusText() const
{
    if (!isRunning())
        return QString();
    if (!runDebugger.isPaused())
        return QStringLiteral("正在本地运行：") + running;
    const DebugPause &pause = runDebugger.pauseState();
    const DebugFrame top = pause.frames.value(0);
    return QStringLiteral("已暂停：%1，%2第%3行%4")
        .arg(running, top.script)
        .arg(top.line)
        .arg(pause.reason == DebugPause::Reason::Error ? QStringLiteral("（出错）") : QString());
}

Status RunCommands::run(bool pausedAtStart)
{
    if (isRunning())
        return fail(QStringLiteral("已有脚本在本地运行，请先停止运行。"));
    const QString directory = project.directory();
    // The run reads the scripts from disk: a script whose save failed would run its old text.
    const Status saved = directory.isEmpty() ? Status() : scripts.saveUnder(directory);
    emit signal_outputCleared();
    scripts.clearCheckMarks();
    PCClientControllor &controller = device.controller();
    const QString host = device.address();
    QString refused;
    if (directory.isEmpty())
        refused = QStringLiteral("当前未设定活动工程，无法运行。请在工程目录中右键点击一个工程，选择“设为活动工程”。");
    else if (!saved)
        refused = QStringLiteral("脚本[%1]未能保存，运行已取消。").arg(saved.error());
    else if (!controller.isConnected() && host.isEmpty())
        refused = QStringLiteral("没有可以运行脚本的设备：请先在“连接管理”中连接设备。");
    if (!refused.isEmpty()) {
        emit signal_diagnostic(Diagnostic::error(refused));
        return Status();
    }

    running = project.name();
    runDirectory = directory;
    pauseAtStart = pausedAtStart;
    if (controller.isConnected()) {
        startScripts();
    } else {
        // Without waiting: a device that does not answer would hold the window for seconds.
        emit signal_output(QStringLiteral("正在连接设备%1:%2...").arg(host).arg(PCClientControllor::kStandardPort));
        connecting = true;
        controller.beginConnect(host, PCClientControllor::kStandardPort);
        emit signal_runningChanged(true);
    }
    return Status();
}

void RunCommands::connectEnded(bool connected)
{
    if (!connecting)
        return;
    connecting = false;
    if (connected) {
        startScripts();
        return;
    }
    // Said the way kestrun-run says it.
    const PCClientSocket &socket = device.controller().controlSocket();
    end(QStringLiteral("无法连接设备%1:%2。").arg(socket.host()).arg(socket.port()));
}

void RunCommands::startScripts()
{
    const PCClientSocket &socket = device.controller().controlSocket();
    emit signal_output(QStringLiteral("本地运行工程[%1]，设备%2:%3...").arg(running, socket.host()).arg(socket.port()));
    emit signal_scriptsStarting();
    const Status started = runDebugger.start(runDirectory, pauseAtStart);
    if (started)
        emit signal_runningChanged(true);
    else
        end(started.error());
}

void RunCommands::end(const QString &error)
{
    emit signal_diagnostic(Diagnostic::error(error));
    running.clear();
    emit signal_runningChanged(false);
}

void RunCommands::stop()
{
    if (!connecting) {
        runner.stop();
        return;
    }
    connecting = false;
    device.controller().disconnectFromDevice();
    emit signal_output(QStringLiteral("本地运行已停止。"));
    running.clear();
    emit signal_runningChanged(false);
}

void RunCommands::takeOutput()
{
    // Lines the runner's queue has bounded already (the newest of a flood, none too long) go to
    // the pane in pieces of whole lines that one of its messages holds: a line at a time, a
    // flood of short lines would cost the window more than the script takes to make them.
    const QString lines = runner.takeOutput();
    constexpr int kPiece = LogQueue::kMaxMessageBytes / 3; // characters, at most 3 bytes each
    for (int from = 0; from < lines.size();) {
        int to = lines.size();
        if (to - from > kPiece) {
            const int lineEnd = lines.lastIndexOf(QLatin1Char('\n'), from + kPiece);
            to = lineEnd > from ? lineEnd : from + kPiece;
        }
        emit signal_output(lines.mid(from, to - from));
        from = to < lines.size() && lines[to] == QLatin1Char('\n') ? to + 1 : to;
    }
}

void RunCommands::finish(ScriptRunner::Outcome outcome, const QVector<Diagnostic> &error)
{
    takeOutput();
    for (const Diagnostic &line : error)
        emit signal_diagnostic(line);
    switch (outcome) {
    case ScriptRunner::Outcome::Finished:
        emit signal_output(QStringLiteral("本地运行结束。"));
        break;
    case ScriptRunner::Outcome::ScriptError:
        if (!error.isEmpty())
            emit signal_scriptError(error.first());
        emit signal_output(QStringLiteral("本地运行因脚本出错而结束。"));
        // To the error's line, as after a failed check; a place that cannot be opened is still
        // in the output.
        if (!error.isEmpty() && error.first().hasPlace())
            static_cast<void>(scripts.goTo(error.first()));
        break;
    case ScriptRunner::Outcome::Stopped:
        emit signal_output(QStringLiteral("本地运行已停止。"));
        break;
    case ScriptRunner::Outcome::DeviceLost:
        emit signal_output(QStringLiteral("本地运行因设备连接断开而结束。"));
        break;
    }
    running.clear();
    device.endUnwatchedStream();
    emit signal_runningChanged(false);
}
