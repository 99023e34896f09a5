#pragma once

#include <QObject>

#include <memory>

class ActiveProject;
class BuildCommands;
class CodeInsight;
class CodeNavigation;
class RunCommands;
class ScriptTabs;
class SearchCommands;
class QWidget;

namespace Ui {
class ProjectManagerWindow;
}

// The editor's help from the compiled code, wired to the commands and the window's form: the
// analysis of the open scripts (outline, status, completion's words) and go to definition and
// the list of uses take the facts each check or build finds; the problems pane keeps its errors
// and warnings, and the error that ended a run since, until the next one, whatever else the
// output shows meanwhile; a double-click on one leads there. The list of uses takes the output
// from a running project search.
class CodeAssist : public QObject
{
    Q_OBJECT

public:
    CodeAssist(ScriptTabs &scripts, ActiveProject &project, BuildCommands &builds, RunCommands &runs,
               SearchCommands &searches, Ui::ProjectManagerWindow &form, QObject *parent = nullptr);
    ~CodeAssist() override;

    CodeInsight &insight() const { return *codeInsight; }
    CodeNavigation &navigation() const { return *codeNavigation; }
    // The outline above the open scripts, to be laid out by the window.
    QWidget *editorArea() const;

signals:
    // Why a place could not be shown, or what else there is: for the status line.
    void signal_status(const QString &text);

private:
    std::unique_ptr<CodeInsight> codeInsight;
    std::unique_ptr<CodeNavigation> codeNavigation;
};
