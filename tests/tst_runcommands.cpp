// Scripts run in the IDE ("本地运行", Ctrl+F5, and "停止运行", Shift+F5) against the simulated
// device, driven through the main window's menu as an author would: what the output shows, where
// an error leads, what waits while a run holds the device, stopping and quitting.
#include "app/ui/BuildCommands.h"
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/RunCommands.h"
#include "app/ui/RunControls.h"
#include "editor/ui/ProblemsPane.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ui/SearchCommands.h"
#include "simulator/SimTestScene.h"
#include "support/ModalAnswerer.h"
#include "support/SimulatorRun.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QStatusBar>
#include <QtTest>

namespace {

// Taps the button in the middle of the test scene and checks that its colour changes, five times.
const char kTapAndCheck[] = R"(
local w, h = getResolutionRatio()
local x, y = math.floor(w / 2), math.floor(h / 2)
local colour = getColor(x, y)
for round = 1, 5 do
  touchClick(x, y)
  local now = getColor(x, y)
  assert(now ~= colour, "round " .. round .. ": the button kept its colour")
  log(string.format("round %d colour %06X", round, now))
  colour = now
end
)";

QStringList outputLines(ProjectManagerWindow &window)
{
    window.form()->outText->flush();
    return window.form()->outText->toPlainText().split(QLatin1Char('\n'));
}

// Ctrl+F5 from the menu; true once the run has ended (or never started).
bool runToEnd(ProjectManagerWindow &window, int timeoutMs = 30000)
{
    QSignalSpy changed(&window.runs(), &RunCommands::signal_runningChanged);
    window.form()->local_run_action->trigger();
    if (!window.runs().isRunning())
        return true;
    QDeadlineTimer deadline(timeoutMs);
    while (window.runs().isRunning() && !deadline.hasExpired())
        changed.wait(100);
    return !window.runs().isRunning();
}

// Whether the menu (the run's command or the stop) and the status line show the run's state.
bool stateShown(ProjectManagerWindow &window)
{
    const bool running = window.runs().isRunning();
    const auto *indicator = window.statusBar()->findChild<RunControls *>();
    return window.form()->stop_run_action->isVisible() == running && window.form()->local_run_action->isVisible() != running
        && indicator->isVisible() == running && indicator->text().contains(QStringLiteral("正在本地运行：p")) == running;
}

} // namespace

class TestRunCommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tapAndCheckFromTheMenu();
    void everyLineReachesThePane();
    void errorsLeadToTheirLines_data();
    void errorsLeadToTheirLines();
    void stopEndsABusyLoopAndQuittingAsks();
    void refusedRuns_data();
    void refusedRuns();

private:
    void writeScript(const QString &relative, const QByteArray &text);

    TestWorkspace *ws = nullptr;
    QString project;
};

void TestRunCommands::init()
{
    ws = new TestWorkspace;
    project = ws->makeProject(QStringLiteral("p"));
}

void TestRunCommands::cleanup()
{
    delete ws;
}

void TestRunCommands::writeScript(const QString &relative, const QByteArray &text)
{
    ws->writeFile(QStringLiteral("工程目录/p/") + relative, text);
}

void TestRunCommands::tapAndCheckFromTheMenu()
{
    SimOptions options = SimulatorRun::options();
    options.scene = SimOptions::Scene::Test;
    options.width = 120;
    options.height = 200;
    options.fps = 60;
    const std::unique_ptr<SimulatorRun> sim = SimulatorRun::onStandardPort(options);
    QVERIFY(sim);
    ProjectManagerWindow window;
    window.show();
    // Not connected: the run connects to the address last entered.
    window.device().setAddress(sim->address);
    // The script is run as edited, saved first.
    window.openScript(project + QStringLiteral("/main.script"));
    window.scripts().current()->setText(QString::fromUtf8(kTapAndCheck));
    QVERIFY(stateShown(window));

    QSignalSpy changed(&window.runs(), &RunCommands::signal_runningChanged);
    window.form()->local_run_action->trigger();
    QVERIFY(window.runs().isRunning());
    QVERIFY(stateShown(window));
    QCOMPARE(ws->readFile(QStringLiteral("工程目录/p/main.script")), QByteArray(kTapAndCheck));
    QVERIFY(!window.scripts().current()->isModified());

    // While the run holds the device, the output and may write into the project, F6, a project
    // search and the device's dialogs wait, saying why.
    window.form()->compile_project_action->trigger();
    QVERIFY(window.statusBar()->currentMessage().contains(QStringLiteral("请先停止运行（Shift+F5）")));
    QVERIFY(!window.builds().isRunning());
    QSignalSpy searchSaid(&window.searches(), &SearchCommands::signal_projectSearch_return);
    window.searches().slot_projectSearch(QStringLiteral("touchClick"), false, false);
    QVERIFY(searchSaid.value(0).value(0).toString().contains(QStringLiteral("本地运行")));
    for (QAction *dialog : {window.form()->remote_import_action, window.form()->remote_screen_action,
                            window.form()->action_connection_manager}) {
        QString notice;
        ModalAnswerer::answerMessageBox(QMessageBox::Ok, nullptr, &notice);
        dialog->trigger();
        QVERIFY2(notice.contains(QStringLiteral("脚本正在本地运行")), qPrintable(dialog->text()));
    }

    // The device's log of the touches does not take the run's output from the front.
    bool logInFront = false;
    QDeadlineTimer deadline(30000);
    while (window.runs().isRunning() && !deadline.hasExpired()) {
        changed.wait(20);
        logInFront = logInFront || (window.runs().isRunning() && window.form()->outTabWidget->currentIndex() != 0);
    }
    QVERIFY(!window.runs().isRunning());
    QVERIFY(stateShown(window));
    QVERIFY(!logInFront);
    QVERIFY(window.form()->remoteLogText->toPlainText().contains(QStringLiteral("touch press")));
    const QStringList lines = outputLines(window);
    QCOMPARE(lines.first(), QStringLiteral("正在连接设备%1:7000...").arg(sim->address));
    QCOMPARE(lines.last(), QStringLiteral("本地运行结束。"));
    QVERIFY2(lines.contains(QString::asprintf("round 5 colour %06X", SimTestScene::buttonColour(5))),
             qPrintable(lines.join('\n')));
    // Nobody watches the stream the run started.
    QVERIFY(window.device().controller().isConnected());
    QVERIFY(!window.device().controller().isStreaming());
}

void TestRunCommands::everyLineReachesThePane()
{
    // Long and short lines, more than one message of the pane holds, non-ASCII included.
    writeScript(QStringLiteral("main.script"), "for i = 1, 400 do\n"
                                               "  log(i .. ' ' .. string.rep(i % 2 == 0 and '行' or 'x', i * 7 % 990))\n"
                                               "end\n");
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    ProjectManagerWindow window;
    QVERIFY(window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(runToEnd(window));
    QStringList expected;
    for (int i = 1; i <= 400; ++i)
        expected << QString::number(i) + QLatin1Char(' ') + QString(i * 7 % 990, i % 2 == 0 ? QChar(0x884C) : QLatin1Char('x'));
    QCOMPARE(outputLines(window).mid(1, 400), expected);
}

void TestRunCommands::errorsLeadToTheirLines_data()
{
    QTest::addColumn<QString>("main");
    QTest::addColumn<QString>("place"); // "path:line" the caret lands on
    QTest::addColumn<QString>("error"); // the output's error line
    QTest::newRow("runtime error in an included script")
        << "include('lib/a.lua')\nlog('before')\nhelper()\n" << "lib/a.lua:2" << "错误：lib/a.lua:2: attempt to concatenate a nil value";
    QTest::newRow("os.exit leaves the IDE running") << "\n\nos.exit(1)\n" << "main.script:3"
                                                    << "错误：本地运行不支持os.exit（main.script第3行）";
}

void TestRunCommands::errorsLeadToTheirLines()
{
    QFETCH(QString, main);
    QFETCH(QString, place);
    QFETCH(QString, error);
    writeScript(QStringLiteral("main.script"), main.toUtf8());
    writeScript(QStringLiteral("lib/a.lua"), "function helper()\n  return nil .. 'x'\nend\n");
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    ProjectManagerWindow window;
    QVERIFY(window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    QVERIFY(runToEnd(window));

    const QStringList lines = outputLines(window);
    const int at = lines.indexOf(error);
    QVERIFY2(at > 0, qPrintable(lines.join('\n')));
    QCOMPARE(lines.last(), QStringLiteral("本地运行因脚本出错而结束。"));
    // The caret is on the error's line, marked as a failed check marks it.
    const ScriptEditor *editor = window.scripts().current();
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    QCOMPARE(QStringLiteral("%1:%2").arg(QDir(project).relativeFilePath(editor->path())).arg(line + 1), place);
    QVERIFY(editor->markersAtLine(line) != 0);
    // And the output's line leads there again.
    const std::optional<Diagnostic> link = window.form()->outText->diagnostic(at);
    QVERIFY(link && link->hasPlace());
    QCOMPARE(QStringLiteral("%1:%2").arg(link->path).arg(link->line), place);
    // It joins the problems pane, until the next run or check.
    ProblemList &problems = window.form()->problemsPane->problems();
    QTRY_COMPARE(problems.rowCount(), 1);
    QCOMPARE(QStringLiteral("%1 %2:%3").arg(problems.index(0, ProblemList::KindColumn).data().toString(), problems.at(0).path)
                 .arg(problems.at(0).line),
             QStringLiteral("运行错误 ") + place);
}

void TestRunCommands::stopEndsABusyLoopAndQuittingAsks()
{
    writeScript(QStringLiteral("main.script"), "log('busy')\nwhile true do end\n");
    SimulatorRun sim(SimulatorRun::options());
    QVERIFY(sim.start());
    ProjectManagerWindow window;
    window.show();
    QVERIFY(window.device().controller().connectToDevice(QStringLiteral("127.0.0.1"), sim.device.port()));
    window.form()->local_run_action->trigger();
    QVERIFY(window.runs().isRunning());
    QTRY_VERIFY(outputLines(window).contains(QStringLiteral("busy")));

    // Quitting asks: staying keeps the run.
    QString question;
    ModalAnswerer::answerMessageBox(QMessageBox::No, nullptr, &question);
    window.form()->exit_action->trigger();
    QVERIFY(question.contains(QStringLiteral("脚本正在本地运行")));
    QVERIFY(window.isVisible());
    QVERIFY(window.runs().isRunning());

    QSignalSpy changed(&window.runs(), &RunCommands::signal_runningChanged);
    window.form()->stop_run_action->trigger();
    QVERIFY(changed.wait(5000));
    QCOMPARE(outputLines(window).last(), QStringLiteral("本地运行已停止。"));
    QVERIFY(stateShown(window));

    // Quitting after the run asks nothing.
    window.form()->exit_action->trigger();
    QVERIFY(!window.isVisible());
}

void TestRunCommands::refusedRuns_data()
{
    QTest::addColumn<QString>("address"); // the device's, last entered
    QTest::addColumn<bool>("activeProject");
    QTest::addColumn<QString>("said");
    QTest::newRow("unreachable device") << SimulatorRun::silentAddress() << true
                                        << QStringLiteral("错误：无法连接设备%1:7000。").arg(SimulatorRun::silentAddress());
    QTest::newRow("no device address") << QString() << true << "错误：没有可以运行脚本的设备：请先在“连接管理”中连接设备。";
    QTest::newRow("no active project") << SimulatorRun::silentAddress() << false << "错误：当前未设定活动工程，无法运行。";
}

void TestRunCommands::refusedRuns()
{
    QFETCH(QString, address);
    QFETCH(bool, activeProject);
    QFETCH(QString, said);
    ProjectManagerWindow window;
    window.device().setAddress(address);
    if (!activeProject)
        window.setActiveProject(QString());
    QVERIFY(runToEnd(window));
    QVERIFY2(outputLines(window).last().startsWith(said), qPrintable(outputLines(window).join('\n')));
    QVERIFY(stateShown(window));
    QVERIFY(!window.device().controller().isConnected());
}

QTEST_MAIN(TestRunCommands)
#include "tst_runcommands.moc"
