#include "app/ui/CodeAssist.h"

#include "app/ui/BuildCommands.h"
#include "app/ui/RunCommands.h"
#include "editor/ui/CodeInsight.h"
#include "editor/ui/CodeNavigation.h"
#include "editor/ui/EditorStatus.h"
#include "editor/ui/OutlineBar.h"
#include "editor/ui/ProblemsPane.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ui/SearchCommands.h"
#include "project/ui/ProjectTree.h"
#include "toolchain/ChunkFacts.h"
#include "ui_ProjectManagerWindow.h"

#include <QStatusBar>

CodeAssist::CodeAssist(ScriptTabs &scripts, ActiveProject &project, BuildCommands &builds, RunCommands &runs,
                       SearchCommands &searches, Ui::ProjectManagerWindow &form, QObject *parent)
    : QObject(parent)
    , codeInsight(std::make_unique<CodeInsight>(scripts, project, [](QByteArray source, const QString &fileName) {
        return ChunkFacts::ofSource(std::move(source), fileName);
    }))
    , codeNavigation(std::make_unique<CodeNavigation>(scripts, *codeInsight))
{
    ProblemList &list = form.problemsPane->problems();
    connect(&builds, &BuildCommands::signal_outputCleared, &list, &ProblemList::clear);
    connect(&builds, &BuildCommands::signal_problem, &list, &ProblemList::add);
    connect(&runs, &RunCommands::signal_outputCleared, &list, &ProblemList::clearRuntimeErrors);
    connect(&runs, &RunCommands::signal_scriptError, &list, &ProblemList::addRuntimeError);
    connect(form.projectTreeWidget, &ProjectTree::signal_moved, &list, &ProblemList::pathMoved);
    connect(form.projectTreeWidget, &ProjectTree::signal_moved, codeInsight.get(), &CodeInsight::pathMoved);
    connect(&builds, &BuildCommands::signal_outputCleared, codeInsight.get(), &CodeInsight::checkStarted);
    connect(&builds, &BuildCommands::signal_facts, codeInsight.get(), &CodeInsight::takeCheckFacts);
    connect(&builds, &BuildCommands::signal_finished, codeInsight.get(), &CodeInsight::checkFinished);
    connect(&builds, &BuildCommands::signal_activity, &codeInsight->status(), &EditorStatus::setActivity);
    form.statusbar->addPermanentWidget(&codeInsight->status());
    connect(form.action_goto_definition, &QAction::triggered, codeNavigation.get(), &CodeNavigation::goToDefinition);
    connect(form.action_find_uses, &QAction::triggered, codeNavigation.get(), &CodeNavigation::listUses);
    connect(form.action_goto_function, &QAction::triggered, &codeInsight->outline(), &OutlineBar::popup);
    connect(form.problemsPane, &ProblemsPane::signal_activated, this, [this, &scripts](const Diagnostic &place) {
        const Status shown = scripts.goTo(place);
        if (!shown)
            emit signal_status(shown.error());
    });
    connect(codeNavigation.get(), &CodeNavigation::signal_status, this, &CodeAssist::signal_status);
    connect(codeNavigation.get(), &CodeNavigation::signal_outputCleared, &searches,
            [&searches] { searches.cancelProjectSearch(QStringLiteral("搜索已被查找引用中断。")); });
}

CodeAssist::~CodeAssist() = default;

QWidget *CodeAssist::editorArea() const
{
    return codeInsight->editorArea();
}
