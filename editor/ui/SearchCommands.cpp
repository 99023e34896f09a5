#include "editor/ui/SearchCommands.h"

#include "editor/ui/ProjectSearchDialog.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "editor/ui/SearchDialog.h"
#include "project/ActiveProject.h"

#include <QDir>

namespace {

QString coloured(const char *colour, const QString &text)
{
    return QStringLiteral("<font color=%1>").arg(QLatin1String(colour)) + text.toHtmlEscaped() + QStringLiteral("</font>");
}

const QString kNotFound = QStringLiteral("<font color=red>未搜索到指定内容</font>");

} // namespace

SearchCommands::SearchCommands(ScriptTabs &scripts, ActiveProject &project, QWidget *dialogParent)
    : scripts(scripts)
    , project(project)
    , dialogParent(dialogParent)
{
    connect(&projectSearch, &ProjectSearch::signal_results, this, [this](int, const QVector<Diagnostic> &found) {
        for (const Diagnostic &result : found)
            emit signal_diagnostic(result);
    });
    connect(&projectSearch, &ProjectSearch::signal_finished, this, [this](int, const QString &countLine) {
        projectSearchRunning = false;
        // After the results, in their batches: showing a long backlog at once would stall.
        emit signal_output(countLine);
        emit signal_projectSearch_return(coloured("green", countLine));
    });
}

void SearchCommands::showSearch()
{
    // One dialog, beside the editor: the author edits while it is open.
    if (!searchDialog) {
        searchDialog = new SearchDialog(dialogParent);
        searchDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(searchDialog, &SearchDialog::signal_search, this, &SearchCommands::slot_search);
        connect(searchDialog, &SearchDialog::signal_replace, this, &SearchCommands::slot_replace);
        connect(searchDialog, &SearchDialog::signal_replaceAll, this, &SearchCommands::slot_replaceAll);
        connect(this, &SearchCommands::signal_search_return, searchDialog, &SearchDialog::slot_search_return);
    }
    searchDialog->show();
    searchDialog->raise();
    searchDialog->activateWindow();
}

void SearchCommands::slot_search(const QString &expr, bool re, bool cs, bool wo, bool wrap)
{
    lastSearch = LastSearch{expr, {re, cs, wo, wrap}};
    const bool found = scripts.current()->findNext(expr, {re, cs, wo, wrap});
    emit signal_search_return(found ? QString() : kNotFound);
}

void SearchCommands::slot_replace(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap)
{
    // The first press selects the next match, the second replaces it.
    if (!ScriptSearch::replaceSelection(scripts.current(), expr, repText, {re, cs, wo, wrap}))
        slot_search(expr, re, cs, wo, wrap);
}

void SearchCommands::slot_replaceAll(const QString &expr, const QString &repText, bool re, bool cs, bool wo, bool wrap)
{
    lastSearch = LastSearch{expr, {re, cs, wo, wrap}};
    const int count = ScriptSearch::replaceAll(scripts.current(), expr, repText, {re, cs, wo, wrap});
    emit signal_search_return(QStringLiteral("共") + QString::number(count) + QStringLiteral("处被替换"));
}

void SearchCommands::repeat(bool forward)
{
    if (!lastSearch) {
        showSearch();
        return;
    }
    ScriptEditor *editor = scripts.current();
    const bool found = forward ? editor->findNext(lastSearch->expr, lastSearch->options)
                               : editor->findPrevious(lastSearch->expr, lastSearch->options);
    emit signal_search_return(found ? QString() : kNotFound);
}

void SearchCommands::findNext()
{
    repeat(true);
}

void SearchCommands::findPrevious()
{
    repeat(false);
}

void SearchCommands::showProjectSearch()
{
    // One dialog, beside the editor, like the editor's search.
    if (!projectSearchDialog) {
        projectSearchDialog = new ProjectSearchDialog(dialogParent);
        projectSearchDialog->setAttribute(Qt::WA_DeleteOnClose);
        connect(projectSearchDialog, &ProjectSearchDialog::signal_search, this, &SearchCommands::slot_projectSearch);
        connect(this, &SearchCommands::signal_projectSearch_return, projectSearchDialog,
                &ProjectSearchDialog::slot_search_return);
    }
    // The text selected on one line of the script is what the author most likely looks for.
    const QString selected = scripts.current()->selectedText();
    if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n')) && !selected.contains(QLatin1Char('\r')))
        projectSearchDialog->setSearchText(selected);
    projectSearchDialog->show();
    projectSearchDialog->raise();
    projectSearchDialog->activateWindow();
}

void SearchCommands::slot_projectSearch(const QString &expr, bool re, bool cs)
{
    const QString directory = project.directory();
    if (directory.isEmpty()) {
        emit signal_projectSearch_return(coloured("red", QStringLiteral("当前未设定活动工程，无法搜索。")));
        return;
    }
    if (outputHeld && outputHeld()) {
        emit signal_projectSearch_return(coloured("red", QStringLiteral("正在编译或本地运行脚本，请等它结束后再搜索。")));
        return;
    }
    // Unsaved changes are searched as the author sees them.
    ProjectSearch::Snapshots openTexts;
    const QString inside = QDir::cleanPath(directory) + QLatin1Char('/');
    for (const ScriptEditor *editor : scripts.modified()) {
        if (editor->path().startsWith(inside))
            openTexts.insert(editor->path().mid(inside.size()), editor->text());
    }
    const Result<int> started = projectSearch.start(directory, expr, {re, cs}, openTexts);
    if (!started) {
        emit signal_projectSearch_return(coloured("red", started.error()));
        return;
    }
    projectSearchRunning = true;
    scripts.clearSearchMarks();
    emit signal_outputCleared();
    emit signal_output(QStringLiteral("在工程%1中搜索“%2”...").arg(project.name(), expr));
    emit signal_projectSearch_return(QStringLiteral("正在搜索..."));
}

void SearchCommands::cancelProjectSearch(const QString &why)
{
    if (!projectSearchRunning)
        return;
    projectSearch.cancel();
    projectSearchRunning = false;
    emit signal_projectSearch_return(coloured("red", why));
}
