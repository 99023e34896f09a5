#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "editor/ScriptPlace.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QVector>

class QStackedWidget;
class QTabWidget;
class QWidget;
class ScriptEditor;

// The open scripts: one tab each, and the welcome text while none is open. It asks the author
// what it must (saving over bytes that were not UTF-8, closing or losing unsaved changes, a
// file changed by another program) and tells why a script cannot be opened or saved. It also
// keeps the marks of the places the output leads to: a script opened later gets the marks of
// the last check too.
class ScriptTabs : public QObject
{
    Q_OBJECT

public:
    explicit ScriptTabs(QObject *parent = nullptr);
    ~ScriptTabs() override;

    // The tabs and the welcome text, to be laid out by the window.
    QWidget *widget() const;

    // Shows a script in its tab, opening one when it is not open yet. A file that cannot be read
    // opens nothing and says why; null then.
    ScriptEditor *open(const QString &path);
    // The editor of the current tab, or the welcome text's when no script is open.
    ScriptEditor *current() const;
    // The editors of all open scripts, in tab order.
    QList<ScriptEditor *> editors() const;
    ScriptEditor *editorFor(const QString &path) const;
    QList<ScriptEditor *> modified() const;
    // "<base> - [<path>]", with " *" after the path while it has changes; base alone without one.
    QString title(const QString &base) const;

    // Saves a script if it has changes, asking first when that would rewrite bytes that were not
    // UTF-8. False when saving failed or was declined; the author has been told why and the
    // script stays marked modified.
    bool save(ScriptEditor *editor);
    // Saves the modified scripts in a directory tree; fails naming the first that did not save.
    Status saveUnder(const QString &directory);
    // Saves every modified script; false when one did not save (the author has been told why).
    bool saveAll();
    // Asks Save / Discard / Cancel for these modified scripts; Save saves them all (stopping at
    // the first failure, which counts as Cancel). True when the caller may go on.
    bool settle(const QList<ScriptEditor *> &modified, const QString &title, const QString &question);
    // Closes a script's tab; a modified one asks first. False when the author kept it open.
    bool close(ScriptEditor *editor);
    void closeCurrent();
    // Opens the script whose tab was closed last again, at its caret; scripts whose file is
    // gone are passed over. False when there is none.
    bool reopenClosed();
    void showNext();
    void showPrevious();

    // Inserts text into the current script (ScriptEditor::insertSnippet) and brings its window
    // forward. With no script open nothing is inserted and the author is told.
    void insertSnippet(const QString &text);
    // Asks for a line number and moves the current script's caret there.
    void askGoToLine();

    // Brings a file changed, or removed, by another program into the open tabs: an unmodified
    // script is reloaded (or closed), a modified one asks before its changes are replaced.
    void checkOnDisk();
    // A file or directory was deleted: its unmodified scripts are closed, modified ones kept.
    void pathDeleted(const QString &path);
    // A file or directory was renamed or moved: its open scripts follow it.
    void pathMoved(const QString &from, const QString &to);

    // Opens the script of a place at its line, marked. Fails, saying why, for a place that
    // leads nowhere.
    Status goTo(const Diagnostic &place);
    // Marks an error's or a warning's place in its script, now if it is open, else when it is
    // opened; the caret stays.
    void mark(const Diagnostic &found);
    // Forgets and removes the marks of the last check, or of the last search.
    void clearCheckMarks();
    void clearSearchMarks();

    // The open scripts with their carets, and the current one's index (-1 for none); opened
    // again as they were.
    QVector<ScriptPlace> places() const;
    int currentIndex() const;
    void restore(const QVector<ScriptPlace> &places, int current);

signals:
    // The current script, its path or its modified state changed: titles follow.
    void signal_currentChanged();
    // A script got its tab; one is about to lose it (it still holds its text and marks).
    void signal_opened(ScriptEditor *editor);
    void signal_closing(ScriptEditor *editor);
    // The author asked for an editor's context menu.
    void signal_contextMenu(ScriptEditor *editor, const QPoint &globalPos);

private:
    void refreshTab(ScriptEditor *editor);
    void removeTab(ScriptEditor *editor);
    void watch(ScriptEditor *editor);
    static ScriptPlace placeOf(ScriptEditor *editor);
    // Opens a script with its caret and view as they were; null when it cannot be read.
    ScriptEditor *openAt(const ScriptPlace &place);
    static void markIn(ScriptEditor *editor, const Diagnostic &place);
    QWidget *dialogParent() const;

    QPointer<QStackedWidget> stack;
    ScriptEditor *welcome = nullptr;
    QTabWidget *tabs = nullptr;
    // The last check's marks, with the file each is in, and the files of its places.
    static constexpr int kMaxCheckMarks = 10000;
    QList<QPair<QString, Diagnostic>> checkMarks;
    QHash<QString, QString> checkedFiles;
    bool checkingDisk = false;
    // The tabs closed by the author, the last one last.
    static constexpr int kMaxClosed = 30;
    QVector<ScriptPlace> closed;
};
