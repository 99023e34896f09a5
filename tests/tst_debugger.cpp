// Scripts run under the debugger: where breakpoints and steps pause through calls, recursion,
// tail calls, errors, coroutines and included files; values read raw; watch expressions; the
// Debug Adapter Protocol spoken by kestrun-run --dap to a small client.
#include "device/PCClientControllor.h"
#include "runner/DapReader.h"
#include "runner/ScriptDebugger.h"
#include "support/SimulatorRun.h"
#include "support/TestWorkspace.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A run under the debugger to its end; atPause is told of each pause and goes on from it.
struct Driven
{
    QStringList pauses; // "path:line", "!" after an error's
    QStringList output;
    bool ended = false;
    ScriptRunner::Outcome outcome = ScriptRunner::Outcome::Stopped;
};

Driven drive(ScriptDebugger &debugger, const QString &project, const std::function<void()> &atPause,
             const std::function<void(const QStringList &output)> &onOutput = nullptr)
{
    Driven run;
    QEventLoop loop;
    const auto take = [&] {
        const QString lines = debugger.runner().takeOutput();
        if (!lines.isEmpty())
            run.output += lines.split(QLatin1Char('\n'));
        if (onOutput)
            onOutput(run.output);
    };
    QObject::connect(&debugger.runner(), &ScriptRunner::signal_output, &loop, take);
    QObject::connect(&debugger, &ScriptDebugger::signal_paused, &loop, [&] {
        const DebugFrame top = debugger.pauseState().frames.value(0);
        run.pauses << QStringLiteral("%1:%2%3").arg(top.script).arg(top.line).arg(
            debugger.pauseState().reason == DebugPause::Reason::Error ? QStringLiteral("!") : QString());
        atPause();
    });
    QObject::connect(&debugger.runner(), &ScriptRunner::signal_finished, &loop, [&](ScriptRunner::Outcome outcome) {
        take();
        run.ended = true;
        run.outcome = outcome;
        loop.quit();
    });
    if (!debugger.start(project))
        return run;
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return run;
}

// An answer of the script's thread, waited for.
QVector<DebugVariable> childrenOf(ScriptDebugger &debugger, int handle)
{
    QVector<DebugVariable> found;
    bool answered = false;
    debugger.variables(handle, [&](const QVector<DebugVariable> &children) {
        found = children;
        answered = true;
    });
    if (!QTest::qWaitFor([&] { return answered; }, 10000))
        qWarning("no answer for handle %d", handle);
    return found;
}

Result<DebugVariable> evaluated(ScriptDebugger &debugger, const QString &expression, int frame)
{
    std::optional<Result<DebugVariable>> found;
    debugger.evaluate(expression, frame, [&](const Result<DebugVariable> &value) { found = value; });
    if (!QTest::qWaitFor([&] { return found.has_value(); }, 10000))
        return fail(QStringLiteral("no answer"));
    return *found;
}

DebugVariable named(const QVector<DebugVariable> &list, const QString &name)
{
    for (const DebugVariable &variable : list) {
        if (variable.name == name)
            return variable;
    }
    return {QStringLiteral("(none)"), QString(), QString(), 0};
}

} // namespace

class DebuggerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void pauseLines_data();
    void pauseLines();
    void breakpointInAnEarlierCoroutine();
    void pauseInAWaitThenStop();
    void valuesReadRaw();
    void framesNamed();
    void watches_data();
    void watches();
    void adapterSession();
    void adapterFraming_data();
    void adapterFraming();

private:
    void writeScripts(const QStringList &files);

    TestWorkspace *ws = nullptr;
    QString project;
};

void DebuggerTest::init()
{
    ws = new TestWorkspace;
    project = ws->makeProject(QStringLiteral("p"));
}

void DebuggerTest::cleanup()
{
    delete ws;
    ws = nullptr;
}

void DebuggerTest::writeScripts(const QStringList &files)
{
    for (int i = 0; i + 1 < files.size(); i += 2)
        ws->writeFile(QStringLiteral("工程目录/p/") + files[i], files[i + 1].toUtf8());
}

void DebuggerTest::pauseLines_data()
{
    QTest::addColumn<QStringList>("files");       // path, text, path, text, ...
    QTest::addColumn<QStringList>("breakpoints"); // path:line
    QTest::addColumn<QString>("steps");           // at each pause in turn: in, over, out, stop; then continue
    QTest::addColumn<QString>("pauses");

    const QString calls = "local function add(a, b)\n"
                          "  local s = a + b\n"
                          "  return s\n"
                          "end\n"
                          "local x = add(1, 2)\n"
                          "local y = add(x, 3)\n"
                          "log(y)\n";
    QTest::newRow("calls") << QStringList{"main.script", calls} << QStringList{"main.script:5"} << "in over over over"
                           << "main.script:5 main.script:2 main.script:3 main.script:6 main.script:7";
    QTest::newRow("stopped while paused") << QStringList{"main.script", calls} << QStringList{"main.script:2"} << "stop"
                                          << "main.script:2";
    QTest::newRow("out of a call") << QStringList{"main.script", calls} << QStringList{"main.script:2"} << "out"
                                   << "main.script:2 main.script:6 main.script:2";

    const QString recursion = "local function fact(n)\n"
                              "  if n <= 1 then return 1 end\n"
                              "  return n * fact(n - 1)\n"
                              "end\n"
                              "local r = fact(3)\n"
                              "log(r)\n";
    QTest::newRow("over a recursive call") << QStringList{"main.script", recursion} << QStringList{"main.script:5"}
                                           << "in over over" << "main.script:5 main.script:2 main.script:3 main.script:6";
    QTest::newRow("out of a recursive call") << QStringList{"main.script", recursion} << QStringList{"main.script:5"}
                                             << "in over in out"
                                             << "main.script:5 main.script:2 main.script:3 main.script:2 main.script:6";
    QTest::newRow("breakpoint in a recursion") << QStringList{"main.script", recursion} << QStringList{"main.script:3"}
                                               << "" << "main.script:3 main.script:3";

    const QString tail = "local function last(n)\n"
                         "  return n + 1\n"
                         "end\n"
                         "local function middle(n)\n"
                         "  return last(n * 2)\n"
                         "end\n"
                         "local v = middle(1)\n"
                         "log(v)\n";
    QTest::newRow("over a tail call") << QStringList{"main.script", tail} << QStringList{"main.script:7"} << "in over"
                                      << "main.script:7 main.script:5 main.script:8";
    QTest::newRow("into a tail call, out") << QStringList{"main.script", tail} << QStringList{"main.script:7"}
                                           << "in in out" << "main.script:7 main.script:5 main.script:2 main.script:8";

    QTest::newRow("error inside pcall")
        << QStringList{"main.script", "local function fails()\n  error('boom')\nend\nlocal ok = pcall(fails)\nlog(ok)\n"}
        << QStringList{"main.script:4"} << "in over" << "main.script:4 main.script:2 main.script:5";
    QTest::newRow("error nothing catches")
        << QStringList{"main.script", "local t = {}\nlocal function bad()\n  return t.x.y\nend\nbad()\n"} << QStringList()
        << "" << "main.script:3!";
    QTest::newRow("script that does not compile") << QStringList{"main.script", "local x = = 1\n"} << QStringList()
                                                  << "" << "";
    QTest::newRow("error out of a wrapped coroutine")
        << QStringList{"main.script", "local f = coroutine.wrap(function()\n  local inside = 1\n  error('deep')\nend)\nf()\n"}
        << QStringList() << "" << "main.script:3!";

    const QString coroutine = "local co = coroutine.create(function(a)\n"
                              "  local b = coroutine.yield(a + 1)\n"
                              "  return b * 2\n"
                              "end)\n"
                              "local _, x = coroutine.resume(co, 1)\n"
                              "local _, y = coroutine.resume(co, x)\n"
                              "log(y)\n";
    QTest::newRow("over a resume, into one, out of the coroutine")
        << QStringList{"main.script", coroutine} << QStringList{"main.script:5"} << "over in over"
        << "main.script:5 main.script:6 main.script:3 main.script:7";
    QTest::newRow("over a yield") << QStringList{"main.script", coroutine} << QStringList{"main.script:5"} << "in over"
                                  << "main.script:5 main.script:2 main.script:6";
    QTest::newRow("wrapped coroutine")
        << QStringList{"main.script", "local gen = coroutine.wrap(function()\n  for i = 1, 2 do\n    coroutine.yield(i)\n"
                                      "  end\nend)\nlocal a = gen()\nlocal b = gen()\nlog(a + b)\n"}
        << QStringList{"main.script:3"} << "over over" << "main.script:3 main.script:7 main.script:3";

    const QStringList included{"main.script", "include('lib/util.lua')\nlocal v = double(4)\nlog(v)\n", "lib/util.lua",
                               "-- helpers\nfunction double(n)\n\n  return n * 2\nend\n"};
    QTest::newRow("included file, on a line without code") << included << QStringList{"lib/util.lua:3"} << "out"
                                                           << "lib/util.lua:4 main.script:3";
    QTest::newRow("into an included file") << included << QStringList{"main.script:2"} << "in over"
                                           << "main.script:2 lib/util.lua:4 main.script:3";
}

void DebuggerTest::pauseLines()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, breakpoints);
    QFETCH(QString, steps);
    QFETCH(QString, pauses);
    writeScripts(files);
    PCClientControllor controller;
    ScriptDebugger debugger(controller);
    for (const QString &at : breakpoints) {
        const Result<QVector<int>> set =
            debugger.setBreakpoints(project + QLatin1Char('/') + at.section(QLatin1Char(':'), 0, 0),
                                    {at.section(QLatin1Char(':'), 1).toInt()});
        QVERIFY2(set, qPrintable(set.error()));
    }
    QStringList left = steps.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const Driven run = drive(debugger, project, [&] {
        const QString next = left.isEmpty() ? QString() : left.takeFirst();
        if (next == QLatin1String("stop"))
            return debugger.runner().stop();
        debugger.resume(next == QLatin1String("in")     ? ScriptDebugger::Step::Into
                        : next == QLatin1String("over") ? ScriptDebugger::Step::Over
                        : next == QLatin1String("out")  ? ScriptDebugger::Step::Out
                                                        : ScriptDebugger::Step::Continue);
    });
    QVERIFY(run.ended);
    QCOMPARE(run.pauses.join(QLatin1Char(' ')), pauses);
    QCOMPARE(run.outcome == ScriptRunner::Outcome::Stopped, steps.contains(QLatin1String("stop")));
}

void DebuggerTest::breakpointInAnEarlierCoroutine()
{
    // The coroutine is made while nothing asks for line events; the breakpoint comes later.
    writeScripts({"main.script", "local co = coroutine.create(function()\n"
                                 "  local inside = 1\n"
                                 "  return inside\n"
                                 "end)\n"
                                 "log('ready')\n"
                                 "repeat until io.open('go.txt')\n"
                                 "coroutine.resume(co)\n"});
    PCClientControllor controller;
    ScriptDebugger debugger(controller);
    int pauses = 0;
    const Driven run = drive(
        debugger, project,
        [&] {
            if (++pauses == 1) {
                QCOMPARE(debugger.pauseState().reason, DebugPause::Reason::Pause);
                QVERIFY(debugger.setBreakpoints(project + QStringLiteral("/main.script"), {2}));
                ws->writeFile(QStringLiteral("工程目录/p/go.txt"), "go");
            }
            debugger.resume(ScriptDebugger::Step::Continue);
        },
        [&](const QStringList &output) {
            if (output.contains(QStringLiteral("ready")) && pauses == 0)
                debugger.pause();
        });
    QVERIFY(run.ended);
    QCOMPARE(run.pauses.size(), 2);
    QVERIFY2(run.pauses[0].startsWith(QStringLiteral("main.script:6")), qPrintable(run.pauses[0]));
    QCOMPARE(run.pauses[1], QStringLiteral("main.script:2"));
}

void DebuggerTest::pauseInAWaitThenStop()
{
    writeScripts({"main.script", "log('ready')\nsleep(60000)\n"});
    PCClientControllor controller;
    ScriptDebugger debugger(controller);
    QElapsedTimer clock;
    clock.start();
    const Driven run = drive(
        debugger, project, [&] { debugger.runner().stop(); },
        [&](const QStringList &output) {
            if (output == QStringList{"ready"})
                debugger.pause();
        });
    QCOMPARE(run.pauses, QStringList{"main.script:2"});
    QCOMPARE(run.outcome, ScriptRunner::Outcome::Stopped);
    QVERIFY(clock.elapsed() < 30000);
}

void DebuggerTest::valuesReadRaw()
{
    writeScripts({"main.script", "local guarded = setmetatable({a = 1, [2] = 'two'}, {\n"
                                 "  __index = function() error('__index ran') end,\n"
                                 "  __tostring = function() error('__tostring ran') end,\n"
                                 "  __len = function() error('__len ran') end,\n"
                                 "  __pairs = function() error('__pairs ran') end,\n"
                                 "})\n"
                                 "local long = string.rep('长', 300)\n"
                                 "local big = {}\n"
                                 "for i = 1, 450 do big[i] = i end\n"
                                 "local function f(...)\n"
                                 "  local inner = guarded\n"
                                 "  return inner\n"
                                 "end\n"
                                 "added = 'by the script'\n"
                                 "f(7, 'eight')\n"});
    PCClientControllor controller;
    ScriptDebugger debugger(controller);
    QVERIFY(debugger.setBreakpoints(project + QStringLiteral("/main.script"), {12}));
    const Driven run = drive(debugger, project, [&] {
        const DebugPause &pause = debugger.pauseState();
        QCOMPARE(pause.frames.size(), 2);
        QCOMPARE(pause.frames[0].function, QStringLiteral("f"));
        const QVector<DebugVariable> locals = childrenOf(debugger, pause.frames[0].locals);
        QStringList names;
        for (const DebugVariable &variable : locals)
            names << variable.name + QLatin1Char('=') + variable.value;
        QCOMPARE(names.mid(1), QStringList({"...[1]=7", "...[2]=\"eight\""}));
        const DebugVariable inner = named(locals, QStringLiteral("inner"));
        QVERIFY2(inner.value.startsWith(QStringLiteral("table: ")), qPrintable(inner.value));
        QStringList entries;
        for (const DebugVariable &entry : childrenOf(debugger, inner.children))
            entries << entry.name + QLatin1Char('=') + entry.value.left(6);
        entries.sort();
        QCOMPARE(entries, QStringList({"(元表)=table:", "[2]=\"two\"", "a=1"}));
        QCOMPARE(named(childrenOf(debugger, pause.frames[0].upvalues), QStringLiteral("guarded")).value, inner.value);

        const QVector<DebugVariable> outer = childrenOf(debugger, pause.frames[1].locals);
        const QString long_ = named(outer, QStringLiteral("long")).value;
        QCOMPARE(long_, QLatin1Char('"') + QString(200, QChar(0x957F)) + QStringLiteral("\"…（共900字节）"));
        // A page at a time: 200, 200, then the 50 left.
        int handle = named(outer, QStringLiteral("big")).children;
        QVector<int> pages;
        while (handle) {
            const QVector<DebugVariable> page = childrenOf(debugger, handle);
            handle = page.value(page.size() - 1).name == QStringLiteral("…") ? page.last().children : 0;
            pages << page.size() - (handle ? 1 : 0);
        }
        QCOMPARE(pages, QVector<int>({200, 200, 50}));
        QCOMPARE(childrenOf(debugger, pause.globals).size(), 1);
        QCOMPARE(childrenOf(debugger, pause.globals).value(0).value, QStringLiteral("\"by the script\""));
        // What a watch gives is shown raw as well.
        const Result<DebugVariable> watched = evaluated(debugger, QStringLiteral("inner"), 0);
        QVERIFY(watched);
        QCOMPARE(watched->value, inner.value);
        debugger.resume(ScriptDebugger::Step::Continue);
    });
    QVERIFY(run.ended);
    QCOMPARE(run.outcome, ScriptRunner::Outcome::Finished);
    QCOMPARE(run.pauses.size(), 1);
}

// Functions called from C have no name from their caller; the global holding them gives one.
void DebuggerTest::framesNamed()
{
    writeScripts({"main.script", "function viaPcall()\n"
                                 "  return 1\n"
                                 "end\n"
                                 "function main()\n"
                                 "  pcall(viaPcall)\n"
                                 "end\n"});
    PCClientControllor controller;
    ScriptDebugger debugger(controller);
    QVERIFY(debugger.setBreakpoints(project + QStringLiteral("/main.script"), {2}));
    QStringList names;
    drive(debugger, project, [&] {
        for (const DebugFrame &frame : debugger.pauseState().frames)
            names << frame.function;
        debugger.resume(ScriptDebugger::Step::Continue);
    });
    QCOMPARE(names, QStringList({"viaPcall", "pcall", "main"}));
}

void DebuggerTest::watches_data()
{
    QTest::addColumn<QString>("expression");
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("value"); // or the start of the failure
    QTest::newRow("local") << "x" << 0 << "42";
    QTest::newRow("locals and upvalues") << "x + up" << 0 << "52";
    QTest::newRow("a local hides a global") << "seen" << 0 << "\"local\"";
    QTest::newRow("a nil local hides a global") << "nothing" << 0 << "nil";
    QTest::newRow("a global") << "only_global" << 0 << "true";
    QTest::newRow("the frame's varargs") << "select('#', ...)" << 0 << "2";
    QTest::newRow("another frame") << "up" << 1 << "10";
    QTest::newRow("values") << "a, x" << 0 << "21, 42";
    QTest::newRow("a touch is refused") << "touchClick(1, 1)" << 0 << "错误：touchClick：监视表达式不能操作设备";
    QTest::newRow("so is exit") << "exit()" << 0 << "错误：exit：监视表达式不能结束运行";
    QTest::newRow("no assignment") << "(function() x = 1 end)()" << 0 << "监视表达式出错：监视:1: 监视表达式不能赋值";
    QTest::newRow("not an expression") << "x = 1" << 0 << "监视表达式有误";
    QTest::newRow("endless") << "(function() while true do end end)()" << 0 << "监视表达式出错：监视表达式执行超过";
}

void DebuggerTest::watches()
{
    QFETCH(QString, expression);
    QFETCH(int, frame);
    QFETCH(QString, value);
    writeScripts({"main.script", "local up = 10\n"
                                 "seen, nothing, only_global, _G.up = 'global', 5, true, 99\n"
                                 "local function f(a, ...)\n"
                                 "  local seen, nothing = 'local', nil\n"
                                 "  local x = a * 2\n"
                                 "  return x + up\n"
                                 "end\n"
                                 "f(21, 'v', 'w')\n"});
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    PCClientControllor controller;
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    ScriptDebugger debugger(controller);
    QVERIFY(debugger.setBreakpoints(project + QStringLiteral("/main.script"), {6}));
    const Driven run = drive(debugger, project, [&] {
        const Result<DebugVariable> result = evaluated(debugger, expression, frame);
        const QString shown = result ? result->value : result.error();
        QVERIFY2(result ? shown == value : shown.startsWith(value), qPrintable(shown));
        // The script goes on as it was.
        QCOMPARE(evaluated(debugger, QStringLiteral("x"), 0)->value, QStringLiteral("42"));
        debugger.resume(ScriptDebugger::Step::Continue);
    });
    QCOMPARE(run.outcome, ScriptRunner::Outcome::Finished);
    QTest::qWait(50);
    for (const QString &event : sim.events)
        QVERIFY2(!event.contains(QStringLiteral("touch")), qPrintable(event));
}

namespace {

// A debug client on the adapter's standard input and output.
class DapClient
{
public:
    explicit DapClient(QProcess &adapter) : adapter(adapter) {}

    int request(const QString &command, const QJsonObject &arguments = QJsonObject())
    {
        const QJsonObject message{{"seq", ++sequence}, {"type", "request"}, {"command", command}, {"arguments", arguments}};
        adapter.write(DapReader::frame(QJsonDocument(message).toJson(QJsonDocument::Compact)));
        return sequence;
    }
    // The next message that matches, others noted on the way.
    QJsonObject next(const std::function<bool(const QJsonObject &)> &wanted)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 30000) {
            QByteArray body;
            QString why;
            const DapReader::State state = DapReader::read(&input, &body, &why);
            if (state == DapReader::State::Error)
                qFatal("adapter output: %s", qPrintable(why));
            if (state == DapReader::State::Consumed) {
                const QJsonObject message = QJsonDocument::fromJson(body).object();
                seen << message;
                if (wanted(message))
                    return message;
                continue;
            }
            if (!adapter.waitForReadyRead(1000) && adapter.state() != QProcess::Running)
                break;
            input += adapter.readAllStandardOutput();
        }
        return {};
    }
    QJsonObject response(int request)
    {
        return next([request](const QJsonObject &m) { return m["type"] == "response" && m["request_seq"] == request; });
    }
    QJsonObject body(const QString &command, const QJsonObject &arguments = QJsonObject())
    {
        const QJsonObject answer = response(request(command, arguments));
        if (!answer["success"].toBool())
            qWarning("%s failed: %s", qPrintable(command), qPrintable(answer["message"].toString()));
        return answer["body"].toObject();
    }
    QJsonObject event(const QString &name)
    {
        return next([name](const QJsonObject &m) { return m["type"] == "event" && m["event"] == name; })["body"].toObject();
    }
    // The top frame once stopped: "path:line".
    QString topFrame()
    {
        const QJsonObject frame = body("stackTrace", {{"threadId", 1}})["stackFrames"].toArray().first().toObject();
        return QStringLiteral("%1:%2").arg(frame["source"].toObject()["path"].toString()).arg(frame["line"].toInt());
    }

    QList<QJsonObject> seen;

private:
    QProcess &adapter;
    QByteArray input;
    int sequence = 0;
};

} // namespace

void DebuggerTest::adapterSession()
{
    // The tap-and-check script, its checking in an included file.
    writeScripts({"main.script", "include('lib/tap.lua')\n"
                                 "local w, h = getResolutionRatio()\n"
                                 "for round = 1, 3 do\n"
                                 "  tapAndCheck(math.floor(w / 2), math.floor(h / 2), round)\n"
                                 "end\n",
                  "lib/tap.lua", "function tapAndCheck(x, y, round)\n"
                                 "  local before = getColor(x, y)\n"
                                 "  touchClick(x, y)\n"
                                 "\n"
                                 "  local now = before\n"
                                 "  repeat now = getColor(x, y) until now ~= before\n"
                                 "  log(string.format('round %d changed', round))\n"
                                 "end\n"});
    // Out of this process, as the adapter waits for answers while the client is blocked reading.
    QProcess sim;
    sim.start(QStringLiteral(KESTRUN_SIMULATOR), {"--port", "0", "--scene", "test", "--size", "36x64"});
    QVERIFY(sim.waitForReadyRead(10000));
    const QByteArray listening = sim.readLine().trimmed(); // listening on 127.0.0.1:<port>
    QVERIFY2(listening.startsWith("listening on "), listening.constData());
    QProcess adapter;
    adapter.start(QStringLiteral(KESTRUN_RUN_TOOL), {QStringLiteral("--dap")});
    QVERIFY(adapter.waitForStarted());
    DapClient client(adapter);
    const QString tap = QDir::toNativeSeparators(project + QStringLiteral("/lib/tap.lua"));

    QVERIFY(client.body("initialize", {{"adapterID", "kestrun"}})["supportsConfigurationDoneRequest"].toBool());
    client.event("initialized");
    QVERIFY(client.response(client.request("launch", {{"project", project}, {"device", QString::fromUtf8(listening.mid(13))}}))["success"].toBool());
    const QJsonArray set = client.body("setBreakpoints", {{"source", QJsonObject{{"path", tap}}},
                                                          {"breakpoints", QJsonArray{QJsonObject{{"line", 4}}, QJsonObject{{"line", 0}}}}})["breakpoints"].toArray();
    QCOMPARE(set.first()["line"].toInt(), 5); // the next line with code
    QVERIFY(set.first()["verified"].toBool());
    QVERIFY(!set.last()["verified"].toBool());
    client.body("configurationDone");

    QCOMPARE(client.event("stopped")["reason"].toString(), QStringLiteral("breakpoint"));
    QCOMPARE(client.topFrame(), tap + QStringLiteral(":5"));
    const QJsonArray scopes = client.body("scopes", {{"frameId", 1}})["scopes"].toArray();
    QStringList locals;
    for (const QJsonValue &variable : client.body("variables", {{"variablesReference", scopes.first()["variablesReference"]}})["variables"].toArray())
        locals << variable["name"].toString() + QLatin1Char('=') + variable["value"].toString();
    QCOMPARE(locals.mid(0, 3), QStringList({"x=18", "y=32", "round=1"}));
    QCOMPARE(client.body("evaluate", {{"expression", "round * 10"}, {"frameId", 1}})["result"].toString(), QStringLiteral("10"));

    client.body("next", {{"threadId", 1}});
    QCOMPARE(client.event("stopped")["reason"].toString(), QStringLiteral("step"));
    QCOMPARE(client.topFrame(), tap + QStringLiteral(":6"));
    client.body("setBreakpoints", {{"source", QJsonObject{{"path", tap}}}, {"breakpoints", QJsonArray()}});
    client.body("continue", {{"threadId", 1}});
    QCOMPARE(client.event("exited")["exitCode"].toInt(), 0);
    client.event("terminated");
    client.body("disconnect");
    QVERIFY(adapter.waitForFinished(10000));
    QCOMPARE(adapter.exitCode(), 0);
    sim.terminate();
    sim.waitForFinished();
    QStringList output;
    for (const QJsonObject &message : client.seen) {
        if (message["event"] == "output")
            output += message["body"]["output"].toString().trimmed().split(QLatin1Char('\n'));
    }
    QCOMPARE(output, QStringList({"round 1 changed", "round 2 changed", "round 3 changed"}));
}

void DebuggerTest::adapterFraming_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("left"); // bytes left for the next read
    using S = DapReader::State;
    QTest::newRow("whole") << QByteArray("Content-Length: 2\r\n\r\n{}") << int(S::Consumed) << QByteArray("{}") << 0;
    QTest::newRow("two, the first taken") << QByteArray("Content-Length: 2\r\n\r\n{}Content-Length: 2\r\n\r\n[]")
                                          << int(S::Consumed) << QByteArray("{}") << 23;
    QTest::newRow("other header lines") << QByteArray("Content-Type: application/json\r\ncontent-length:3\r\n\r\n{ }")
                                        << int(S::Consumed) << QByteArray("{ }") << 0;
    QTest::newRow("header cut") << QByteArray("Content-Len") << int(S::NeedMore) << QByteArray() << 11;
    QTest::newRow("body cut") << QByteArray("Content-Length: 10\r\n\r\n{\"a\"") << int(S::NeedMore) << QByteArray() << 26;
    QTest::newRow("no length") << QByteArray("Content-Type: x\r\n\r\n{}") << int(S::Error) << QByteArray() << 21;
    QTest::newRow("not a number") << QByteArray("Content-Length: 1e3\r\n\r\n") << int(S::Error) << QByteArray() << 23;
    QTest::newRow("negative") << QByteArray("Content-Length: -5\r\n\r\n") << int(S::Error) << QByteArray() << 22;
    QTest::newRow("over the cap, refused before it comes")
        << QByteArray("Content-Length: 4194305\r\n\r\n") << int(S::Error) << QByteArray() << 27;
    QTest::newRow("twice") << QByteArray("Content-Length: 2\r\nContent-Length: 2\r\n\r\n{}") << int(S::Error) << QByteArray() << 42;
    QTest::newRow("a line without a colon") << QByteArray("hello\r\n\r\n") << int(S::Error) << QByteArray() << 9;
    QTest::newRow("header without end") << QByteArray(2000, 'x') << int(S::Error) << QByteArray() << 2000;
}

void DebuggerTest::adapterFraming()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, state);
    QFETCH(QByteArray, body);
    QFETCH(int, left);
    QByteArray read;
    QString why;
    QCOMPARE(int(DapReader::read(&bytes, &read, &why)), state);
    QCOMPARE(read, body);
    QCOMPARE(bytes.size(), left);
    QCOMPARE(why.isEmpty(), state != int(DapReader::State::Error));
}

QTEST_MAIN(DebuggerTest)
#include "tst_debugger.moc"
