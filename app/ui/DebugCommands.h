#pragma once

#include "runner/ScriptDebugger.h"

#include <QKeySequence>
#include <QObject>
#include <QPointer>

#include <memory>

class DebugPanes;
class EditorBreakpoints;
class QDockWidget;
class QMainWindow;
class RunCommands;
class ScriptEditor;
class ScriptTabs;
class VariableModel;
class WatchModel;
struct Session;

namespace Ui {
class ProjectManagerWindow;
}

// Debugging as the main window offers it. Every run of "本地运行" goes under the debugger: F9
// (or a click in the margin) sets breakpoints, which stop it; "暂停运行" (Ctrl+F5 while a run
// goes) stops it where it is; while paused, F5 goes on, F10, F11 and Shift+F11 step (F10 and F11
// also start a run paused before its first line), and the check keeps F5 at all other times. The
// line paused at is marked in its script, opened when needed; the call stack, the values of the
// frame chosen and the watches are shown in panes beside the editor. The run's label in the
// status line says where it is paused. A run being debugged (breakpoints set, or started by a
// step) also pauses at an error nothing catches; a plain run ends with it.
class DebugCommands : public QObject
{
    Q_OBJECT

public:
    DebugCommands(QMainWindow &window, Ui::ProjectManagerWindow &form, RunCommands &runs, ScriptTabs &scripts);
    ~DebugCommands() override;

    // The breakpoints, the watch expressions and where the panes are, kept between starts.
    void restore(const Session &session);
    void save(Session &session) const;

    EditorBreakpoints &breakpoints() const { return *editorBreakpoints; }
    DebugPanes &panes() const { return *debugPanes; }
    QDockWidget *dock() const { return debugDock; }
    VariableModel &variables() const { return *variableModel; }
    WatchModel &watches() const { return *watchModel; }
    // The frame whose values are shown, while paused; -1 otherwise.
    int chosenFrame() const { return frame; }
    // Shows a frame of the pause: its line in its script, its values, the watches evaluated in it.
    void chooseFrame(int index);

private:
    void paused();
    void resumed();
    void runningChanged(bool running);
    void step(ScriptDebugger::Step kind);
    void updateActions();
    void clearPauseMarks();

    QMainWindow &window;
    Ui::ProjectManagerWindow &form;
    RunCommands &runs;
    ScriptDebugger &debugger;
    ScriptTabs &scripts;
    std::unique_ptr<EditorBreakpoints> editorBreakpoints;
    std::unique_ptr<VariableModel> variableModel;
    std::unique_ptr<WatchModel> watchModel;
    DebugPanes *debugPanes;
    QDockWidget *debugDock; // holds the panes, at the window's right
    QKeySequence checkKeys; // the check's, which the going on takes while paused
    int frame = -1;
    bool panesShown = false; // in this run
    bool startedPaused = false; // this run, by a step
    QPointer<ScriptEditor> marked; // the script whose line is marked
};
