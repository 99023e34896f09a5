// Scripts run on the PC: the runner against the simulated device's test scene, in process and
// through kestrun-run and kestrun-device-sim; stopping whatever a script does; the lines its
// errors give; the files of the sandbox; image searches.
#include "api/ApiModel.h"
#include "device/PCClientControllor.h"
#include "common/Diagnostic.h"
#include "runner/ImageSearch.h"
#include "runner/RunApi.h"
#include "runner/RunOutput.h"
#include "runner/ScriptRunner.h"
#include "simulator/PackageReader.h"
#include "simulator/SimFrameEncoder.h"
#include "simulator/SimTestScene.h"
#include "support/DeviceKey.h"
#include "support/SimulatorRun.h"
#include "support/TestWorkspace.h"
#include "support/ToolRun.h"
#include "toolchain/ProjectBuilder.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

namespace {

struct Read
{
    qint64 stamp;   // of the frame read: the simulated device's send time
    int inputs;     // touches and keys sent before the read
    qint64 sinceInput;
};

// A run of a project's scripts to its end: what it printed and how it ended.
struct RunResult
{
    bool ended = false;
    ScriptRunner::Outcome outcome = ScriptRunner::Outcome::Stopped;
    QStringList output;
    QVector<Diagnostic> error;
    QVector<Read> reads;

    QString errorText() const
    {
        QStringList lines;
        for (const Diagnostic &line : error)
            lines << line.text();
        return lines.join(QLatin1Char('\n'));
    }
};

RunResult runScripts(PCClientControllor &controller, const QString &project, int timeoutMs = 60000)
{
    ScriptRunner runner(controller);
    RunResult result;
    QEventLoop loop;
    const auto take = [&] {
        const QString lines = runner.takeOutput();
        if (!lines.isEmpty())
            result.output += lines.split(QLatin1Char('\n'));
    };
    QObject::connect(&runner, &ScriptRunner::signal_output, take);
    QObject::connect(&runner, &ScriptRunner::signal_screenRead, [&](FBInfo frame, int inputs, qint64 since) {
        result.reads.append({SimFrameEncoder::stampOf(frame), inputs, since});
    });
    QObject::connect(&runner, &ScriptRunner::signal_finished, [&](ScriptRunner::Outcome outcome, QVector<Diagnostic> error) {
        take();
        result.ended = true;
        result.outcome = outcome;
        result.error = error;
        loop.quit();
    });
    if (const Status started = runner.start(project); !started) {
        result.error << Diagnostic::error(started.error());
        return result;
    }
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

// The simulated device's record: when each frame (by its stamp) was captured, and when each
// touch release arrived.
struct Events
{
    QHash<qint64, qint64> captured;
    QVector<qint64> releases;

    explicit Events(const QByteArray &text)
    {
        for (const QByteArray &line : text.split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() == 3 && fields[1] == "frame")
                captured.insert(fields[2].toLongLong(), fields[0].toLongLong());
            else if (fields.size() == 2 && fields[1] == "release")
                releases.append(fields[0].toLongLong());
        }
    }
};

// Taps the button in the middle of the screen twenty times and checks after each tap that its
// colour has changed, reading until it has (a slow device reacts late).
const char kTapAndCheck[] = R"(
local w, h = getResolutionRatio()
local x, y = math.floor(w / 2), math.floor(h / 2)
local colour = getColor(x, y)
for round = 1, 20 do
  touchClick(x, y)
  local reads, now = 0, colour
  repeat
    reads = reads + 1
    now = getColor(x, y)
    if now == colour then sleep(20) end
  until now ~= colour or reads == 100
  assert(now ~= colour, "round " .. round .. ": the button kept its colour")
  log(string.format("round %d reads %d colour %06X", round, reads, now))
  colour = now
end
)";

SimOptions testScene(double fps, int reactMs = 0)
{
    SimOptions options = SimulatorRun::options();
    options.scene = SimOptions::Scene::Test;
    options.width = 120;
    options.height = 200;
    options.fps = fps;
    options.reactMs = reactMs;
    return options;
}

} // namespace

class RunnerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tapAndCheck_data();
    void tapAndCheck();
    void commandLine_data();
    void commandLine();
    void stopEndsTheRun_data();
    void stopEndsTheRun();
    void errorLines_data();
    void errorLines();
    void sandboxKeepsToTheProject();
    void imagesOnTheScreen();
    void similarity_data();
    void similarity();
    void servedAsTheModelSays();

private:
    void writeScript(const QString &relative, const QByteArray &text);

    TestWorkspace *ws = nullptr;
    QString project;
};

void RunnerTest::init()
{
    ws = new TestWorkspace;
    project = ws->makeProject(QStringLiteral("p"));
}

void RunnerTest::cleanup()
{
    delete ws;
    ws = nullptr;
}

void RunnerTest::writeScript(const QString &relative, const QByteArray &text)
{
    ws->writeFile(QStringLiteral("工程目录/p/") + relative, text);
}

void RunnerTest::tapAndCheck_data()
{
    QTest::addColumn<double>("fps");
    QTest::addColumn<int>("reactMs");
    QTest::newRow("30 frames/s") << 30.0 << 0;
    QTest::newRow("2 frames/s, slow to react") << 2.0 << 150;
}

void RunnerTest::tapAndCheck()
{
    QFETCH(double, fps);
    QFETCH(int, reactMs);
    writeScript(QStringLiteral("main.script"), kTapAndCheck);
    SimOptions options = testScene(fps, reactMs);
    options.eventsPath = ws->absolute(QStringLiteral("events.txt"));
    auto sim = std::make_unique<SimulatorRun>(options);
    QVERIFY(sim->start());
    PCClientControllor controller;
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim->device.port()));

    const RunResult run = runScripts(controller, project);
    QVERIFY2(run.ended && run.outcome == ScriptRunner::Outcome::Finished, qPrintable(run.errorText()));
    QCOMPARE(run.output.size(), 20);
    for (int round = 1; round <= 20; ++round) {
        const QStringList fields = run.output[round - 1].split(QLatin1Char(' '));
        QCOMPARE(fields.value(5), QString::asprintf("%06X", SimTestScene::buttonColour(round)));
        // A device that reacts at once shows the tap on the first frame sent after it.
        if (reactMs == 0)
            QCOMPARE(fields.value(3), QStringLiteral("1"));
    }

    sim.reset(); // writes the events
    const Events events(ws->readFile(QStringLiteral("events.txt")));
    QCOMPARE(events.releases.size(), 20);
    int afterTouch = 0;
    for (const Read &read : run.reads) {
        QVERIFY(events.captured.contains(read.stamp));
        if (read.inputs == 0)
            continue;
        ++afterTouch;
        QVERIFY2(events.captured.value(read.stamp) > events.releases[read.inputs - 1],
                 qPrintable(QStringLiteral("a read after tap %1 saw a frame captured before it").arg(read.inputs)));
    }
    QVERIFY(afterTouch >= 20);
}

void RunnerTest::commandLine_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("device"); // "sim": the simulated device's address
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("tap and check") << QByteArray(kTapAndCheck) << "sim" << 0 << "round 20 reads 1 colour " << "";
    QTest::newRow("script error") << QByteArray("log('before')\nerror('boom')\n") << "sim" << 1 << "before"
                                  << "main.script:2: boom";
    QTest::newRow("unreachable") << QByteArray() << SimulatorRun::silentAddress() + ":7000" << 2 << "" << "错误：无法连接设备";
    QTest::newRow("no device given") << QByteArray() << "" << 3 << "" << "Usage: kestrun-run";
}

void RunnerTest::commandLine()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, device);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    if (!script.isEmpty())
        writeScript(QStringLiteral("main.script"), script);
    QProcess sim;
    if (device == QLatin1String("sim")) {
        sim.start(QStringLiteral(KESTRUN_SIMULATOR),
                  {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--scene"), QStringLiteral("test"),
                   QStringLiteral("--size"), QStringLiteral("120x200")});
        QVERIFY(sim.waitForReadyRead(10000));
        const QByteArray listening = sim.readLine().trimmed(); // listening on 127.0.0.1:<port>
        QVERIFY2(listening.startsWith("listening on "), listening.constData());
        device = QString::fromUtf8(listening.mid(13));
    }
    QStringList arguments{QStringLiteral(KESTRUN_RUN_TOOL), project};
    if (!device.isEmpty())
        arguments << QStringLiteral("--device") << device;
    const ToolRun run = ToolRun::of(arguments);
    sim.terminate();
    sim.waitForFinished();
    QVERIFY2(run.exitCode == exitCode, run.err.constData());
    QVERIFY2(QString::fromUtf8(run.out).contains(out), run.out.constData());
    QVERIFY2(err.isEmpty() ? run.err.isEmpty() : QString::fromUtf8(run.err).startsWith(err), run.err.constData());
}

void RunnerTest::stopEndsTheRun_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::newRow("busy loop") << QByteArray("while true do end");
    QTest::newRow("pcall around busy loops") << QByteArray("while true do pcall(function() while true do end end) end");
    QTest::newRow("xpcall whose handler loops")
        << QByteArray("while true do xpcall(function() while true do end end, function() while true do end end) end");
    QTest::newRow("load whose reader loops") << QByteArray("while true do load(function() while true do end end) end");
    QTest::newRow("sleep") << QByteArray("sleep(60000)");
    QTest::newRow("log flood") << QByteArray("while true do log('flood') end");
    QTest::newRow("wait for a frame") << QByteArray("touchClick(1, 1)\ngetColor(1, 1)");
    QTest::newRow("busy coroutine") << QByteArray("coroutine.wrap(function() while true do end end)()");
    QTest::newRow("pcalls in a coroutine")
        << QByteArray("while true do coroutine.resume(coroutine.create(function()\n"
                      "  while true do pcall(function() while true do end end) end end)) end");
}

void RunnerTest::stopEndsTheRun()
{
    QFETCH(QByteArray, script);
    writeScript(QStringLiteral("main.script"), script);
    // A device that takes touches and never sends a frame.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    PCClientControllor controller;
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), silent.serverPort()));

    ScriptRunner runner(controller);
    QSignalSpy finished(&runner, &ScriptRunner::signal_finished);
    QVERIFY(runner.start(project));
    QTest::qWait(300);
    QVERIFY(finished.isEmpty());
    QElapsedTimer clock;
    clock.start();
    runner.stop();
    QVERIFY(finished.wait(5000));
    // A bound only: the benchmark measures it.
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(finished.first().at(0).value<ScriptRunner::Outcome>(), ScriptRunner::Outcome::Stopped);
    QVERIFY(!runner.isRunning());
    QVERIFY(runner.takeOutput().count(QLatin1Char('\n')) < RunOutput::kMaxLines); // a flood keeps its newest lines
}

void RunnerTest::errorLines_data()
{
    QTest::addColumn<QStringList>("files"); // path, text, path, text, ...
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("places"); // of each line: "path:line", or "" for none
    using O = ScriptRunner::Outcome;
    QTest::newRow("runtime error") << QStringList{"main.script", "local a\n\n\n\n\n\nlocal b = nil + 1\n"} << int(O::ScriptError)
                                   << "错误：main.script:7: attempt to perform arithmetic on a nil value"
                                   << QStringList{"main.script:7"};
    QTest::newRow("unsupported") << QStringList{"main.script", "function main()\n  log('x')\n  startApp('a.b')\nend\n"}
                                 << int(O::ScriptError) << "错误：本地运行不支持startApp（main.script第3行）"
                                 << QStringList{"main.script:3"};
    QTest::newRow("os.exit") << QStringList{"main.script", "os.exit(0)\n"} << int(O::ScriptError)
                             << "错误：本地运行不支持os.exit（main.script第1行）" << QStringList{"main.script:1"};
    QTest::newRow("in an included file")
        << QStringList{"main.script", "include('lib/a.lua')\nhelper()\n", "lib/a.lua", "function helper()\n  return nil .. 'x'\nend\n"}
        << int(O::ScriptError) << "错误：lib/a.lua:2: attempt to concatenate a nil value"
        << QStringList{"lib/a.lua:2", "", "lib/a.lua:2", "main.script:2"};
    QTest::newRow("error naming its caller")
        << QStringList{"main.script", "function check(v)\n  if not v then error('no value', 2) end\nend\n\ncheck(nil)\n"}
        << int(O::ScriptError) << "错误：main.script:5: no value" << QStringList{"main.script:5", "", "main.script:2", "main.script:5"};
    QTest::newRow("message without a place") << QStringList{"main.script", "\nerror('broken', 0)\n"} << int(O::ScriptError)
                                             << "错误：broken" << QStringList{"main.script:2"};
    QTest::newRow("compiled chunk") << QStringList{"main.script", "\n\ninclude('lib/b.lua')\n", "lib/b.lua", "\x1bLua\x52"}
                                    << int(O::ScriptError)
                                    << "错误：脚本“lib/b.lua”是编译后的代码，本地运行只运行源代码（main.script第3行）"
                                    << QStringList{"main.script:3"};
    QTest::newRow("bad argument") << QStringList{"main.script", "touchClick('here', 1)\n"} << int(O::ScriptError)
                                  << "错误：touchClick的第1个参数应为数字（main.script第1行）" << QStringList{"main.script:1"};
    QTest::newRow("runaway recursion")
        << QStringList{"main.script", "local function f(n) return 1 + f(n + 1) end\nf(1)\n"} << int(O::ScriptError)
        << "错误：main.script:1: stack overflow" << QStringList();
    QTest::newRow("runaway recursion in a loaded chunk")
        << QStringList{"main.script", "load('local function f() return 1 + f() end return f')()()\n"} << int(O::ScriptError)
        << "错误：[string \"local function f()" << QStringList{""};
    QTest::newRow("exit inside pcall") << QStringList{"main.script", "pcall(exit)\nerror('not reached')\n"}
                                       << int(O::Finished) << "" << QStringList();
    QTest::newRow("new-project template") << QStringList() << int(O::Finished) << "" << QStringList();
}

void RunnerTest::errorLines()
{
    QFETCH(QStringList, files);
    QFETCH(int, outcome);
    QFETCH(QString, error);
    QFETCH(QStringList, places);
    for (int i = 0; i + 1 < files.size(); i += 2)
        writeScript(files[i], files[i + 1].toUtf8());
    PCClientControllor controller; // no device: none of these scripts needs one

    const RunResult run = runScripts(controller, project);
    QVERIFY(run.ended);
    QCOMPARE(int(run.outcome), outcome);
    if (error.isEmpty()) {
        QVERIFY(run.error.isEmpty());
        return;
    }
    QVERIFY2(run.error.value(0).text().startsWith(error), qPrintable(run.errorText()));
    if (places.isEmpty()) { // a recursion keeps its innermost frames only
        QCOMPARE(run.error.size(), 2 + RunSession::kMaxFrames + 1);
        QCOMPARE(run.error.last().message, QStringLiteral("…"));
        return;
    }
    QStringList found;
    for (const Diagnostic &line : run.error) {
        found << (line.hasPlace() ? QStringLiteral("%1:%2").arg(line.path).arg(line.line) : QString());
        QCOMPARE(line.directory, line.hasPlace() ? project : QString());
    }
    QCOMPARE(found, places);
}

void RunnerTest::sandboxKeepsToTheProject()
{
    writeScript(QStringLiteral("lib/m.lua"), "return {answer = 42}\n");
    writeScript(QStringLiteral("main.script"), R"(
assert(not pcall(os.execute, "true"))
assert(select(2, pcall(io.popen, "ls")):find("本地运行不支持io.popen", 1, true))
assert(not pcall(package.loadlib, "x", "y"))
assert(not pcall(debug.sethook))
assert(select(2, pcall(_G["触摸移动"], 1, 2)):find("本地运行不支持触摸移动", 1, true))
assert(not load(string.dump(function() end)))
assert(io.open("../outside.txt", "w") == nil)
assert(io.open("/../../outside.txt", "w") == nil)
local f = assert(io.open("out.txt", "w"))
f:write("a\n", 1, "\n")
f:close()
local lines = {}
for line in io.lines("out.txt") do lines[#lines + 1] = line end
assert(#lines == 2 and lines[2] == "1")
assert(os.rename("out.txt", "moved.txt") and io.open("out.txt") == nil)
local g = assert(io.open("/sdcard/k/x.txt", "w"))
g:write("device")
g:close()
assert(io.open("/sdcard/k/x.txt"):read("*a") == "device")
assert(require("lib.m").answer == 42 and dofile("lib/m.lua").answer == 42)
local left = assert(io.open("left-open.txt", "w"))
left:write("kept")
print(1, nil, "x")
io.write("partial ")
io.write("line\n")
)");
    PCClientControllor controller;
    const RunResult run = runScripts(controller, project);
    QVERIFY2(run.outcome == ScriptRunner::Outcome::Finished, qPrintable(run.errorText()));
    QCOMPARE(run.output, QStringList({QStringLiteral("1\tnil\tx"), QStringLiteral("partial line")}));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/moved.txt")), QByteArray("a\n1\n"));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/left-open.txt")), QByteArray("kept")); // written when collected
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/.kestrun-run/sdcard/k/x.txt")), QByteArray("device"));
    QVERIFY(!QFile::exists(ws->absolute(QStringLiteral("outside.txt"))));
    QVERIFY(!QFile::exists(ws->absolute(QStringLiteral("工程目录/outside.txt"))));

    // The package leaves the run folder out.
    if (!DeviceKey::builtInKeyMatches())
        QSKIP("built with another public key");
    ProjectBuilder builder({[](const QString &) {}, [](const Diagnostic &e) { qWarning("%s", qPrintable(e.text())); }});
    QVERIFY(builder.build(QStringLiteral("p"), project));
    const Result<PackageContents> package =
        PackageReader::read(ws->readFile(QStringLiteral("工程目录/p/p.ks")), DeviceKey::privatePem());
    QVERIFY2(package, qPrintable(package.error()));
    QVERIFY(std::any_of(package->entries.cbegin(), package->entries.cend(),
                        [](const PackageEntryData &e) { return e.relativePath == QLatin1String("moved.txt"); }));
    for (const PackageEntryData &entry : package->entries)
        QVERIFY2(!entry.relativePath.startsWith(QLatin1String(".kestrun-run")), qPrintable(entry.relativePath));
}

void RunnerTest::imagesOnTheScreen()
{
    const SimOptions options = testScene(60);
    const QRect button = SimTestScene::buttonRect(QSize(options.width, options.height));
    writeScript(QStringLiteral("main.script"), QStringLiteral(R"(
local x1, y1, w, h = %1, %2, getResolutionRatio()
local background = getColor(0, 0)
assert(screencapToFile("btn.bmp", x1, y1, x1 + 9, y1 + 9))
assert(screencapToFile("corner.bmp", x1 - 2, y1 - 2, x1 + 5, y1 + 5))
local found, x, y = findImage("btn.bmp")
assert(found and x == x1 and y == y1, "findImage: " .. x .. "," .. y)
found, x, y = findImage("btn.bmp", 0, 0, x1 + 8, h - 1)
assert(not found and x == -1 and y == -1, "findImage outside its region")
found, x, y = findImageIrregular("corner.bmp", background)
assert(found and x == x1 - 2 and y == y1 - 2, "findImageIrregular: " .. x .. "," .. y)
found, x, y = findImageFuzzyIrregular("corner.bmp", 90, background + 0x010101)
assert(found and x == x1 - 2, "findImageFuzzyIrregular")
x, y = findColor(getColor(x1, y1))
assert(x == x1 and y == y1, "findColor: " .. x .. "," .. y)
x, y = findColorFuzzy(getColor(x1, y1) + 0x0A0A0A, 95, x1 + 3, y1 + 3, w - 1, h - 1)
assert(x == x1 + 3 and y == y1 + 3, "findColorFuzzy: " .. x .. "," .. y)
assert(_G["获取颜色"](x1, y1) == getColor(x1, y1))
local r, g, b = getColorRGB(x1, y1)
assert(RGB(r, g, b) == getColor(x1, y1) and isColor(x1, y1, RGB(r, g, b)))
assert(getBitsPerPixel() == 32 and w == %3 and h == %4)
assert(clickImage("btn.bmp"))
assert(not findImage("btn.bmp"), "the button kept its colour")
assert(findImageFuzzy("btn.bmp", 0))
)")
                                                   .arg(button.left())
                                                   .arg(button.top())
                                                   .arg(options.width)
                                                   .arg(options.height)
                                                   .toUtf8());
    SimulatorRun sim(options);
    QVERIFY(sim.start());
    PCClientControllor controller;
    QVERIFY(controller.connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    const RunResult run = runScripts(controller, project);
    QVERIFY2(run.outcome == ScriptRunner::Outcome::Finished, qPrintable(run.errorText()));
    QVERIFY(sim.events.contains(QStringLiteral("touch press (%1, %2)").arg(button.left() + 5).arg(button.top() + 5)));
}

void RunnerTest::similarity_data()
{
    QTest::addColumn<int>("similarity");
    QTest::addColumn<int>("difference"); // in one channel of one pixel
    QTest::addColumn<bool>("found");
    QTest::newRow("exact, equal") << 100 << 0 << true;
    QTest::newRow("exact, off by one") << 100 << 1 << false;
    QTest::newRow("90 allows 25") << 90 << 25 << true;
    QTest::newRow("90 not 26") << 90 << 26 << false;
    QTest::newRow("0 allows anything") << 0 << 155 << true;
}

void RunnerTest::similarity()
{
    QFETCH(int, similarity);
    QFETCH(int, difference);
    QFETCH(bool, found);
    QImage frame(40, 30, QImage::Format_RGB32);
    frame.fill(qRgb(0, 0, 0));
    QImage picture(4, 3, QImage::Format_RGB32);
    for (int i = 0; i < 12; ++i)
        picture.setPixel(i % 4, i / 4, qRgb(20 * i, 255 - 20 * i, 100));
    for (int i = 0; i < 12; ++i)
        frame.setPixel(17 + i % 4, 9 + i / 4, picture.pixel(i % 4, i / 4));
    const QRgb changed = picture.pixel(2, 1);
    frame.setPixel(19, 10, qRgb(qRed(changed), qGreen(changed), qBlue(changed) + difference));
    const std::optional<QPoint> place = ImageSearch::find(frame, picture, frame.rect(), ImageSearch::tolerance(similarity));
    QCOMPARE(place.has_value(), found);
    if (found && similarity > 0)
        QCOMPARE(*place, QPoint(17, 9));
}

void RunnerTest::servedAsTheModelSays()
{
    for (const ApiEntry &entry : ApiModel::builtIn().entries()) {
        if (entry.isRuntime()) // a function for each name the model marks served here, and for no other
            QVERIFY2((RunApi::function(entry.name) != nullptr) == (entry.onPc != ApiEntry::OnPc::Unavailable),
                     qPrintable(entry.name));
        if (entry.onPc == ApiEntry::OnPc::Approximate) // the reference says how
            QVERIFY2(!entry.onPcNote.isEmpty(), qPrintable(entry.name));
    }
}

QTEST_MAIN(RunnerTest)
#include "tst_runner.moc"
