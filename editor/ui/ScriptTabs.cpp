#include "editor/ui/ScriptTabs.h"

#include "common/Names.h"
#include "common/ui/Notice.h"
#include "editor/ui/ScriptEditor.h"
#include "project/FileOperations.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabWidget>

#include <algorithm>

ScriptTabs::ScriptTabs(QObject *parent)
    : QObject(parent)
    , stack(new QStackedWidget)
    , welcome(new ScriptEditor)
    , tabs(new QTabWidget)
{
    welcome->showWelcome();
    // Nothing typed or inserted there could be kept.
    welcome->setReadOnly(true);
    connect(welcome, &ScriptEditor::signal_stateChanged, this, &ScriptTabs::signal_currentChanged);
    watch(welcome);

    tabs->setDocumentMode(true);
    tabs->setTabsClosable(true);
    tabs->setMovable(true);
    tabs->setElideMode(Qt::ElideNone);
    connect(tabs, &QTabWidget::currentChanged, this, &ScriptTabs::signal_currentChanged);
    connect(tabs, &QTabWidget::tabCloseRequested, this,
            [this](int index) { close(static_cast<ScriptEditor *>(tabs->widget(index))); });

    stack->addWidget(welcome);
    stack->addWidget(tabs);
}

ScriptTabs::~ScriptTabs()
{
    // Once laid out, the widgets belong to the window.
    if (stack && !stack->parent())
        delete stack;
}

QWidget *ScriptTabs::widget() const
{
    return stack;
}

QWidget *ScriptTabs::dialogParent() const
{
    return stack ? stack->window() : nullptr;
}

ScriptEditor *ScriptTabs::current() const
{
    if (auto *editor = static_cast<ScriptEditor *>(tabs->currentWidget()))
        return editor;
    return welcome;
}

QList<ScriptEditor *> ScriptTabs::editors() const
{
    QList<ScriptEditor *> editors;
    for (int i = 0; i < tabs->count(); ++i)
        editors << static_cast<ScriptEditor *>(tabs->widget(i));
    return editors;
}

ScriptEditor *ScriptTabs::editorFor(const QString &path) const
{
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (ScriptEditor *editor : editors()) {
        if (QFileInfo(editor->path()).absoluteFilePath() == wanted)
            return editor;
    }
    return nullptr;
}

QList<ScriptEditor *> ScriptTabs::modified() const
{
    QList<ScriptEditor *> found;
    for (ScriptEditor *editor : editors()) {
        if (editor->isModified())
            found << editor;
    }
    return found;
}

QString ScriptTabs::title(const QString &base) const
{
    const ScriptEditor *editor = current();
    if (editor->path().isEmpty())
        return base;
    return base + QStringLiteral(" - [") + editor->path() + (editor->isModified() ? QStringLiteral(" *") : QString())
        + QStringLiteral("]");
}

void ScriptTabs::refreshTab(ScriptEditor *editor)
{
    const int index = tabs->indexOf(editor);
    if (index < 0)
        return;
    tabs->setTabText(index, QFileInfo(editor->path()).fileName() + (editor->isModified() ? QStringLiteral(" *") : QString()));
    tabs->setTabToolTip(index, editor->path());
    if (editor == current())
        emit signal_currentChanged();
}

ScriptEditor *ScriptTabs::open(const QString &path)
{
    if (ScriptEditor *open = editorFor(path)) {
        tabs->setCurrentWidget(open);
        open->setFocus();
        return open;
    }
    auto *editor = new ScriptEditor;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const Status opened = editor->openFile(absolute);
    if (!opened) {
        // An empty tab saved by mistake would replace the file with nothing.
        delete editor;
        showNotice(dialogParent(), QStringLiteral("无法打开脚本[%1]：%2").arg(QDir::toNativeSeparators(absolute), opened.error()));
        return nullptr;
    }
    for (const auto &[file, place] : qAsConst(checkMarks)) {
        if (QFileInfo(file).absoluteFilePath() == editor->path())
            markIn(editor, place);
    }
    connect(editor, &ScriptEditor::signal_stateChanged, this, [this, editor]() { refreshTab(editor); });
    watch(editor);
    emit signal_opened(editor);
    tabs->addTab(editor, QString());
    refreshTab(editor);
    tabs->setCurrentWidget(editor);
    stack->setCurrentWidget(tabs);
    editor->setFocus();
    if (!editor->isFaithful()) {
        showNotice(dialogParent(), QStringLiteral("文件[") + editor->path()
                                       + QStringLiteral("]含有不是UTF-8编码的字节，编辑器将其显示为\uFFFD。"
                                                        "保存会改写这些字节，保存前会再次询问。"));
    }
    return editor;
}

void ScriptTabs::watch(ScriptEditor *editor)
{
    connect(editor, &ScriptEditor::signal_contextMenu, this,
            [this, editor](const QPoint &globalPos) { emit signal_contextMenu(editor, globalPos); });
}

bool ScriptTabs::save(ScriptEditor *editor)
{
    if (!editor->isModified() || editor->path().isEmpty())
        return true;
    if (!editor->isFaithful()
        && !askNotice(dialogParent(),
                      QStringLiteral("文件[") + editor->path()
                          + QStringLiteral("]原有不是UTF-8编码的字节，保存后它们将变为\uFFFD，原来的字节会丢失。是否仍然保存？"),
                      false))
        return false;
    const Status saved = editor->save();
    if (!saved) {
        showNotice(dialogParent(), QStringLiteral("文件[") + editor->path() + QStringLiteral("]保存失败：") + saved.error());
        return false;
    }
    return true;
}

Status ScriptTabs::saveUnder(const QString &directory)
{
    const QString inside = QDir::cleanPath(directory) + QLatin1Char('/');
    for (ScriptEditor *editor : modified()) {
        if (editor->path().startsWith(inside) && !save(editor))
            return fail(editor->path());
    }
    return Status();
}

bool ScriptTabs::saveAll()
{
    bool saved = true;
    for (ScriptEditor *editor : modified())
        saved = save(editor) && saved;
    return saved;
}

bool ScriptTabs::settle(const QList<ScriptEditor *> &modified, const QString &title, const QString &question)
{
    QStringList paths;
    for (const ScriptEditor *editor : modified)
        paths << editor->path();
    QMessageBox box(QMessageBox::Warning, title,
                    QStringLiteral("以下脚本有未保存的修改：\n") + paths.join(QLatin1Char('\n')) + QStringLiteral("\n") + question,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, dialogParent());
    box.setDefaultButton(QMessageBox::Save);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Save:
        for (ScriptEditor *editor : modified) {
            if (!save(editor))
                return false;
        }
        return true;
    case QMessageBox::Discard:
        return true;
    default:
        return false;
    }
}

bool ScriptTabs::close(ScriptEditor *editor)
{
    if (!editor || tabs->indexOf(editor) < 0)
        return false;
    if (editor->isModified() && !settle({editor}, Names::noticeTitle(), QStringLiteral("关闭前是否保存这些修改？")))
        return false;
    const ScriptPlace place = placeOf(editor);
    closed.erase(std::remove_if(closed.begin(), closed.end(), [&place](const ScriptPlace &p) { return p.path == place.path; }),
                 closed.end());
    closed.append(place);
    if (closed.size() > kMaxClosed)
        closed.removeFirst();
    removeTab(editor);
    return true;
}

bool ScriptTabs::reopenClosed()
{
    while (!closed.isEmpty()) {
        const ScriptPlace place = closed.takeLast();
        if (!editorFor(place.path) && QFileInfo(place.path).isFile() && openAt(place))
            return true;
    }
    return false;
}

void ScriptTabs::closeCurrent()
{
    close(static_cast<ScriptEditor *>(tabs->currentWidget()));
}

void ScriptTabs::removeTab(ScriptEditor *editor)
{
    emit signal_closing(editor);
    tabs->removeTab(tabs->indexOf(editor));
    editor->deleteLater();
    if (tabs->count() == 0)
        stack->setCurrentWidget(welcome);
    emit signal_currentChanged();
}

void ScriptTabs::showNext()
{
    if (tabs->count() > 1)
        tabs->setCurrentIndex((tabs->currentIndex() + 1) % tabs->count());
}

void ScriptTabs::showPrevious()
{
    if (tabs->count() > 1)
        tabs->setCurrentIndex((tabs->currentIndex() + tabs->count() - 1) % tabs->count());
}

void ScriptTabs::insertSnippet(const QString &text)
{
    QWidget *window = stack->window();
    if (tabs->count() == 0) {
        // Asked from the menu or from a picture window: answered over the window that asked.
        QWidget *asking = QApplication::activeWindow();
        showNotice(asking ? asking : window, QStringLiteral("当前没有打开的脚本，代码未插入。请先在工程树中双击打开一个脚本。"));
        return;
    }
    ScriptEditor *editor = current();
    editor->insertSnippet(text);
    // Code from a picture window lands where the author sees it.
    window->raise();
    window->activateWindow();
    editor->setFocus();
    editor->ensureCursorVisible();
}

void ScriptTabs::askGoToLine()
{
    ScriptEditor *editor = current();
    int line = 0;
    int index = 0;
    editor->getCursorPosition(&line, &index);
    bool ok = false;
    const int target = QInputDialog::getInt(dialogParent(), QStringLiteral("转到行"),
                                            QStringLiteral("行号（1 - %1）：").arg(editor->lines()), line + 1, 1,
                                            editor->lines(), 1, &ok);
    if (ok) {
        editor->goToLine(target);
        editor->setFocus();
    }
}

void ScriptTabs::pathDeleted(const QString &path)
{
    QStringList closed;
    QStringList kept;
    for (ScriptEditor *editor : editors()) {
        if (!FileOperations::isAtOrUnder(editor->path(), path))
            continue;
        if (editor->isModified()) {
            editor->acknowledgeDisk();
            kept << editor->path();
        } else {
            removeTab(editor);
            closed << editor->path();
        }
    }
    QString text;
    if (!closed.isEmpty())
        text += QStringLiteral("以下脚本已被删除，其标签页已关闭：\n") + closed.join(QLatin1Char('\n'));
    if (!kept.isEmpty())
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n"))
            + QStringLiteral("以下脚本已被删除，但有未保存的修改，仍留在编辑器中（保存会重新创建文件）：\n")
            + kept.join(QLatin1Char('\n'));
    if (!text.isEmpty())
        showNotice(dialogParent(), text);
}

void ScriptTabs::pathMoved(const QString &from, const QString &to)
{
    const auto follow = [&from, &to](QString &path) {
        const QString moved = FileOperations::pathAfterMove(path, from, to);
        if (!moved.isEmpty())
            path = moved;
    };
    for (ScriptEditor *editor : editors()) {
        const QString moved = FileOperations::pathAfterMove(editor->path(), from, to);
        if (!moved.isEmpty())
            editor->followFile(moved);
    }
    for (ScriptPlace &place : closed)
        follow(place.path);
    // A moved script opened later still gets the last check's marks; its old path none.
    for (auto &mark : checkMarks)
        follow(mark.first);
}

void ScriptTabs::checkOnDisk()
{
    // A question below runs its own event loop, in which the timer comes again; and no
    // question is put over a dialog the author is busy with.
    if (checkingDisk || QApplication::activeModalWidget())
        return;
    checkingDisk = true;
    for (ScriptEditor *editor : editors()) {
        switch (editor->diskState()) {
        case ScriptEditor::DiskState::Same:
            break;
        case ScriptEditor::DiskState::Removed:
            pathDeleted(editor->path());
            break;
        case ScriptEditor::DiskState::Changed: {
            // Asked once per change: whatever the answer, this state of the file is known.
            const bool ask = editor->isModified();
            if (ask)
                editor->acknowledgeDisk();
            if (ask
                && !askNotice(dialogParent(),
                              QStringLiteral("文件[") + editor->path()
                                  + QStringLiteral("]已被其他程序修改。是否重新载入？\n"
                                                   "重新载入会用磁盘上的内容替换编辑器中未保存的修改（可撤销）。"),
                              false))
                break;
            const Status reloaded = editor->reload();
            if (!reloaded) {
                // Unreadable now: what the editor holds is kept, and it is not asked again.
                editor->acknowledgeDisk();
                showNotice(dialogParent(), QStringLiteral("无法重新载入文件[%1]：%2").arg(editor->path(), reloaded.error()));
            }
            break;
        }
        }
    }
    checkingDisk = false;
}

void ScriptTabs::markIn(ScriptEditor *editor, const Diagnostic &place)
{
    switch (place.kind) {
    case Diagnostic::Kind::Error:
    case Diagnostic::Kind::Warning: {
        const ScriptEditor::Mark mark =
            place.kind == Diagnostic::Kind::Error ? ScriptEditor::Mark::Error : ScriptEditor::Mark::Warning;
        editor->markLine(place.line, mark, place.tokenColumn(editor->text(place.line - 1)), place.token.size(),
                         place.message);
        break;
    }
    case Diagnostic::Kind::SearchResult:
        editor->markLine(place.line, ScriptEditor::Mark::Found);
        break;
    }
}

Status ScriptTabs::goTo(const Diagnostic &place)
{
    const Result<QString> file = place.file();
    if (!file)
        return fail(file.error());
    ScriptEditor *editor = open(*file);
    if (!editor)
        return fail(QStringLiteral("无法打开脚本[%1]。").arg(QDir::toNativeSeparators(place.path)));
    editor->goToLine(place.line);
    markIn(editor, place);
    editor->setFocus();
    return Status();
}

void ScriptTabs::mark(const Diagnostic &found)
{
    // A check may find thousands in a few scripts: each script's file is looked up once.
    const QString key = found.directory + QLatin1Char('/') + found.path;
    auto file = checkedFiles.constFind(key);
    if (file == checkedFiles.constEnd())
        file = checkedFiles.insert(key, found.file().valueOr(QString()));
    if (file->isEmpty())
        return;
    // Beyond that many the output still leads to each; scripts opened later show the first.
    if (checkMarks.size() < kMaxCheckMarks)
        checkMarks.append({*file, found});
    if (ScriptEditor *editor = editorFor(*file))
        markIn(editor, found);
}

void ScriptTabs::clearCheckMarks()
{
    checkMarks.clear();
    checkedFiles.clear();
    for (ScriptEditor *editor : editors()) {
        editor->clearMarks(ScriptEditor::Mark::Error);
        editor->clearMarks(ScriptEditor::Mark::Warning);
    }
}

void ScriptTabs::clearSearchMarks()
{
    for (ScriptEditor *editor : editors())
        editor->clearMarks(ScriptEditor::Mark::Found);
}

ScriptPlace ScriptTabs::placeOf(ScriptEditor *editor)
{
    ScriptPlace place;
    place.path = editor->path();
    editor->getCursorPosition(&place.line, &place.index);
    place.firstVisibleLine = editor->firstVisibleLine();
    return place;
}

ScriptEditor *ScriptTabs::openAt(const ScriptPlace &place)
{
    ScriptEditor *editor = open(place.path);
    if (editor) {
        editor->setCursorPosition(qMin(place.line, editor->lines() - 1), place.index);
        editor->setFirstVisibleLine(place.firstVisibleLine);
    }
    return editor;
}

QVector<ScriptPlace> ScriptTabs::places() const
{
    QVector<ScriptPlace> places;
    for (ScriptEditor *editor : editors())
        places.append(placeOf(editor));
    return places;
}

int ScriptTabs::currentIndex() const
{
    return tabs->currentIndex();
}

void ScriptTabs::restore(const QVector<ScriptPlace> &places, int current)
{
    for (const ScriptPlace &place : places)
        openAt(place);
    if (current >= 0 && current < tabs->count())
        tabs->setCurrentIndex(current);
    this->current()->setFocus();
}
