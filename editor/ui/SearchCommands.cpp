#include "editor/ui/SearchCommands.h"

#include "editor/ui/ProjectSearchDialog.h"
#include "editor/ui/ReplacePreviewDialog.h"
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
    connect(&projectReplace, &ProjectReplace::signal_planned, this, [this](int, const ProjectReplace::Plan &plan) {
        if (plan.total == 0) {
            emit signal_projectSearch_return(kNotFound);
            return;
        }
        emit signal_projectSearch_return(QString());
        ReplacePreviewDialog preview(plan, projectSearchDialog ? static_cast<QWidget *>(projectSearchDialog) : this->dialogParent);
        if (preview.exec() == QDialog::Accepted)
            replaceAsPlanned(plan);
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
    const QString seed = scripts.current()->searchSeed();
    if (!seed.isEmpty())
        searchDialog->setSearchText(seed);
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
        connect(projectSearchDialog, &ProjectSearchDialog::signal_replaceAll, this, &SearchCommands::slot_projectReplace);
        connect(this, &SearchCommands::signal_projectSearch_return, projectSearchDialog,
                &ProjectSearchDialog::slot_search_return);
    }
    const QString seed = scripts.current()->searchSeed();
    if (!seed.isEmpty())
        projectSearchDialog->setSearchText(seed);
    projectSearchDialog->show();
    projectSearchDialog->raise();
    projectSearchDialog->activateWindow();
}

QString SearchCommands::projectBusy() const
{
    if (project.directory().isEmpty())
        return QStringLiteral("当前未设定活动工程，无法搜索。");
    if (outputHeld && outputHeld())
        return QStringLiteral("正在编译或本地运行脚本，请等它结束后再搜索。");
    return QString();
}

void SearchCommands::slot_projectSearch(const QString &expr, bool re, bool cs)
{
    const QString busy = projectBusy();
    if (!busy.isEmpty()) {
        emit signal_projectSearch_return(coloured("red", busy));
        return;
    }
    const QString directory = project.directory();
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

void SearchCommands::slot_projectReplace(const QString &expr, const QString &repText, bool re, bool cs)
{
    const QString busy = projectBusy();
    if (!busy.isEmpty()) {
        emit signal_projectSearch_return(coloured("red", busy));
        return;
    }
    // The open scripts stand in for their files, unsaved changes and all.
    const QString inside = QDir::cleanPath(project.directory()) + QLatin1Char('/');
    QHash<QString, QString> openTexts;
    for (ScriptEditor *editor : scripts.editors()) {
        if (editor->path().startsWith(inside))
            openTexts.insert(editor->path().mid(inside.size()), editor->text());
    }
    const Result<int> started = projectReplace.start(project.directory(), expr, repText, {re, cs}, openTexts);
    if (!started) {
        emit signal_projectSearch_return(coloured("red", started.error()));
        return;
    }
    emit signal_projectSearch_return(QStringLiteral("正在查找要替换的内容..."));
}

void SearchCommands::replaceAsPlanned(const ProjectReplace::Plan &plan)
{
    // The output is the replacement's now.
    projectSearch.cancel();
    projectSearchRunning = false;
    scripts.clearSearchMarks();
    emit signal_outputCleared();
    emit signal_output(QStringLiteral("在工程%1中将“%2”替换为“%3”：").arg(project.name(), plan.pattern, plan.replacement));
    int replaced = 0;
    int files = 0;
    int failed = 0;
    for (const ProjectReplace::File &file : plan.files) {
        const QString path = plan.directory + QLatin1Char('/') + file.path;
        Result<int> done = fail(QString());
        if (ScriptEditor *editor = scripts.editorFor(path)) {
            // Its text, not its file: an open script may hold changes not yet saved.
            const QString text = editor->text();
            if (ProjectReplace::digest(text) != file.digest) {
                done = fail(QStringLiteral("脚本在预览之后被改动，未替换"));
            } else {
                const QVector<ProjectReplace::Match> matches =
                    ProjectReplace::matcher(plan.pattern, plan.replacement, plan.options).value()(text);
                editor->replaceMatches(matches);
                done = int(matches.size());
            }
        } else {
            done = ProjectReplace::applyToFile(plan, file);
        }
        if (!done) {
            ++failed;
            emit signal_diagnostic(Diagnostic::error(QStringLiteral("%1：%2").arg(file.path, done.error())));
            continue;
        }
        replaced += *done;
        ++files;
        const int line = file.changes.isEmpty() ? 1 : file.changes.first().line;
        emit signal_diagnostic(Diagnostic{Diagnostic::Kind::SearchResult,
                                          QStringLiteral("%1:%2: 替换了%3处").arg(file.path).arg(line).arg(*done),
                                          plan.directory, file.path, line, {}});
    }
    for (const QString &passedOver : plan.passedOver)
        emit signal_diagnostic(Diagnostic::warning(QStringLiteral("未替换：") + passedOver));
    QString summary = QStringLiteral("共替换%1处（%2个文件）").arg(replaced).arg(files);
    if (failed + plan.passedOver.size() > 0)
        summary += QStringLiteral("，%1个文件未替换").arg(failed + plan.passedOver.size());
    emit signal_output(summary);
    emit signal_projectSearch_return(coloured(failed + plan.passedOver.size() > 0 ? "red" : "green", summary));
}
