// Debugging in the IDE, driven through the main window's menu and margin as an author would,
// against the simulated device: breakpoints (F9, the margin, kept with the session, hollow once
// their script changes during a run), the paused line marked, stepping, and the panes of the call
// stack, the variables and the watches.
#include "app/ui/DebugCommands.h"
#include "app/ui/DeviceSession.h"
#include "app/ui/ProjectManagerWindow.h"
#include "app/ui/RunCommands.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "runner/WatchModel.h"
#include "runner/ui/BreakpointMarks.h"
#include "runner/ui/DebugPanes.h"
#include "runner/ui/EditorBreakpoints.h"
#include "simulator/SimTestScene.h"
#include "support/SimulatorRun.h"
#include "support/TestWorkspace.h"
#include "ui_ProjectManagerWindow.h"

#include <QDockWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The tap-and-check script with its check in an included file.
const char kMain[] = "include('lib/check.lua')\n"
                     "local w, h = getResolutionRatio()\n"
                     "local x, y = math.floor(w / 2), math.floor(h / 2)\n"
                     "local colour = getColor(x, y)\n"
                     "for round = 1, 3 do\n"
                     "  colour = tapAndCheck(x, y, colour, round)\n"
                     "end\n";
const char kCheck[] = "function tapAndCheck(x, y, colour, round)\n"
                      "  touchClick(x, y)\n"
                      "  local now = getColor(x, y)\n"
                      "  assert(now ~= colour, 'round ' .. round .. ': the button kept its colour')\n"
                      "  log(string.format('round %d colour %06X', round, now))\n"
                      "  return now\n"
                      "end\n";

const char kCoroutine[] = "local co = coroutine.create(function(a)\n"
                          "  local b = coroutine.yield(a + 1)\n"
                          "  return b * 2\n"
                          "end)\n"
                          "local _, x = coroutine.resume(co, 1)\n"
                          "local _, y = coroutine.resume(co, x)\n"
                          "log(y)\n";

bool waitFor(const std::function<bool()> &done, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired())
        QTest::qWait(5);
    return done();
}

// Where the window shows the script paused: "path:line" of the marked line in the current script.
QString markedPlace(ProjectManagerWindow &window, const QString &project)
{
    ScriptEditor *editor = window.scripts().current();
    const BreakpointMarks *marks = BreakpointMarks::find(editor);
    return QStringLiteral("%1:%2").arg(QDir(project).relativeFilePath(editor->path())).arg(marks ? marks->pauseLine() : 0);
}

// Triggers a debugging action and waits for the next pause; the place then marked.
QString stepTo(ProjectManagerWindow &window, QAction *action, const QString &project)
{
    ScriptDebugger &debugger = window.runs().debugger();
    QSignalSpy paused(&debugger, &ScriptDebugger::signal_paused);
    if (!action->isEnabled())
        return QStringLiteral("(%1 disabled)").arg(action->text());
    action->trigger();
    if (!waitFor([&] { return !paused.isEmpty() || !window.runs().isRunning(); }))
        return QStringLiteral("(no pause)");
    return window.runs().isRunning() ? markedPlace(window, project) : QStringLiteral("(ended)");
}

// The rows under a row of a value tree (the top level for none), name → value, once read.
QMap<QString, QString> rowsOf(QTreeView *view, const QModelIndex &parent = QModelIndex())
{
    QAbstractItemModel *model = view->model();
    waitFor([&] { return model->rowCount(parent) > 0; }, 5000);
    QMap<QString, QString> rows;
    for (int row = 0; row < model->rowCount(parent); ++row)
        rows.insert(model->index(row, VariableModel::Name, parent).data().toString(),
                    model->index(row, VariableModel::Value, parent).data().toString());
    return rows;
}

QMap<QString, QString> localsShown(ProjectManagerWindow &window)
{
    QTreeView *view = window.debugging().panes().variablesView();
    const QModelIndex locals = view->model()->index(0, 0);
    if (locals.data().toString() != QStringLiteral("局部变量") || !view->isExpanded(locals))
        return {};
    return rowsOf(view, locals);
}

QStringList stackShown(ProjectManagerWindow &window)
{
    QStringList frames;
    const QTreeWidget *stack = window.debugging().panes().callStack();
    for (int i = 0; i < stack->topLevelItemCount(); ++i)
        frames << stack->topLevelItem(i)->text(0) + QLatin1Char(' ') + stack->topLevelItem(i)->text(1);
    return frames;
}

void putCaret(ScriptEditor *editor, int line)
{
    editor->setCursorPosition(line - 1, 0);
}

// The background drawn at the right end of a line (from 1), past its text.
QColor lineColour(ScriptEditor *editor, int line)
{
    const int position = editor->positionFromLineIndex(line - 1, 0);
    const int y = int(editor->SendScintilla(QsciScintillaBase::SCI_POINTYFROMPOSITION, 0, position));
    const QImage shown = editor->viewport()->grab().toImage();
    return shown.pixelColor(shown.width() - 4, y + 2);
}

} // namespace

class TestDebugWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void breakpointInAnIncludedFile();
    void steppingAcrossACoroutine();
    void breakpointsComeBackWithTheSession();
    void breakpointsFollowTheirScript();
    void hollowOnceTheScriptChanges();

private:
    std::unique_ptr<SimulatorRun> startSimulator();

    TestWorkspace *ws = nullptr;
    QString project;
};

void TestDebugWindow::init()
{
    ws = new TestWorkspace;
    project = ws->makeProject(QStringLiteral("p"));
    ws->writeFile(QStringLiteral("工程目录/p/main.script"), kMain);
    ws->writeFile(QStringLiteral("工程目录/p/lib/check.lua"), kCheck);
}

void TestDebugWindow::cleanup()
{
    delete ws;
    ws = nullptr;
}

std::unique_ptr<SimulatorRun> TestDebugWindow::startSimulator()
{
    SimOptions options = SimulatorRun::options();
    options.scene = SimOptions::Scene::Test;
    options.width = 120;
    options.height = 200;
    options.fps = 60;
    return SimulatorRun::onStandardPort(options);
}

void TestDebugWindow::breakpointInAnIncludedFile()
{
    const std::unique_ptr<SimulatorRun> sim = startSimulator();
    QVERIFY(sim);
    ProjectManagerWindow window;
    window.show();
    window.device().setAddress(sim->address);
    Ui::ProjectManagerWindow &form = *window.form();

    // F9 on the log line of the included check; the script shown is main's.
    window.openScript(project + QStringLiteral("/lib/check.lua"));
    putCaret(window.scripts().current(), 5);
    form.toggle_breakpoint_action->trigger();
    QCOMPARE(window.debugging().breakpoints().all().value(project + QStringLiteral("/lib/check.lua")), QVector<int>{5});
    window.openScript(project + QStringLiteral("/main.script"));
    QVERIFY(!form.continue_run_action->isEnabled());
    QVERIFY(!form.step_out_action->isEnabled());
    QVERIFY(!window.debugging().dock()->isVisible());

    QSignalSpy paused(&window.runs().debugger(), &ScriptDebugger::signal_paused);
    form.local_run_action->trigger();
    QVERIFY(waitFor([&] { return !paused.isEmpty(); }));
    // The check's script is opened at the line, and the frames and the check's locals are shown.
    QCOMPARE(markedPlace(window, project), QStringLiteral("lib/check.lua:5"));
    // The paused line keeps its colour with the caret on it in a focused editor.
    ScriptEditor *check = window.scripts().current();
    check->SendScintilla(QsciScintillaBase::SCI_SETFOCUS, true);
    putCaret(check, 4);
    const QColor pausedColour = lineColour(check, 5);
    QVERIFY(pausedColour != lineColour(check, 4) && pausedColour != lineColour(check, 6));
    putCaret(check, 5);
    QCOMPARE(lineColour(check, 5), pausedColour);
    QVERIFY(window.debugging().dock()->isVisible());
    QCOMPARE(stackShown(window),
             (QStringList{QStringLiteral("tapAndCheck lib/check.lua:5"), QStringLiteral("main.script main.script:6")}));
    QMap<QString, QString> locals = localsShown(window);
    QCOMPARE(locals.value(QStringLiteral("round")), QStringLiteral("1"));
    QCOMPARE(locals.value(QStringLiteral("now")), QString::number(SimTestScene::buttonColour(1)));
    QVERIFY(locals.value(QStringLiteral("colour")) != locals.value(QStringLiteral("now")));
    QVERIFY(locals.contains(QStringLiteral("x")) && locals.contains(QStringLiteral("y")));
    // While paused F5 goes on and the steps can act; the check's F5 waits.
    QVERIFY(form.continue_run_action->isEnabled() && form.step_out_action->isEnabled());
    QVERIFY(form.syntax_check_action->shortcut().isEmpty());
    QVERIFY(!form.pause_run_action->isEnabled());

    // Watches: one typed in the last row, one the engine refuses, in the frame chosen.
    WatchModel &watches = window.debugging().watches();
    QVERIFY(watches.setData(watches.index(0, VariableModel::Name), QStringLiteral("round * 10")));
    QVERIFY(watches.setData(watches.index(1, VariableModel::Name), QStringLiteral("now")));
    QVERIFY(watches.setData(watches.index(2, VariableModel::Name), QStringLiteral("touchClick(1, 1)")));
    QTreeView *watchView = window.debugging().panes().watchView();
    QVERIFY(waitFor([&] { return !rowsOf(watchView).value(QStringLiteral("touchClick(1, 1)")).isEmpty(); }));
    QCOMPARE(rowsOf(watchView).value(QStringLiteral("round * 10")), QStringLiteral("10"));
    QCOMPARE(rowsOf(watchView).value(QStringLiteral("now")), locals.value(QStringLiteral("now")));
    // The main chunk's frame: its line marked in main.script, its locals, the watch evaluated there.
    window.debugging().chooseFrame(1);
    QCOMPARE(markedPlace(window, project), QStringLiteral("main.script:6"));
    QVERIFY(waitFor([&] { return localsShown(window).contains(QStringLiteral("colour")); }));
    QVERIFY(!localsShown(window).contains(QStringLiteral("now")));
    QVERIFY(waitFor([&] { return rowsOf(watchView).value(QStringLiteral("now")) == QStringLiteral("nil"); }));

    // On to the next round's stop at the same breakpoint.
    QCOMPARE(stepTo(window, form.continue_run_action, project), QStringLiteral("lib/check.lua:5"));
    QVERIFY(waitFor([&] { return localsShown(window).value(QStringLiteral("round")) == QStringLiteral("2"); }));
    QCOMPARE(rowsOf(watchView).value(QStringLiteral("round * 10")), QStringLiteral("20"));
    // Without the breakpoint the run goes to its end; the marks and panes go with it.
    form.toggle_breakpoint_action->trigger();
    QVERIFY(window.debugging().breakpoints().isEmpty());
    QCOMPARE(stepTo(window, form.continue_run_action, project), QStringLiteral("(ended)"));
    QVERIFY(!form.continue_run_action->isEnabled());
    QCOMPARE(BreakpointMarks::find(window.scripts().current())->pauseLine(), 0);
    QVERIFY(!window.debugging().dock()->isVisible());
    QCOMPARE(form.syntax_check_action->shortcut(), QKeySequence(Qt::Key_F5));
    QVERIFY(form.outText->toPlainText().contains(QString::asprintf("round 3 colour %06X", SimTestScene::buttonColour(3))));
    // The refused watch sent nothing: three taps of the script only.
    QCOMPARE(sim->events.filter(QStringLiteral("touch press")).size(), 3);
}

void TestDebugWindow::steppingAcrossACoroutine()
{
    ws->writeFile(QStringLiteral("工程目录/p/main.script"), kCoroutine);
    const std::unique_ptr<SimulatorRun> sim = startSimulator();
    QVERIFY(sim);
    ProjectManagerWindow window;
    window.show();
    window.device().setAddress(sim->address);
    Ui::ProjectManagerWindow &form = *window.form();
    window.openScript(project + QStringLiteral("/main.script"));

    // A click in the margin sets the breakpoint.
    ScriptEditor *editor = window.scripts().current();
    emit editor->marginClicked(0, 4, Qt::NoModifier);
    QCOMPARE(BreakpointMarks::find(editor)->lines(), QVector<int>{5});

    QCOMPARE(stepTo(window, form.local_run_action, project), QStringLiteral("main.script:5"));
    // Over the resume: the coroutine's lines are not stopped at; into the next one, out of it.
    QCOMPARE(stepTo(window, form.step_over_action, project), QStringLiteral("main.script:6"));
    QCOMPARE(localsShown(window).value(QStringLiteral("x")), QStringLiteral("2"));
    QCOMPARE(stepTo(window, form.step_into_action, project), QStringLiteral("main.script:3"));
    QCOMPARE(stackShown(window).first(), QStringLiteral("main.script:1 main.script:3"));
    QCOMPARE(stackShown(window).last(), QStringLiteral("main.script main.script:6"));
    QCOMPARE(stepTo(window, form.step_out_action, project), QStringLiteral("main.script:7"));
    QCOMPARE(localsShown(window).value(QStringLiteral("y")), QStringLiteral("4"));
    QCOMPARE(stepTo(window, form.continue_run_action, project), QStringLiteral("(ended)"));

    // F10 with nothing running starts a run paused at its first line; Shift+F5 stops it there.
    QCOMPARE(stepTo(window, form.step_over_action, project), QStringLiteral("main.script:1"));
    form.stop_run_action->trigger();
    QVERIFY(waitFor([&] { return !window.runs().isRunning(); }));
    QCOMPARE(BreakpointMarks::find(editor)->pauseLine(), 0);
}

void TestDebugWindow::breakpointsComeBackWithTheSession()
{
    const QString main = project + QStringLiteral("/main.script");
    const QString check = project + QStringLiteral("/lib/check.lua");
    {
        ProjectManagerWindow window;
        window.restoreSession();
        window.show();
        window.openScript(check);
        putCaret(window.scripts().current(), 2);
        window.form()->toggle_breakpoint_action->trigger();
        window.scripts().closeCurrent(); // its breakpoint stays
        window.openScript(main);
        ScriptEditor *editor = window.scripts().current();
        putCaret(editor, 4);
        window.form()->toggle_breakpoint_action->trigger();
        // Two lines typed above: the breakpoint moves with its line.
        editor->insertAt(QStringLiteral("-- a\n-- b\n"), 0, 0);
        QCOMPARE(window.debugging().breakpoints().all().value(main), QVector<int>{6});
        QVERIFY(window.scripts().saveUnder(project));
        WatchModel &watches = window.debugging().watches();
        watches.add(QStringLiteral("colour"));
        QVERIFY(window.close());
    }
    ProjectManagerWindow window;
    window.restoreSession();
    QCOMPARE(window.scripts().current()->path(), main);
    QCOMPARE(BreakpointMarks::find(window.scripts().current())->lines(), QVector<int>{6});
    QCOMPARE(window.debugging().watches().expressions(), QStringList{QStringLiteral("colour")});
    window.openScript(check);
    QCOMPARE(BreakpointMarks::find(window.scripts().current())->lines(), QVector<int>{2});
}

void TestDebugWindow::breakpointsFollowTheirScript()
{
    const std::unique_ptr<SimulatorRun> sim = startSimulator();
    QVERIFY(sim);
    ProjectManagerWindow window;
    window.show();
    window.device().setAddress(sim->address);
    Ui::ProjectManagerWindow &form = *window.form();
    window.openScript(project + QStringLiteral("/lib/check.lua"));
    putCaret(window.scripts().current(), 5);
    form.toggle_breakpoint_action->trigger();
    window.scripts().closeCurrent();
    window.openScript(project + QStringLiteral("/main.script"));
    ScriptEditor *main = window.scripts().current();
    putCaret(main, 2);
    form.toggle_breakpoint_action->trigger();

    // The closed check moves to another folder in the tree; main's include follows it.
    QVERIFY(QDir().mkpath(project + QStringLiteral("/other")));
    QVERIFY(form.projectTreeWidget->moveInto(project + QStringLiteral("/lib/check.lua"), project + QStringLiteral("/other")));
    main->setSelection(0, 9, 0, 22);
    main->replaceSelectedText(QStringLiteral("other/check.lua"));
    const QHash<QString, QVector<int>> expected{{project + QStringLiteral("/other/check.lua"), {5}},
                                                {project + QStringLiteral("/main.script"), {2}}};
    QCOMPARE(window.debugging().breakpoints().all(), expected);
    QCOMPARE(stepTo(window, form.local_run_action, project), QStringLiteral("main.script:2"));
    QCOMPARE(stepTo(window, form.continue_run_action, project), QStringLiteral("other/check.lua:5"));
    form.stop_run_action->trigger();
    QVERIFY(waitFor([&] { return !window.runs().isRunning(); }));
}

void TestDebugWindow::hollowOnceTheScriptChanges()
{
    const std::unique_ptr<SimulatorRun> sim = startSimulator();
    QVERIFY(sim);
    ProjectManagerWindow window;
    window.show();
    window.device().setAddress(sim->address);
    Ui::ProjectManagerWindow &form = *window.form();
    window.openScript(project + QStringLiteral("/lib/check.lua"));
    ScriptEditor *editor = window.scripts().current();
    putCaret(editor, 3);
    form.toggle_breakpoint_action->trigger();
    BreakpointMarks *marks = BreakpointMarks::find(editor);

    QCOMPARE(stepTo(window, form.local_run_action, project), QStringLiteral("lib/check.lua:3"));
    QVERIFY(!marks->isHollow());
    // A line typed above: the mark moves with its line, hollow, as the run still has the old text.
    editor->insertAt(QStringLiteral("  -- note\n"), 1, 0);
    QVERIFY(marks->isHollow());
    QCOMPARE(marks->lines(), QVector<int>{4});
    // The run goes on stopping where it loaded the breakpoint.
    QCOMPARE(stepTo(window, form.continue_run_action, project), QStringLiteral("lib/check.lua:3"));
    // Undone, the script is as the run has it again.
    editor->undo();
    QVERIFY(!editor->isModified());
    QVERIFY(!marks->isHollow());
    form.stop_run_action->trigger();
    QVERIFY(waitFor([&] { return !window.runs().isRunning(); }));
    // Saved changed, the next run starts with the marks full again.
    editor->insertAt(QStringLiteral("  -- note\n"), 1, 0);
    QCOMPARE(stepTo(window, form.local_run_action, project), QStringLiteral("lib/check.lua:4"));
    QVERIFY(!marks->isHollow());
    form.stop_run_action->trigger();
    QVERIFY(waitFor([&] { return !window.runs().isRunning(); }));
}

QTEST_MAIN(TestDebugWindow)
#include "tst_debugwindow.moc"
