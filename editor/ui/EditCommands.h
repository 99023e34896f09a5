#pragma once

#include <QObject>
#include <QPoint>

class QAction;
class QWidget;
class ScriptEditor;
class ScriptTabs;

// The edit commands, one set of actions for the edit menu and every editor's context menu, so
// both show the same texts and shortcuts. Undo, redo and the clipboard work on whatever has the
// keyboard focus in the window (a script, an output pane, a search field); the line commands work
// on the current script, and their keys only while a script has the focus.
class EditCommands : public QObject
{
    Q_OBJECT

public:
    struct Actions
    {
        QAction *undo = nullptr;
        QAction *redo = nullptr;
        QAction *cut = nullptr;
        QAction *copy = nullptr;
        QAction *paste = nullptr;
        QAction *selectAll = nullptr;
        QAction *toggleComment = nullptr;
        QAction *duplicateLines = nullptr;
        QAction *moveLinesUp = nullptr;
        QAction *moveLinesDown = nullptr;
    };

    // The actions stay the window's; the keys of the standard ones are set here.
    EditCommands(ScriptTabs &scripts, const Actions &actions, QWidget *window);

    // The context menu of an editor: the same actions, those that cannot act on it now greyed.
    void showContextMenu(ScriptEditor *editor, const QPoint &globalPos);

private:
    // Runs a slot of QsciScintilla or of a text field on the focused widget of the window,
    // else on the current script.
    void runOnFocus(const char *method);

    ScriptTabs &scripts;
    Actions actions;
    QWidget *window;
};
