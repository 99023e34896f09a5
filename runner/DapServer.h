#pragma once

#include "runner/DebugData.h"
#include "runner/ScriptRunner.h"

#include <QJsonObject>
#include <QObject>

#include <functional>
#include <memory>

class PCClientControllor;
class ScriptDebugger;

// The debugger spoken as the Debug Adapter Protocol, for a code editor with a generic debug
// client (kestrun-run --dap): initialize, launch (arguments "project", the project directory, and
// "device", "host[:port]"; "stopOnEntry" and "noDebug" too), setBreakpoints by the script's
// absolute path, configurationDone, threads, stackTrace, scopes, variables, evaluate, continue,
// next, stepIn, stepOut, pause, disconnect; events initialized, stopped, output, exited,
// terminated. The script's coroutines are one thread of the protocol: its stack runs through
// them. The run starts once both launch and configurationDone have come.
class DapServer : public QObject
{
    Q_OBJECT

public:
    // Messages to the client, framed, go to send.
    explicit DapServer(std::function<void(const QByteArray &)> send, QObject *parent = nullptr);
    ~DapServer() override;

    // Bytes from the client as they come.
    void receive(const QByteArray &bytes);
    // The client's input has ended: the session ends as on disconnect.
    void inputEnded();

signals:
    // The session is over; the adapter exits with the code (that of the run, as kestrun-run's).
    void signal_ended(int exitCode);
    // What the adapter has to say about the protocol itself, for its standard error.
    void signal_log(const QString &line);

private:
    void handle(const QJsonObject &request);
    void launch(const QJsonObject &request);
    void setBreakpoints(const QJsonObject &request);
    void stackTrace(const QJsonObject &request);
    void scopes(const QJsonObject &request);
    void variables(const QJsonObject &request);
    void evaluate(const QJsonObject &request);
    void disconnect(const QJsonObject &request);
    void startWhenReady();
    void finished(ScriptRunner::Outcome outcome, const QStringList &error);
    void paused();
    void output(const QString &text, const char *category);

    void respond(const QJsonObject &request, const QJsonObject &body = QJsonObject());
    void refuse(const QJsonObject &request, const QString &message);
    void sendEvent(const QString &event, const QJsonObject &body = QJsonObject());
    void sendMessage(QJsonObject message);
    int clientLine(int line) const { return line - lineBase; }
    int ourLine(int line) const { return line + lineBase; }

    const std::function<void(const QByteArray &)> send;
    std::unique_ptr<PCClientControllor> controller;
    std::unique_ptr<ScriptDebugger> debugger;
    QByteArray input;
    int sequence = 0;
    int lineBase = 0; // 1 when the client counts lines from 0
    QString project;
    bool launched = false;
    bool configured = false;
    bool started = false;
    bool pauseAtStart = false;
    bool noDebug = false;
    bool ending = false;
    bool over = false;
    int exitCode = 0;
};
