#pragma once

#include "common/Diagnostic.h"
#include "project/ProjectIndex.h"

#include <QObject>

#include <optional>

class CodeInsight;
class ScriptEditor;
class ScriptTabs;

// Go to definition (F12) and the list of uses (Shift+F12) of the name at the caret: a local in
// scope in the script, else a global (a variable, or a field of a global table such as
// "Utils.find") as the project's scripts define and use it. The uses go to the output as links,
// as a project search's results do.
class CodeNavigation : public QObject
{
    Q_OBJECT

public:
    CodeNavigation(ScriptTabs &scripts, CodeInsight &insight, QObject *parent = nullptr);

    void goToDefinition();
    void listUses();

signals:
    // Why nothing was done, or what else there is: for the status line.
    void signal_status(const QString &text);
    // The list of uses, for the output: it is cleared first.
    void signal_outputCleared();
    void signal_output(const QString &line);
    void signal_diagnostic(const Diagnostic &found);

private:
    // The name at the current script's caret, what the script's analysis knows and the line of
    // the local the name means there (0: none); nothing, and the author told, for no name.
    struct Target
    {
        ScriptEditor *editor = nullptr;
        QString name;
        const ScriptFacts *facts = nullptr;
        int local = 0;
    };
    std::optional<Target> target();
    // Shows a place of the project, the name selected on its line.
    void show(const ProjectIndex::Place &place, const QString &name);

    ScriptTabs &scripts;
    CodeInsight &insight;
};
