#pragma once

#include "editor/ScriptAnalysis.h"
#include "project/ProjectIndex.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <atomic>
#include <memory>

class ActiveProject;
class EditorStatus;
class OutlineBar;
class QTimer;
class QWidget;
class ScriptEditor;
class ScriptTabs;

// What is known of the open scripts and the active project from their compiled code, kept
// fresh as they change. An open script is analysed when it opens and as it changes, from a
// snapshot of its text, on a thread of its own: its functions (the outline above the
// editor, which follows the caret), its locals, the globals it defines and uses, its words for
// completion and how its lines end (the status bar). The project's index of globals comes from
// its last check, or from a reading of its scripts in the background until there is one, and
// takes in the open scripts of the project as they are analysed. The interface thread only
// takes the results.
class CodeInsight : public QObject
{
    Q_OBJECT

public:
    // A change is analysed once no other has come for this long, and again as soon as the
    // analysis under way ends when the text changed meanwhile: when typing pauses, what the
    // script shows is known after one analysis of its final text.
    static constexpr int kSettleMs = 50;

    CodeInsight(ScriptTabs &scripts, ActiveProject &project, ScriptAnalysis::Analyser analyse, QObject *parent = nullptr);
    // Waits for the analyses under way.
    ~CodeInsight() override;

    // The outline above the open scripts, and the editor's status: laid out by the window.
    QWidget *editorArea() const { return area; }
    EditorStatus &status() const { return *statusWidget; }
    OutlineBar &outline() const { return *outlineBar; }

    // What the last analysis of an open script found; null before the first.
    const ScriptFacts *facts(const ScriptEditor *editor) const;
    // The facts of the active project's scripts.
    const ProjectIndex &index() const { return projectIndex; }
    // Whether analyses are waiting or under way (the background reading of a project included).
    bool isBusy() const;

    // A check or build of the active project: what it found in each script it compiled (path
    // relative to the project), then its end. A check that compiled every script also tells
    // which scripts are gone.
    void checkStarted();
    void takeCheckFacts(const QString &path, const ScriptFacts &facts);
    void checkFinished(bool ok);
    // A file or folder was renamed or moved (absolute paths): what the project's scripts define
    // is known at their new place.
    void pathMoved(const QString &from, const QString &to);

signals:
    // An open script's analysis came in.
    void signal_analysed(ScriptEditor *editor);

private:
    struct Watch;

    void watch(ScriptEditor *editor);
    void analyse(ScriptEditor *editor);
    void take(ScriptEditor *editor, ScriptAnalysis analysis, uint textHash);
    void showCurrent();
    void followCaret();
    void projectChanged();
    QString relativePath(const ScriptEditor *editor) const;

    ScriptTabs &scripts;
    ActiveProject &project;
    ScriptAnalysis::Analyser analyser;
    QWidget *area = nullptr;
    OutlineBar *outlineBar = nullptr;
    EditorStatus *statusWidget = nullptr;
    QHash<const ScriptEditor *, std::shared_ptr<Watch>> watches;
    QPointer<ScriptEditor> followed; // whose caret the outline and status follow
    ProjectIndex projectIndex;
    QSet<QString> checked;              // scripts the running check has compiled
    std::shared_ptr<std::atomic<int>> projectReading; // the reading wanted; another stops the one running
    // Files and folders moved since the reading or check began (relative paths, in order): what
    // it finds under a path from before a move belongs where the move took it.
    QVector<QPair<QString, QString>> moves;
    QString afterMoves(QString path) const;
    QThreadPool editorPool;  // one open script at a time
    QThreadPool projectPool; // the project's scripts, while nothing else waits
};
