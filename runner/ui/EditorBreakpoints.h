#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QVector>

class ScriptDebugger;
class ScriptEditor;
class ScriptTabs;

// The breakpoints of every script: marks in the editors of the open ones (BreakpointMarks, whose
// lines follow the edits) and lines by file for the others. The debugger is told of each change.
// A run gets the lines of the scripts as they are when it starts; while it goes, the marks of a
// script changed since (edited, or saved anew) are hollow and the run keeps the lines it has.
class EditorBreakpoints : public QObject
{
    Q_OBJECT

public:
    EditorBreakpoints(ScriptTabs &scripts, ScriptDebugger &debugger, QObject *parent = nullptr);

    // At the caret's line of the current script; false when no script is open.
    bool toggleAtCaret();
    void toggle(ScriptEditor *editor, int line);
    void clear();
    bool isEmpty() const;
    // By absolute path, lines from 1: what the session keeps.
    QHash<QString, QVector<int>> all() const;
    void restore(const QHash<QString, QVector<int>> &breakpoints);
    // A file or folder was renamed or moved, after the tabs of its open scripts followed it:
    // its scripts' breakpoints go with them.
    void pathMoved(const QString &from, const QString &to);

    // A run loads the scripts now, or has ended.
    void runStarting();
    void runEnded();

signals:
    void signal_changed();

private:
    struct DiskStamp
    {
        QDateTime modified;
        qint64 size = -1;
        bool operator!=(const DiskStamp &other) const { return modified != other.modified || size != other.size; }
    };
    static DiskStamp stampOf(const QString &path);
    void attach(ScriptEditor *editor);
    void detach(ScriptEditor *editor);
    // Hollow or not, and the debugger told the lines the run has.
    void follow(ScriptEditor *editor);
    void tell(ScriptEditor *editor);

    ScriptTabs &scripts;
    ScriptDebugger &debugger;
    QHash<QString, QVector<int>> closedFiles;
    bool running = false;
    QHash<QString, DiskStamp> runStamps; // of the open scripts, as the run loaded them
};
