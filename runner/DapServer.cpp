#include "runner/DapServer.h"

#include "common/Names.h"
#include "device/DeviceAddress.h"
#include "device/PCClientControllor.h"
#include "runner/DapReader.h"
#include "runner/ScriptDebugger.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr int kThread = 1; // the script, its coroutines included

QString reasonOf(DebugPause::Reason reason)
{
    switch (reason) {
    case DebugPause::Reason::Breakpoint: return QStringLiteral("breakpoint");
    case DebugPause::Reason::Step: return QStringLiteral("step");
    case DebugPause::Reason::Entry: return QStringLiteral("entry");
    case DebugPause::Reason::Error: return QStringLiteral("exception");
    case DebugPause::Reason::Pause: break;
    }
    return QStringLiteral("pause");
}

QString descriptionOf(DebugPause::Reason reason)
{
    switch (reason) {
    case DebugPause::Reason::Breakpoint: return QStringLiteral("断点");
    case DebugPause::Reason::Step: return QStringLiteral("单步");
    case DebugPause::Reason::Entry: return QStringLiteral("开始运行");
    case DebugPause::Reason::Error: return QStringLiteral("错误");
    case DebugPause::Reason::Pause: break;
    }
    return QStringLiteral("暂停");
}

QJsonObject variableObject(const DebugVariable &variable)
{
    return {{QStringLiteral("name"), variable.name},
            {QStringLiteral("value"), variable.value},
            {QStringLiteral("type"), variable.type},
            {QStringLiteral("variablesReference"), variable.children}};
}

} // namespace

DapServer::DapServer(std::function<void(const QByteArray &)> send, QObject *parent)
    : QObject(parent)
    , send(std::move(send))
    , controller(std::make_unique<PCClientControllor>())
    , debugger(std::make_unique<ScriptDebugger>(*controller))
{
    ScriptRunner &runner = debugger->runner();
    connect(&runner, &ScriptRunner::signal_output, this, [this] {
        const QString lines = debugger->runner().takeOutput();
        if (!lines.isEmpty())
            output(lines, "stdout");
    });
    connect(&runner, &ScriptRunner::signal_finished, this, &DapServer::finished);
    connect(debugger.get(), &ScriptDebugger::signal_paused, this, &DapServer::paused);
}

DapServer::~DapServer() = default;

void DapServer::receive(const QByteArray &bytes)
{
    if (over)
        return;
    input += bytes;
    for (;;) {
        QByteArray body;
        QString why;
        const DapReader::State state = DapReader::read(&input, &body, &why);
        if (state == DapReader::State::NeedMore)
            return;
        if (state == DapReader::State::Error) {
            emit signal_log(QStringLiteral("错误：调试客户端的消息无法读取：%1").arg(why));
            input.clear();
            exitCode = 1;
            inputEnded();
            return;
        }
        QJsonParseError error;
        const QJsonDocument message = QJsonDocument::fromJson(body, &error);
        if (!message.isObject())
            emit signal_log(QStringLiteral("错误：调试客户端的消息不是JSON对象：%1").arg(error.errorString()));
        else
            handle(message.object());
        if (over)
            return;
    }
}

void DapServer::inputEnded()
{
    ending = true;
    if (debugger->runner().isRunning()) {
        debugger->runner().stop(); // the session ends when the run has
    } else if (!over) {
        over = true;
        emit signal_ended(exitCode);
    }
}

void DapServer::handle(const QJsonObject &request)
{
    if (request.value(QStringLiteral("type")).toString() != QLatin1String("request"))
        return;
    const QString command = request.value(QStringLiteral("command")).toString();
    const QJsonObject arguments = request.value(QStringLiteral("arguments")).toObject();
    using Step = ScriptDebugger::Step;
    const auto step = [&](Step kind) {
        respond(request, kind == Step::Continue ? QJsonObject{{QStringLiteral("allThreadsContinued"), true}} : QJsonObject());
        debugger->resume(kind);
    };
    if (command == QLatin1String("initialize")) {
        lineBase = arguments.value(QStringLiteral("linesStartAt1")).toBool(true) ? 0 : 1;
        respond(request, {{QStringLiteral("supportsConfigurationDoneRequest"), true},
                          {QStringLiteral("supportsEvaluateForHovers"), true}});
        sendEvent(QStringLiteral("initialized"));
    } else if (command == QLatin1String("launch")) {
        launch(request);
    } else if (command == QLatin1String("configurationDone")) {
        configured = true;
        respond(request);
        startWhenReady();
    } else if (command == QLatin1String("setBreakpoints")) {
        setBreakpoints(request);
    } else if (command == QLatin1String("setExceptionBreakpoints")) {
        respond(request); // an error nothing catches always pauses
    } else if (command == QLatin1String("threads")) {
        respond(request, {{QStringLiteral("threads"),
                           QJsonArray{QJsonObject{{QStringLiteral("id"), kThread}, {QStringLiteral("name"), QStringLiteral("脚本")}}}}});
    } else if (command == QLatin1String("stackTrace")) {
        stackTrace(request);
    } else if (command == QLatin1String("scopes")) {
        scopes(request);
    } else if (command == QLatin1String("variables")) {
        variables(request);
    } else if (command == QLatin1String("evaluate")) {
        evaluate(request);
    } else if (command == QLatin1String("continue")) {
        step(Step::Continue);
    } else if (command == QLatin1String("next")) {
        step(Step::Over);
    } else if (command == QLatin1String("stepIn")) {
        step(Step::Into);
    } else if (command == QLatin1String("stepOut")) {
        step(Step::Out);
    } else if (command == QLatin1String("pause")) {
        respond(request);
        debugger->pause();
    } else if (command == QLatin1String("disconnect") || command == QLatin1String("terminate")) {
        disconnect(request);
    } else {
        refuse(request, QStringLiteral("不支持的请求：%1").arg(command));
    }
}

void DapServer::launch(const QJsonObject &request)
{
    const QJsonObject arguments = request.value(QStringLiteral("arguments")).toObject();
    if (launched) {
        refuse(request, QStringLiteral("已经启动过脚本"));
        return;
    }
    const QString directory = arguments.value(QStringLiteral("project")).toString();
    const QString projectDirectory = QFileInfo(directory).absoluteFilePath();
    if (directory.isEmpty() || !QFileInfo(QDir(projectDirectory).filePath(Names::projectFile())).isFile()) {
        refuse(request, QStringLiteral("[%1]不是工程目录（缺少%2）").arg(QDir::toNativeSeparators(directory), Names::projectFile()));
        return;
    }
    const Result<DeviceAddress> address = DeviceAddress::parse(arguments.value(QStringLiteral("device")).toString());
    if (!address) {
        refuse(request, address.error());
        return;
    }
    if (!controller->connectToDevice(address->host, address->port)) {
        exitCode = 2;
        refuse(request, QStringLiteral("无法连接设备%1:%2").arg(address->host).arg(address->port));
        return;
    }
    project = projectDirectory;
    pauseAtStart = arguments.value(QStringLiteral("stopOnEntry")).toBool();
    noDebug = arguments.value(QStringLiteral("noDebug")).toBool();
    launched = true;
    respond(request);
    startWhenReady();
}

void DapServer::startWhenReady()
{
    if (!launched || !configured || started)
        return;
    started = true;
    const Status running = noDebug ? debugger->runner().start(project) : debugger->start(project, pauseAtStart);
    if (!running) {
        output(QStringLiteral("错误：") + running.error(), "stderr");
        exitCode = 1;
        sendEvent(QStringLiteral("exited"), {{QStringLiteral("exitCode"), exitCode}});
        sendEvent(QStringLiteral("terminated"));
    }
}

void DapServer::setBreakpoints(const QJsonObject &request)
{
    const QJsonObject arguments = request.value(QStringLiteral("arguments")).toObject();
    const QString path = arguments.value(QStringLiteral("source")).toObject().value(QStringLiteral("path")).toString();
    if (path.isEmpty()) {
        refuse(request, QStringLiteral("断点缺少脚本路径"));
        return;
    }
    QVector<int> lines;
    for (const QJsonValue &breakpoint : arguments.value(QStringLiteral("breakpoints")).toArray())
        lines.append(ourLine(breakpoint.toObject().value(QStringLiteral("line")).toInt()));
    if (!arguments.contains(QStringLiteral("breakpoints"))) { // the older form
        for (const QJsonValue &line : arguments.value(QStringLiteral("lines")).toArray())
            lines.append(ourLine(line.toInt()));
    }
    const Result<QVector<int>> stops = debugger->setBreakpoints(path, lines);
    QJsonArray answered;
    for (int i = 0; i < lines.size(); ++i) {
        const int stop = stops ? stops->at(i) : 0;
        QJsonObject breakpoint{{QStringLiteral("verified"), stop > 0}, {QStringLiteral("line"), clientLine(stop > 0 ? stop : lines[i])}};
        if (stop <= 0)
            breakpoint.insert(QStringLiteral("message"), stops ? QStringLiteral("此行及以后没有代码") : stops.error());
        answered.append(breakpoint);
    }
    respond(request, {{QStringLiteral("breakpoints"), answered}});
}

void DapServer::stackTrace(const QJsonObject &request)
{
    if (!debugger->isPaused()) {
        refuse(request, QStringLiteral("脚本没有暂停"));
        return;
    }
    const QJsonObject arguments = request.value(QStringLiteral("arguments")).toObject();
    const QVector<DebugFrame> &frames = debugger->pauseState().frames;
    const int first = qBound(0, arguments.value(QStringLiteral("startFrame")).toInt(), frames.size());
    const int levels = arguments.value(QStringLiteral("levels")).toInt();
    const int last = levels > 0 ? qMin(frames.size(), first + levels) : frames.size();
    QJsonArray shown;
    for (int i = first; i < last; ++i) {
        const DebugFrame &frame = frames[i];
        QJsonObject object{{QStringLiteral("id"), i + 1},
                           {QStringLiteral("name"), frame.function},
                           {QStringLiteral("line"), frame.line > 0 ? clientLine(frame.line) : 0},
                           {QStringLiteral("column"), lineBase ? 0 : 1}};
        if (!frame.script.isEmpty()) {
            object.insert(QStringLiteral("source"),
                          QJsonObject{{QStringLiteral("name"), QFileInfo(frame.script).fileName()},
                                      {QStringLiteral("path"), QDir::toNativeSeparators(debugger->fileOf(frame.script))}});
        } else {
            object.insert(QStringLiteral("presentationHint"), QStringLiteral("subtle"));
        }
        shown.append(object);
    }
    respond(request, {{QStringLiteral("stackFrames"), shown}, {QStringLiteral("totalFrames"), frames.size()}});
}

void DapServer::scopes(const QJsonObject &request)
{
    const int frame = request.value(QStringLiteral("arguments")).toObject().value(QStringLiteral("frameId")).toInt() - 1;
    if (!debugger->isPaused() || frame < 0 || frame >= debugger->pauseState().frames.size()) {
        refuse(request, QStringLiteral("没有这一层调用"));
        return;
    }
    const DebugFrame &at = debugger->pauseState().frames[frame];
    QJsonArray shown;
    const auto scope = [&shown](const QString &name, int handle) {
        if (handle > 0)
            shown.append(QJsonObject{{QStringLiteral("name"), name},
                                     {QStringLiteral("variablesReference"), handle},
                                     {QStringLiteral("expensive"), false}});
    };
    scope(QStringLiteral("局部变量"), at.locals);
    scope(QStringLiteral("上值"), at.upvalues);
    scope(QStringLiteral("全局变量"), debugger->pauseState().globals);
    respond(request, {{QStringLiteral("scopes"), shown}});
}

void DapServer::variables(const QJsonObject &request)
{
    const int handle = request.value(QStringLiteral("arguments")).toObject().value(QStringLiteral("variablesReference")).toInt();
    debugger->variables(handle, [this, request](const QVector<DebugVariable> &found) {
        QJsonArray shown;
        for (const DebugVariable &variable : found)
            shown.append(variableObject(variable));
        respond(request, {{QStringLiteral("variables"), shown}});
    });
}

void DapServer::evaluate(const QJsonObject &request)
{
    const QJsonObject arguments = request.value(QStringLiteral("arguments")).toObject();
    const int frame = qMax(arguments.value(QStringLiteral("frameId")).toInt(), 1) - 1;
    debugger->evaluate(arguments.value(QStringLiteral("expression")).toString(), frame,
                       [this, request](const Result<DebugVariable> &value) {
                           if (!value) {
                               refuse(request, value.error());
                               return;
                           }
                           respond(request, {{QStringLiteral("result"), value->value},
                                             {QStringLiteral("type"), value->type},
                                             {QStringLiteral("variablesReference"), value->children}});
                       });
}

void DapServer::disconnect(const QJsonObject &request)
{
    respond(request);
    inputEnded();
}

void DapServer::paused()
{
    const DebugPause &pause = debugger->pauseState();
    QJsonObject body{{QStringLiteral("reason"), reasonOf(pause.reason)},
                     {QStringLiteral("description"), descriptionOf(pause.reason)},
                     {QStringLiteral("threadId"), kThread},
                     {QStringLiteral("allThreadsStopped"), true}};
    if (!pause.message.isEmpty())
        body.insert(QStringLiteral("text"), pause.message);
    sendEvent(QStringLiteral("stopped"), body);
}

void DapServer::finished(ScriptRunner::Outcome outcome, const QStringList &error)
{
    const QString lines = debugger->runner().takeOutput();
    if (!lines.isEmpty())
        output(lines, "stdout");
    if (!error.isEmpty())
        output(error.join(QLatin1Char('\n')), "stderr");
    switch (outcome) {
    case ScriptRunner::Outcome::Finished: exitCode = 0; break;
    case ScriptRunner::Outcome::DeviceLost: exitCode = 2; break;
    case ScriptRunner::Outcome::ScriptError:
    case ScriptRunner::Outcome::Stopped: exitCode = 1; break;
    }
    sendEvent(QStringLiteral("exited"), {{QStringLiteral("exitCode"), exitCode}});
    sendEvent(QStringLiteral("terminated"));
    if (ending && !over) {
        over = true;
        emit signal_ended(exitCode);
    }
}

void DapServer::output(const QString &text, const char *category)
{
    sendEvent(QStringLiteral("output"),
              {{QStringLiteral("category"), QLatin1String(category)}, {QStringLiteral("output"), text + QLatin1Char('\n')}});
}

void DapServer::respond(const QJsonObject &request, const QJsonObject &body)
{
    QJsonObject message{{QStringLiteral("type"), QStringLiteral("response")},
                        {QStringLiteral("request_seq"), request.value(QStringLiteral("seq"))},
                        {QStringLiteral("command"), request.value(QStringLiteral("command"))},
                        {QStringLiteral("success"), true}};
    if (!body.isEmpty())
        message.insert(QStringLiteral("body"), body);
    sendMessage(message);
}

void DapServer::refuse(const QJsonObject &request, const QString &text)
{
    sendMessage({{QStringLiteral("type"), QStringLiteral("response")},
                 {QStringLiteral("request_seq"), request.value(QStringLiteral("seq"))},
                 {QStringLiteral("command"), request.value(QStringLiteral("command"))},
                 {QStringLiteral("success"), false},
                 {QStringLiteral("message"), text}});
}

void DapServer::sendEvent(const QString &event, const QJsonObject &body)
{
    QJsonObject message{{QStringLiteral("type"), QStringLiteral("event")}, {QStringLiteral("event"), event}};
    if (!body.isEmpty())
        message.insert(QStringLiteral("body"), body);
    sendMessage(message);
}

void DapServer::sendMessage(QJsonObject message)
{
    message.insert(QStringLiteral("seq"), ++sequence);
    send(DapReader::frame(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}
