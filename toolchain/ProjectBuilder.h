#pragma once

#include "toolchain/BuildLock.h"
#include "toolchain/GlobalNameCheck.h"

#include "common/Diagnostic.h"
#include "project/ScriptFacts.h"

#include <QString>

#include <atomic>
#include <functional>
#include <optional>

// The two build commands over one project directory: the script check (compile every script
// into its .m beside it, stop at the first that fails) and the full build (check, then pack
// the project into its package). The IDE and the headless build both run it; they differ only
// in where the lines go. A check that compiles every script then checks their global names and
// reports what it finds as warnings after its own lines. Both commands hold the project's build
// lock (Names::buildLock) while they run, and every failure ends them with an error. Errors and
// warnings are values: a syntax error and a warning about a name carry their place in the
// project. Nothing here needs a window: the IDE runs it on a thread of its own.
class ProjectBuilder
{
public:
    struct Output
    {
        std::function<void(const QString &line)> line;            // progress, as it happens
        std::function<void(const Diagnostic &found)> diagnostic; // an error or a warning
        // When set, what the compiled code of each script shows, by its path relative to the
        // project directory (locals left out), as each script compiles.
        std::function<void(const QString &path, const ScriptFacts &facts)> facts = {};
    };

    explicit ProjectBuilder(Output output);

    // Warnings fail the check (and so the build) instead of only being shown.
    void setStrict(bool strict) { warningsFail = strict; }
    // Ends a running command before its next script (from any thread): it fails with an error.
    void cancel() { cancelled = true; }

    // Compiles every script of the project, newest first; the first that fails ends the run.
    bool check(const QString &projectName, const QString &projectDirectory);
    // check, then packs the project into <directory>/<name from ks.project>.ks.
    bool build(const QString &projectName, const QString &projectDirectory);

    // The message shown when a command has no project to work on.
    static QString noActiveProjectMessage();

private:
    // Compiles the scripts of one directory tree of the project, empty ones included; a
    // directory that cannot be listed whole ends the run.
    bool compileDirectory(const QString &projectDirectory, const QString &directory);
    // Compiles one script (relative: its path in the project) into <outputDirectory>/<file
    // name>.m; a failure is described in failure.
    bool compile(const QString &path, const QString &relative, const QString &outputDirectory, Diagnostic *failure);
    // Takes the project's build lock into *held; false (and the reason reported) when it
    // cannot be had.
    bool lockProject(const QString &projectDirectory, BuildLock::Held *held);
    // check, under a lock the caller already holds.
    bool checkLocked(const QString &projectName, const QString &projectDirectory);
    // Shows the warnings of the check and their count; false when they fail the command.
    bool reportWarnings();
    void error(const QString &text) { out.diagnostic(Diagnostic::error(text)); }

    Output out;
    bool warningsFail = false;
    std::atomic<bool> cancelled{false};
    std::optional<GlobalNameCheck> names; // while check() runs
};
