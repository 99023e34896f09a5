#pragma once

#include <QHash>
#include <QObject>
#include <QVector>

class ScriptEditor;

// The debugger's marks in one script's editor. Breakpoints sit in the symbol margin, where a
// click toggles one; they are Scintilla markers, so they move with the text as it is edited, and
// their lines are read back when wanted. While the file differs from what a run loaded they are
// drawn hollow, and each keeps the line the run has for it (none for one set since). A paused
// script's line gets an arrow and a line background: the innermost frame's in yellow, another
// frame chosen in green.
class BreakpointMarks : public QObject
{
    Q_OBJECT

public:
    // The marks of an editor, made with its first use.
    static BreakpointMarks *of(ScriptEditor *editor);
    // Null when the editor has never had any.
    static BreakpointMarks *find(const ScriptEditor *editor);

    ScriptEditor *editor() const;
    // Lines from 1, ascending, each once.
    QVector<int> lines() const;
    void setLines(const QVector<int> &lines);
    bool has(int line) const;
    // Adds or removes the breakpoint of a line; true when it is there now.
    bool toggle(int line);

    void setHollow(bool hollow);
    bool isHollow() const { return hollow; }
    // The run loads the file as it is: each breakpoint's run line is its line now.
    void settleRunLines();
    // The run lines of the breakpoints there still are, ascending, each once.
    QVector<int> runLines() const;

    // The line (from 1) a paused script is at, in its innermost frame or another one chosen.
    void showPause(int line, bool innermost);
    void clearPause();
    // The line the pause is shown at, 0 for none.
    int pauseLine() const;

signals:
    // A click in the symbol margin toggled a breakpoint.
    void signal_toggled();

private:
    explicit BreakpointMarks(ScriptEditor *editor);
    void drawBreakpoint();
    void showCaretLine();
    unsigned arrowMask() const { return (1u << arrowMarker[0]) | (1u << arrowMarker[1]); }

    int breakpointMarker = -1;
    int arrowMarker[2] = {-1, -1};      // innermost, other frame
    int backgroundMarker[2] = {-1, -1};
    bool hollow = false;
    QHash<int, int> runLine; // by marker handle
};
