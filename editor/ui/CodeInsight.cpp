#include "editor/ui/CodeInsight.h"

#include "editor/ui/EditorStatus.h"
#include "editor/ui/OutlineBar.h"
#include "editor/ui/ScriptEditor.h"
#include "editor/ui/ScriptTabs.h"
#include "project/ActiveProject.h"
#include "project/FileOperations.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

struct CodeInsight::Watch
{
    QTimer pause;
    std::optional<ScriptFacts> facts;
    std::optional<ScriptFile::LineEnds> lineEnds;
    bool running = false;
    bool again = false; // the text changed while it was analysed
    std::optional<uint> analysedHash; // of the text last analysed: an unchanged text is not again
};

CodeInsight::CodeInsight(ScriptTabs &scripts, ActiveProject &project, ScriptAnalysis::Analyser analyse, QObject *parent)
    : QObject(parent)
    , scripts(scripts)
    , project(project)
    , analyser(std::move(analyse))
    , area(new QWidget)
    , outlineBar(new OutlineBar)
    , statusWidget(new EditorStatus)
    , projectReading(std::make_shared<std::atomic<int>>(0))
{
    editorPool.setMaxThreadCount(1);
    projectPool.setMaxThreadCount(1);
    qRegisterMetaType<ScriptFacts>();

    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(outlineBar);
    layout->addWidget(scripts.widget(), 1);

    connect(&scripts, &ScriptTabs::signal_opened, this, &CodeInsight::watch);
    connect(&scripts, &ScriptTabs::signal_currentChanged, this, &CodeInsight::showCurrent);
    connect(&project, &ActiveProject::signal_changed, this, &CodeInsight::projectChanged);
    connect(outlineBar, &OutlineBar::signal_goTo, this, [this](int line) {
        if (followed) {
            followed->goToLine(line);
            followed->setFocus();
        }
    });
    for (ScriptEditor *editor : scripts.editors())
        watch(editor);
    showCurrent();
    projectChanged();
}

CodeInsight::~CodeInsight()
{
    ++*projectReading;
    editorPool.waitForDone();
    projectPool.waitForDone();
    for (auto it = watches.constBegin(); it != watches.constEnd(); ++it)
        disconnect(it.key(), nullptr, this, nullptr);
    // Widgets nobody laid out are this object's.
    if (area && !area->parent())
        delete area;
    if (!statusWidget->parent())
        delete statusWidget;
}

const ScriptFacts *CodeInsight::facts(const ScriptEditor *editor) const
{
    const auto found = watches.constFind(editor);
    return found != watches.constEnd() && (*found)->facts ? &*(*found)->facts : nullptr;
}

bool CodeInsight::isBusy() const
{
    for (const auto &watched : watches) {
        if (watched->running || watched->pause.isActive())
            return true;
    }
    return projectPool.activeThreadCount() > 0;
}

QString CodeInsight::relativePath(const ScriptEditor *editor) const
{
    const QString directory = projectIndex.directory();
    if (directory.isEmpty() || editor->path().isEmpty())
        return QString();
    const QString inside = QDir::cleanPath(directory) + QLatin1Char('/');
    return editor->path().startsWith(inside) ? editor->path().mid(inside.size()) : QString();
}

void CodeInsight::watch(ScriptEditor *editor)
{
    if (watches.contains(editor))
        return;
    auto watched = std::make_shared<Watch>();
    watched->pause.setSingleShot(true);
    watched->pause.setInterval(kSettleMs);
    connect(&watched->pause, &QTimer::timeout, this, [this, editor] { analyse(editor); });
    // The editor tells of changed text only this way: its change notifications are off, as they
    // cost too much in large scripts. Styling and marks are changes too; an analysis of a text
    // that has not changed stops at once.
    connect(editor, &QsciScintilla::SCN_UPDATEUI, this, [timer = &watched->pause](int updated) {
        if (updated & QsciScintillaBase::SC_UPDATE_CONTENT)
            timer->start();
    });
    connect(editor, &QObject::destroyed, this, [this, editor] { watches.remove(editor); });
    watches.insert(editor, watched);
    analyse(editor);
}

void CodeInsight::analyse(ScriptEditor *editor)
{
    const auto found = watches.constFind(editor);
    if (found == watches.constEnd())
        return;
    Watch &watched = **found;
    watched.pause.stop();
    if (watched.running) {
        watched.again = true;
        return;
    }
    watched.running = true;
    const QByteArray text = editor->snapshot();
    const QString fileName = QFileInfo(editor->path()).fileName();
    const std::optional<uint> before = watched.analysedHash;
    editorPool.start([this, editor, text, fileName, before, analyse = analyser] {
        const uint hash = qHash(text);
        std::optional<ScriptAnalysis> analysis;
        if (hash != before)
            analysis = ScriptAnalysis::of(text, fileName, analyse);
        auto result = std::make_shared<ScriptAnalysis>(analysis ? std::move(*analysis) : ScriptAnalysis());
        QMetaObject::invokeMethod(this, [this, editor, result, changed = analysis.has_value(), hash] {
            if (watches.contains(editor))
                take(editor, std::move(*result), changed ? hash : *watches[editor]->analysedHash);
        }, Qt::QueuedConnection);
    });
}

void CodeInsight::take(ScriptEditor *editor, ScriptAnalysis analysis, uint textHash)
{

    Watch &watched = *watches[editor];
    watched.running = false;
    const bool changed = watched.analysedHash != textHash;
    watched.analysedHash = textHash;
    if (changed) {
        watched.lineEnds = analysis.lineEnds;
        editor->swapScriptWords(analysis.words);
        // While the text does not compile, what was known of it stays.
        if (analysis.facts) {
            std::swap(watched.facts, analysis.facts);
            const QString path = relativePath(editor);
            if (!path.isEmpty())
                projectIndex.setScript(path, *watched.facts);
        }
        if (editor == followed) {
            if (watched.facts)
                outlineBar->setFunctions(*watched.facts);
            statusWidget->showScript(editor, watched.lineEnds);
            followCaret();
        }
    }
    // What was replaced goes on the analysis thread: freeing a large script's facts takes a while.
    editorPool.start([replaced = std::make_shared<ScriptAnalysis>(std::move(analysis))]() mutable { replaced.reset(); });
    emit signal_analysed(editor);
    if (watched.again) {
        watched.again = false;
        analyse(editor);
    }
}

void CodeInsight::showCurrent()
{
    ScriptEditor *current = scripts.current();
    const auto found = watches.constFind(current);
    const Watch *watched = found != watches.constEnd() ? found->get() : nullptr;
    if (current != followed) {
        if (followed)
            disconnect(followed, &QsciScintilla::cursorPositionChanged, this, nullptr);
        followed = current;
        connect(current, &QsciScintilla::cursorPositionChanged, this, &CodeInsight::followCaret);
        if (watched && watched->facts)
            outlineBar->setFunctions(*watched->facts);
        else
            outlineBar->clear();
        outlineBar->setEnabled(!current->path().isEmpty());
    }
    statusWidget->showScript(watched ? current : nullptr, watched ? watched->lineEnds : std::nullopt);
    followCaret();
}

void CodeInsight::followCaret()
{
    if (!followed)
        return;
    int line = 0;
    int index = 0;
    followed->getCursorPosition(&line, &index);
    const long caret = followed->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    statusWidget->showPosition(line + 1, int(followed->SendScintilla(QsciScintillaBase::SCI_GETCOLUMN, caret)) + 1);
    outlineBar->follow(line + 1);
}

void CodeInsight::projectChanged()
{
    const QString directory = project.directory();
    if (directory == projectIndex.directory() && !projectIndex.isEmpty())
        return;
    const int reading = ++*projectReading;
    moves.clear();
    projectIndex.setDirectory(directory);
    // The open scripts of the project as they are now.
    for (auto it = watches.constBegin(); it != watches.constEnd(); ++it) {
        const QString path = relativePath(it.key());
        if (!path.isEmpty() && (*it)->facts)
            projectIndex.setScript(path, *(*it)->facts);
    }
    if (directory.isEmpty())
        return;
    // Until its first check, the project's scripts are read in the background; what is known
    // fresher (an open script, a check) is kept.
    projectPool.start([this, directory, reading, wanted = projectReading, analyse = analyser] {
        QThread::currentThread()->setPriority(QThread::LowPriority);
        ScriptAnalysis::ofProject(
            directory, analyse, [&] { return *wanted != reading; },
            [&](const QString &path, const ScriptFacts &facts) {
                QMetaObject::invokeMethod(this, [this, directory, reading, wanted, path, facts] {
                    const QString now = afterMoves(path);
                    if (*wanted == reading && projectIndex.directory() == directory && !projectIndex.contains(now))
                        projectIndex.setScript(now, facts);
                }, Qt::QueuedConnection);
            });
    });
}

void CodeInsight::checkStarted()
{
    // The check reads every script itself.
    ++*projectReading;
    moves.clear();
    projectIndex.setDirectory(project.directory());
    checked.clear();
}

void CodeInsight::pathMoved(const QString &from, const QString &to)
{
    if (projectIndex.directory().isEmpty())
        return;
    const QDir directory(projectIndex.directory());
    moves.append({directory.relativeFilePath(from), directory.relativeFilePath(to)});
    projectIndex.pathMoved(moves.last().first, moves.last().second);
}

QString CodeInsight::afterMoves(QString path) const
{
    for (const auto &[from, to] : moves) {
        const QString moved = FileOperations::pathAfterMove(path, from, to);
        if (!moved.isEmpty())
            path = moved;
    }
    return path;
}

void CodeInsight::takeCheckFacts(const QString &path, const ScriptFacts &facts)
{
    const QString now = afterMoves(path);
    checked.insert(now);
    projectIndex.setScript(now, facts);
}

void CodeInsight::checkFinished(bool ok)
{
    if (ok)
        projectIndex.keepOnly(checked);
}
