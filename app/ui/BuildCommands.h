#pragma once

#include "common/Diagnostic.h"
#include "common/Result.h"
#include "project/ScriptFacts.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>

class ActiveProject;
class ProjectBuilder;
class QThread;
class ScriptTabs;

// The script check (F5) and the project build (F6) of the active project. The open scripts of
// the project are saved first; the builder then runs on a thread of its own, so the window stays
// responsive and the output streams while a large project compiles. What it reports is taken
// in a few milliseconds per turn of the event loop, so even a flood of warnings never holds the
// window. One command runs at a time. Errors and warnings come back as values: warnings are
// marked in their scripts, and a command that failed on a syntax error opens its script there.
class BuildCommands : public QObject
{
    Q_OBJECT

public:
    BuildCommands(ActiveProject &project, ScriptTabs &scripts, QObject *parent = nullptr);
    // Stops a running command and waits for its thread.
    ~BuildCommands() override;

    // Start the check or the build. Fail, saying why, while one runs; whatever else stops them
    // (nothing to build, a script that does not save) is reported in the output.
    Status check();
    Status build();
    bool isRunning() const { return worker != nullptr; }
    // While running() holds (a script run, which may write into the project), the build of the
    // package refuses to start, saying so.
    void setScriptRunning(std::function<bool()> running) { scriptRunning = std::move(running); }
    // Ends a running command before its next script and waits for it; what it still had to
    // say is dropped.
    void cancel();

signals:
    // A command started: the output is cleared for it, then its lines and findings come.
    void signal_outputCleared();
    void signal_output(const QString &line);
    void signal_diagnostic(const Diagnostic &found);
    // Of the findings, the errors and warnings (not the count of warnings).
    void signal_problem(const Diagnostic &found);
    // What the compiled code of a script of the project shows (path relative to the project).
    void signal_facts(const QString &path, const ScriptFacts &facts);
    // What the running command is doing, for the status line; empty when it has ended.
    void signal_activity(const QString &text);
    void signal_finished(bool ok);

private:
    struct Report;
    struct Reports;

    Status start(bool package);
    // Shows what the builder reported, a bounded slice at a time.
    void takeReports();
    void take(const Diagnostic &found);
    void finish(bool ok);
    // Waits for the thread and lets it and the builder go.
    void stop();

    ActiveProject &project;
    ScriptTabs &scripts;
    std::unique_ptr<ProjectBuilder> builder;
    QThread *worker = nullptr;
    std::unique_ptr<Reports> reports; // from the worker, not yet taken
    std::optional<Diagnostic> firstError; // with a place, of the running command
    int warnings = 0;                     // of the running command
    QString doing;                        // "检查" or "编译"
    std::function<bool()> scriptRunning;
};
