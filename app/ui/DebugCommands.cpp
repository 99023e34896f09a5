#include "app/ui/DebugCommands.h"

#include "app/Session.h"
#include "app/ui/RunCommands.h"
#include "app/ui/RunControls.h"
#include "common/ui/Notice.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "project/ui/ProjectTree.h"
#include "runner/VariableModel.h"
#include "runner/WatchModel.h"
#include "runner/ui/BreakpointMarks.h"
#include "runner/ui/DebugPanes.h"
#include "runner/ui/EditorBreakpoints.h"
#include "ui_ProjectManagerWindow.h"

#include <QDockWidget>
#include <QMainWindow>
#include <QStatusBar>

DebugCommands::DebugCommands(QMainWindow &window, Ui::ProjectManagerWindow &form, RunCommands &runs, ScriptTabs &scripts)
    : QObject(&window)
    , window(window)
    , form(form)
    , runs(runs)
    , debugger(runs.debugger())
    , scripts(scripts)
    , editorBreakpoints(std::make_unique<EditorBreakpoints>(scripts, debugger))
    , variableModel(std::make_unique<VariableModel>(debugger))
    , watchModel(std::make_unique<WatchModel>(debugger))
    , debugPanes(new DebugPanes(*variableModel, *watchModel))
    , debugDock(new QDockWidget(QStringLiteral("调试"), &window))
    , checkKeys(form.syntax_check_action->shortcut())
{
    debugDock->setObjectName(QStringLiteral("debugDock"));
    debugDock->setWidget(debugPanes);
    window.addDockWidget(Qt::RightDockWidgetArea, debugDock);
    debugDock->hide(); // until a run pauses

    // A run shows in the menu and the status line, and keeps the device and the project's files.
    window.statusBar()->addPermanentWidget(new RunControls(runs, form.local_run_action, form.stop_run_action));

    connect(&runs, &RunCommands::signal_scriptsStarting, editorBreakpoints.get(), &EditorBreakpoints::runStarting);
    // A plain run (no breakpoint, not stepped into) ends at an error as it always has; one being
    // debugged pauses there, with the error's locals at hand.
    connect(&runs, &RunCommands::signal_scriptsStarting, this,
            [this] { debugger.setStopAtErrors(startedPaused || !editorBreakpoints->isEmpty()); });
    connect(&runs, &RunCommands::signal_runningChanged, this, &DebugCommands::runningChanged);
    connect(&debugger, &ScriptDebugger::signal_paused, this, &DebugCommands::paused);
    connect(&debugger, &ScriptDebugger::signal_resumed, this, &DebugCommands::resumed);
    connect(debugPanes, &DebugPanes::signal_frameChosen, this, &DebugCommands::chooseFrame);
    connect(editorBreakpoints.get(), &EditorBreakpoints::signal_changed, this, &DebugCommands::updateActions);
    connect(&scripts, &ScriptTabs::signal_currentChanged, this, &DebugCommands::updateActions);

    // After the tabs (connected first): a script renamed or moved keeps its breakpoints.
    connect(form.projectTreeWidget, &ProjectTree::signal_moved, editorBreakpoints.get(), &EditorBreakpoints::pathMoved);
    connect(form.toggle_breakpoint_action, &QAction::triggered, editorBreakpoints.get(), &EditorBreakpoints::toggleAtCaret);
    connect(form.clear_breakpoints_action, &QAction::triggered, editorBreakpoints.get(), &EditorBreakpoints::clear);
    connect(form.pause_run_action, &QAction::triggered, &debugger, &ScriptDebugger::pause);
    connect(form.continue_run_action, &QAction::triggered, this, [this] { step(ScriptDebugger::Step::Continue); });
    connect(form.step_over_action, &QAction::triggered, this, [this] { step(ScriptDebugger::Step::Over); });
    connect(form.step_into_action, &QAction::triggered, this, [this] { step(ScriptDebugger::Step::Into); });
    connect(form.step_out_action, &QAction::triggered, this, [this] { step(ScriptDebugger::Step::Out); });
    updateActions();
}

DebugCommands::~DebugCommands() = default;

void DebugCommands::restore(const Session &session)
{
    if (!session.windowState.isEmpty())
        window.restoreState(session.windowState);
    debugDock->hide(); // until a run pauses
    editorBreakpoints->restore(session.breakpoints);
    watchModel->setExpressions(session.watches);
}

void DebugCommands::save(Session &session) const
{
    session.windowState = window.saveState();
    session.breakpoints = editorBreakpoints->all();
    session.watches = watchModel->expressions();
}

void DebugCommands::step(ScriptDebugger::Step kind)
{
    if (debugger.isPaused()) {
        debugger.resume(kind);
        return;
    }
    // Not running: F10 and F11 start a run that pauses before its first line.
    if (!runs.isRunning() && kind != ScriptDebugger::Step::Continue && kind != ScriptDebugger::Step::Out) {
        startedPaused = true;
        if (const Status started = runs.run(true); !started)
            showNotice(&window, started.error());
        startedPaused = runs.isRunning();
    }
}

void DebugCommands::paused()
{
    if (!panesShown) {
        debugDock->show();
        panesShown = true;
    }
    chooseFrame(0);
    updateActions();
}

void DebugCommands::chooseFrame(int index)
{
    if (!debugger.isPaused())
        return;
    const DebugPause &pause = debugger.pauseState();
    if (index < 0 || index >= pause.frames.size())
        return;
    frame = index;
    const DebugFrame &shown = pause.frames[index];
    debugPanes->showFrames(pause.frames, index);
    QVector<DebugVariable> scopes;
    if (shown.locals)
        scopes.append({QStringLiteral("局部变量"), QString(), QString(), shown.locals});
    if (shown.upvalues)
        scopes.append({QStringLiteral("上值"), QString(), QString(), shown.upvalues});
    scopes.append({QStringLiteral("全局变量"), QStringLiteral("脚本定义的全局变量"), QString(), pause.globals});
    variableModel->setRoots(scopes);
    watchModel->evaluateIn(index);

    clearPauseMarks();
    if (shown.script.isEmpty())
        return;
    ScriptEditor *editor = scripts.open(debugger.fileOf(shown.script));
    if (!editor)
        return; // said why
    marked = editor;
    BreakpointMarks::of(editor)->showPause(shown.line, index == 0);
    // Scrolled only when out of sight: stepping through a screenful keeps the view still.
    const int line = shown.line - 1;
    editor->setCursorPosition(line, 0);
    const int first = editor->firstVisibleLine();
    const int onScreen = int(editor->SendScintilla(QsciScintilla::SCI_LINESONSCREEN));
    if (line < first || line >= first + onScreen)
        editor->setFirstVisibleLine(qMax(0, line - onScreen / 2));
}

void DebugCommands::clearPauseMarks()
{
    if (marked)
        BreakpointMarks::of(marked)->clearPause();
    marked.clear();
}

void DebugCommands::resumed()
{
    frame = -1;
    clearPauseMarks();
    debugPanes->showFrames({}, -1);
    variableModel->clear();
    watchModel->evaluateIn(-1);
    updateActions();
}

void DebugCommands::runningChanged(bool running)
{
    if (!running) {
        startedPaused = false;
        editorBreakpoints->runEnded();
        debugDock->hide();
        panesShown = false;
    }
    updateActions();
}

void DebugCommands::updateActions()
{
    const bool paused = debugger.isPaused();
    const bool running = runs.isRunning();
    // After an error nothing steps: going on ends the run.
    const bool canStep = paused && debugger.pauseState().reason != DebugPause::Reason::Error;
    // The shortcut is the check's but while paused.
    form.syntax_check_action->setShortcut(paused ? QKeySequence() : checkKeys);
    form.continue_run_action->setEnabled(paused);
    form.pause_run_action->setEnabled(running && debugger.runner().isRunning() && !paused);
    form.step_over_action->setEnabled(canStep || !running);
    form.step_into_action->setEnabled(canStep || !running);
    form.step_out_action->setEnabled(canStep);
    form.toggle_breakpoint_action->setEnabled(!scripts.current()->path().isEmpty());
    form.clear_breakpoints_action->setEnabled(!editorBreakpoints->isEmpty());
}
