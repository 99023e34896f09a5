#pragma once

#include <QObject>

#include <memory>

class ActiveProject;
class BuildCommands;
class CodeInsight;
class CodeNavigation;
class ProblemsPane;
class ScriptTabs;
class SearchCommands;

// The editor's help from the compiled code, wired to the build commands: the analysis of the
// open scripts (outline, status, completion's words) and go to definition and the list of uses
// take the facts each check or build finds, and the problems pane keeps its errors and warnings
// until the next one, whatever else the output shows meanwhile; a double-click on one leads
// there. The list of uses takes the output from a running project search.
class CodeAssist : public QObject
{
    Q_OBJECT

public:
    CodeAssist(ScriptTabs &scripts, ActiveProject &project, BuildCommands &builds, SearchCommands &searches,
               ProblemsPane &problems, QObject *parent = nullptr);
    ~CodeAssist() override;

    CodeInsight &insight() const { return *codeInsight; }
    CodeNavigation &navigation() const { return *codeNavigation; }

signals:
    // Why a place could not be shown, or what else there is: for the status line.
    void signal_status(const QString &text);

private:
    std::unique_ptr<CodeInsight> codeInsight;
    std::unique_ptr<CodeNavigation> codeNavigation;
};
