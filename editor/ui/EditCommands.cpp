#include "editor/ui/EditCommands.h"

#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

EditCommands::EditCommands(ScriptTabs &scripts, const Actions &actions, QWidget *window)
    : scripts(scripts)
    , actions(actions)
    , window(window)
{
    const struct
    {
        QAction *action;
        QList<QKeySequence> keys;
        const char *method;
    } standard[] = {
        {actions.undo, QKeySequence::keyBindings(QKeySequence::Undo), "undo"},
        // Both keys common editors use, the first shown; the editor answers to both too.
        {actions.redo, {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, "redo"},
        {actions.cut, QKeySequence::keyBindings(QKeySequence::Cut), "cut"},
        {actions.copy, QKeySequence::keyBindings(QKeySequence::Copy), "copy"},
        {actions.paste, QKeySequence::keyBindings(QKeySequence::Paste), "paste"},
        {actions.selectAll, QKeySequence::keyBindings(QKeySequence::SelectAll), "selectAll"},
    };
    for (const auto &entry : standard) {
        entry.action->setShortcuts(entry.keys);
        connect(entry.action, &QAction::triggered, this, [this, method = entry.method] { runOnFocus(method); });
    }

    const struct
    {
        QAction *action;
        void (*run)(ScriptEditor *);
    } lineCommands[] = {
        {actions.toggleComment, [](ScriptEditor *e) { e->toggleComment(); }},
        {actions.duplicateLines, [](ScriptEditor *e) { e->duplicateLines(); }},
        {actions.moveLinesUp, [](ScriptEditor *e) { e->moveLines(true); }},
        {actions.moveLinesDown, [](ScriptEditor *e) { e->moveLines(false); }},
    };
    for (const auto &entry : lineCommands) {
        // The keys reach the scripts only: in the tree or a search field they mean nothing here.
        entry.action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        scripts.widget()->addAction(entry.action);
        connect(entry.action, &QAction::triggered, this, [this, run = entry.run] {
            ScriptEditor *editor = this->scripts.current();
            run(editor);
            editor->setFocus();
        });
    }
    connect(&scripts, &ScriptTabs::signal_contextMenu, this, &EditCommands::showContextMenu);
}

void EditCommands::runOnFocus(const char *method)
{
    QObject *target = scripts.current();
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus->window() == window && focus->metaObject()->indexOfSlot(QByteArray(method) + "()") >= 0)
        target = focus;
    QMetaObject::invokeMethod(target, method);
}

void EditCommands::showContextMenu(ScriptEditor *editor, const QPoint &globalPos)
{
    const bool writable = !editor->isReadOnly();
    const bool selection = editor->hasSelectedText();
    const struct
    {
        QAction *action;
        bool enabled;
    } entries[] = {
        {actions.undo, writable && editor->isUndoAvailable()},
        {actions.redo, writable && editor->isRedoAvailable()},
        {nullptr, false},
        {actions.cut, writable && selection},
        {actions.copy, selection},
        {actions.paste, writable && editor->SendScintilla(QsciScintillaBase::SCI_CANPASTE)},
        {actions.selectAll, true},
        {nullptr, false},
        {actions.toggleComment, writable},
        {actions.duplicateLines, writable},
        {actions.moveLinesUp, writable},
        {actions.moveLinesDown, writable},
    };
    // The menu runs its choice on this editor: the focus may still be elsewhere when the menu
    // was asked for with the mouse.
    editor->setFocus();
    QMenu menu;
    for (const auto &entry : entries) {
        if (!entry.action) {
            menu.addSeparator();
            continue;
        }
        entry.action->setEnabled(entry.enabled);
        menu.addAction(entry.action);
    }
    menu.exec(globalPos);
    // Greyed for this menu only: the keys and the edit menu work on whatever has the focus.
    for (const auto &entry : entries) {
        if (entry.action)
            entry.action->setEnabled(true);
    }
}
