#include "runner/ui/EditorBreakpoints.h"

#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "project/FileOperations.h"
#include "runner/ScriptDebugger.h"
#include "runner/ui/BreakpointMarks.h"

#include <QFileInfo>

EditorBreakpoints::EditorBreakpoints(ScriptTabs &scripts, ScriptDebugger &debugger, QObject *parent)
    : QObject(parent)
    , scripts(scripts)
    , debugger(debugger)
{
    connect(&scripts, &ScriptTabs::signal_opened, this, &EditorBreakpoints::attach);
    connect(&scripts, &ScriptTabs::signal_closing, this, &EditorBreakpoints::detach);
    for (ScriptEditor *editor : scripts.editors())
        attach(editor);
}

EditorBreakpoints::DiskStamp EditorBreakpoints::stampOf(const QString &path)
{
    const QFileInfo info(path);
    return {info.lastModified(), info.exists() ? info.size() : -1};
}

void EditorBreakpoints::attach(ScriptEditor *editor)
{
    BreakpointMarks *marks = BreakpointMarks::of(editor);
    const QString path = ScriptDebugger::fileKey(editor->path());
    marks->setLines(closedFiles.take(path));
    if (running)
        runStamps.insert(path, stampOf(path));
    marks->settleRunLines();
    connect(marks, &BreakpointMarks::signal_toggled, this, [this, editor] {
        tell(editor);
        emit signal_changed();
    });
    connect(editor, &ScriptEditor::signal_stateChanged, marks, [this, editor] { follow(editor); });
}

void EditorBreakpoints::detach(ScriptEditor *editor)
{
    const BreakpointMarks *marks = BreakpointMarks::find(editor);
    const QVector<int> lines = marks ? marks->lines() : QVector<int>();
    if (!lines.isEmpty())
        closedFiles.insert(ScriptDebugger::fileKey(editor->path()), lines);
}

bool EditorBreakpoints::toggleAtCaret()
{
    ScriptEditor *editor = scripts.current();
    if (editor->path().isEmpty())
        return false;
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    toggle(editor, line + 1);
    return true;
}

void EditorBreakpoints::toggle(ScriptEditor *editor, int line)
{
    BreakpointMarks::of(editor)->toggle(line);
    tell(editor);
    emit signal_changed();
}

void EditorBreakpoints::clear()
{
    for (auto file = closedFiles.cbegin(); file != closedFiles.cend(); ++file)
        static_cast<void>(debugger.setBreakpoints(file.key(), {}));
    closedFiles.clear();
    for (ScriptEditor *editor : scripts.editors()) {
        if (BreakpointMarks *marks = BreakpointMarks::find(editor)) {
            marks->setLines({});
            tell(editor);
        }
    }
    emit signal_changed();
}

bool EditorBreakpoints::isEmpty() const
{
    return all().isEmpty();
}

QHash<QString, QVector<int>> EditorBreakpoints::all() const
{
    QHash<QString, QVector<int>> found = closedFiles;
    for (ScriptEditor *editor : scripts.editors()) {
        const BreakpointMarks *marks = BreakpointMarks::find(editor);
        const QVector<int> lines = marks ? marks->lines() : QVector<int>();
        if (!lines.isEmpty())
            found.insert(ScriptDebugger::fileKey(editor->path()), lines);
    }
    return found;
}

void EditorBreakpoints::restore(const QHash<QString, QVector<int>> &breakpoints)
{
    for (auto file = breakpoints.cbegin(); file != breakpoints.cend(); ++file) {
        const QString path = ScriptDebugger::fileKey(file.key());
        if (ScriptEditor *editor = scripts.editorFor(path)) {
            BreakpointMarks::of(editor)->setLines(file.value());
            tell(editor);
        } else if (!file.value().isEmpty()) {
            closedFiles.insert(path, file.value());
            static_cast<void>(debugger.setBreakpoints(path, file.value()));
        }
    }
    emit signal_changed();
}

void EditorBreakpoints::pathMoved(const QString &from, const QString &to)
{
    const QString source = ScriptDebugger::fileKey(from);
    const QString target = ScriptDebugger::fileKey(to);
    const QHash<QString, QVector<int>> closed = closedFiles;
    for (auto file = closed.cbegin(); file != closed.cend(); ++file) {
        const QString moved = FileOperations::pathAfterMove(file.key(), source, target);
        if (moved.isEmpty())
            continue;
        closedFiles.remove(file.key());
        closedFiles.insert(moved, file.value());
        static_cast<void>(debugger.setBreakpoints(file.key(), {}));
        static_cast<void>(debugger.setBreakpoints(moved, file.value()));
    }
    // The open ones keep their marks; the debugger learns their new path.
    for (ScriptEditor *editor : scripts.editors()) {
        const QString before = FileOperations::pathAfterMove(ScriptDebugger::fileKey(editor->path()), target, source);
        if (before.isEmpty() || !BreakpointMarks::find(editor))
            continue;
        static_cast<void>(debugger.setBreakpoints(before, {}));
        tell(editor);
    }
    emit signal_changed();
}

void EditorBreakpoints::runStarting()
{
    running = true;
    runStamps.clear();
    // The scripts have just been saved: the marks' lines are the run's.
    for (ScriptEditor *editor : scripts.editors()) {
        BreakpointMarks *marks = BreakpointMarks::find(editor);
        if (!marks)
            continue;
        const QString path = ScriptDebugger::fileKey(editor->path());
        runStamps.insert(path, stampOf(path));
        marks->settleRunLines();
        follow(editor);
    }
}

void EditorBreakpoints::runEnded()
{
    running = false;
    runStamps.clear();
    for (ScriptEditor *editor : scripts.editors()) {
        if (BreakpointMarks *marks = BreakpointMarks::find(editor))
            marks->setHollow(false);
    }
}

void EditorBreakpoints::follow(ScriptEditor *editor)
{
    BreakpointMarks *marks = BreakpointMarks::of(editor);
    const QString path = ScriptDebugger::fileKey(editor->path());
    const bool changed = running && (editor->isModified() || stampOf(path) != runStamps.value(path));
    marks->setHollow(changed);
    if (running && !changed)
        tell(editor); // back as the run has it: the marks set meanwhile count too
}

void EditorBreakpoints::tell(ScriptEditor *editor)
{
    BreakpointMarks *marks = BreakpointMarks::of(editor);
    if (editor->path().isEmpty())
        return;
    QVector<int> lines = marks->lines();
    if (running) {
        if (!marks->isHollow())
            marks->settleRunLines();
        lines = marks->runLines();
    }
    // A script that does not compile keeps its lines as asked; the run says why it does not load.
    static_cast<void>(debugger.setBreakpoints(editor->path(), lines));
}
