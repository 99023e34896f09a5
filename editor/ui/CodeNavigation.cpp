#include "editor/ui/CodeNavigation.h"

#include "api/ApiModel.h"
#include "common/RegularFile.h"
#include "editor/LineNames.h"
#include "editor/ScriptFile.h"
#include "editor/ui/CodeInsight.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace {

// The texts of some lines (from 1, ascending) of a file's bytes.
QStringList linesOf(const QByteArray &bytes, const QVector<int> &wanted)
{
    QStringList texts;
    int line = 1;
    int start = 0; // of that line; -1 past the end
    for (int want : wanted) {
        while (line < want && start >= 0) {
            const int end = bytes.indexOf('\n', start);
            start = end < 0 ? -1 : end + 1;
            ++line;
        }
        const int end = start < 0 ? -1 : bytes.indexOf('\n', start);
        texts << (start < 0 ? QString() : QString::fromUtf8(bytes.mid(start, (end < 0 ? bytes.size() : end) - start)).trimmed());
    }
    return texts;
}

// Where the last part of a name stands on a line as a whole word; -1 when it does not.
int columnOf(const QString &lineText, const QString &name)
{
    const QString word = name.section(QLatin1Char('.'), -1);
    return Diagnostic{Diagnostic::Kind::SearchResult, {}, {}, {}, 1, word}.tokenColumn(lineText);
}

} // namespace

CodeNavigation::CodeNavigation(ScriptTabs &scripts, CodeInsight &insight, QObject *parent)
    : QObject(parent)
    , scripts(scripts)
    , insight(insight)
{
}

std::optional<CodeNavigation::Target> CodeNavigation::target()
{
    Target at;
    at.editor = scripts.current();
    int line = 0;
    int index = 0;
    at.editor->getCursorPosition(&line, &index);
    at.name = at.editor->path().isEmpty() ? QString() : LineNames::qualifiedAt(at.editor->text(line), index);
    if (at.name.isEmpty()) {
        emit signal_status(QStringLiteral("光标处没有名字。"));
        return std::nullopt;
    }
    at.facts = insight.facts(at.editor);
    // A local in scope wins over any global of that name.
    if (at.facts && !at.name.contains(QLatin1Char('.')))
        at.local = at.facts->localDeclaration(at.name, line + 1);
    return at;
}

void CodeNavigation::show(const ProjectIndex::Place &place, const QString &name)
{
    const QString directory = insight.index().directory();
    ScriptEditor *editor = scripts.open(place.path.isEmpty() ? scripts.current()->path() : directory + QLatin1Char('/') + place.path);
    if (!editor)
        return;
    editor->goToLine(place.line);
    const int column = columnOf(editor->text(place.line - 1), name);
    if (column >= 0)
        editor->setSelection(place.line - 1, column, place.line - 1, column + name.section(QLatin1Char('.'), -1).size());
    editor->setFocus();
}

void CodeNavigation::goToDefinition()
{
    const std::optional<Target> at = target();
    if (!at)
        return;
    const QString &name = at->name;
    const ScriptFacts *facts = at->facts;
    // An empty path is this script.
    if (at->local) {
        show({QString(), at->local}, name);
        return;
    }
    const QString here = QFileInfo(at->editor->path()).absoluteFilePath();
    const QString directory = insight.index().directory();
    QVector<ProjectIndex::Place> places;
    const bool inProject = !directory.isEmpty() && here.startsWith(QDir::cleanPath(directory) + QLatin1Char('/'));
    if (inProject)
        places = insight.index().definitions(name);
    if (places.isEmpty() && facts) { // a script outside the project: its own functions
        for (const ScriptFacts::Function &function : facts->functions) {
            if (function.name == name && function.kind != ScriptFacts::Function::Kind::Local)
                places.append({QString(), function.line});
        }
    }
    if (places.isEmpty()) {
        emit signal_status(ApiModel::standard().find(name)
                               ? QStringLiteral("“%1”由Lua或Kestrun提供，工程中没有它的定义（F1查看说明）。").arg(name)
                               : QStringLiteral("在工程中找不到“%1”的定义。").arg(name));
        return;
    }
    // The script's own definition first, if it has one.
    const QString relative = inProject ? here.mid(QDir::cleanPath(directory).size() + 1) : QString();
    auto chosen = std::find_if(places.begin(), places.end(), [&](const ProjectIndex::Place &p) {
        return p.path.isEmpty() || p.path == relative;
    });
    show(chosen == places.end() ? places.first() : *chosen, name);
    if (places.size() > 1)
        emit signal_status(QStringLiteral("“%1”有%2处定义，Shift+F12列出所有引用。").arg(name).arg(places.size()));
}

void CodeNavigation::listUses()
{
    const std::optional<Target> at = target();
    if (!at)
        return;
    const QString &name = at->name;
    if (at->local) {
        emit signal_status(QStringLiteral("“%1”是局部变量，不在其他脚本中使用。").arg(name));
        return;
    }
    const QString directory = insight.index().directory();
    if (directory.isEmpty()) {
        emit signal_status(QStringLiteral("当前未设定活动工程，无法查找引用。"));
        return;
    }
    const QVector<ProjectIndex::Place> uses = insight.index().uses(name);
    scripts.clearSearchMarks();
    emit signal_outputCleared();
    emit signal_output(QStringLiteral("“%1”的引用：").arg(name));
    // Each script's lines at once: from its editor when it is open, else from its file.
    QSet<QString> files;
    for (int first = 0; first < uses.size();) {
        const QString &path = uses[first].path;
        int last = first;
        QVector<int> lines;
        while (last < uses.size() && uses[last].path == path)
            lines << uses[last++].line;
        const QString file = directory + QLatin1Char('/') + path;
        QStringList texts;
        if (const ScriptEditor *open = scripts.editorFor(file)) {
            for (int l : qAsConst(lines))
                texts << open->text(l - 1).trimmed();
        } else {
            texts = linesOf(RegularFile::readWhole(file, ScriptFile::MaxSize).valueOr(QByteArray()), lines);
        }
        for (int i = 0; i < lines.size(); ++i)
            emit signal_diagnostic(Diagnostic{Diagnostic::Kind::SearchResult,
                                              QStringLiteral("%1:%2: %3").arg(path).arg(lines[i]).arg(texts.value(i)),
                                              directory, path, lines[i], {}});
        files.insert(path);
        first = last;
    }
    emit signal_output(uses.isEmpty() ? QStringLiteral("未找到“%1”的引用。").arg(name)
                                      : QStringLiteral("共找到%1处引用（%2个脚本）").arg(uses.size()).arg(files.size()));
}
