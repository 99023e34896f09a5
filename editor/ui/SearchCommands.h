#pragma once

#include "common/Diagnostic.h"
#include "editor/ProjectReplace.h"
#include "editor/ProjectSearch.h"
#include "editor/ui/ScriptSearch.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <optional>

class ActiveProject;
class ProjectSearchDialog;
class ScriptTabs;
class SearchDialog;
class QWidget;

// The searches: the search-and-replace dialog on the current script with the last search that
// F3 and Shift+F3 repeat, and the project search dialog, whose results go to the output and
// which also replaces across the project. Each dialog is one window beside the editor, made on
// first use.
class SearchCommands : public QObject
{
    Q_OBJECT

public:
    // The dialogs belong to dialogParent.
    SearchCommands(ScriptTabs &scripts, ActiveProject &project, QWidget *dialogParent);

    void showSearch();
    // The last search again, forward or backward; the dialog when there was none.
    void findNext();
    void findPrevious();
    // Shows the project search dialog, filled with the text selected on one line of the script.
    void showProjectSearch();
    // Stops a running project search because the output is needed for something else.
    void cancelProjectSearch(const QString &why);
    // Tells whether a build or a script run holds the output; no project search starts meanwhile.
    void setOutputHeld(std::function<bool()> held) { outputHeld = std::move(held); }

public slots:
    void slot_search(const QString &expr, bool re, bool cs, bool wo, bool wrap);
    void slot_replace(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap);
    void slot_replaceAll(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap);
    void slot_projectSearch(const QString &expr, bool re, bool cs);
    // Replaces across the active project: the changes are listed first, and made once the
    // author agrees; open scripts change in their editors, the others on disk.
    void slot_projectReplace(const QString &expr, const QString &repText, bool re, bool cs);

signals:
    // The status under the search dialog's buttons.
    void signal_search_return(QString ret);
    // The status of the project search, for its dialog.
    void signal_projectSearch_return(QString ret);
    // The project search's lines for the output: it is cleared first, then the results come.
    void signal_outputCleared();
    void signal_output(const QString &line);
    void signal_diagnostic(const Diagnostic &found);

private:
    void repeat(bool forward);
    // Why the project cannot be searched now (no active project, a build holds the output).
    QString projectBusy() const;
    void replaceAsPlanned(const ProjectReplace::Plan &plan);

    ScriptTabs &scripts;
    ActiveProject &project;
    QWidget *dialogParent;
    QPointer<SearchDialog> searchDialog;
    QPointer<ProjectSearchDialog> projectSearchDialog;
    struct LastSearch
    {
        QString expr;
        ScriptSearch::Options options;
    };
    std::optional<LastSearch> lastSearch;
    ProjectSearch projectSearch;
    ProjectReplace projectReplace;
    bool projectSearchRunning = false;
    std::function<bool()> outputHeld;
};
