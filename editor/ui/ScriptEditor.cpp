#include "editor/ui/ScriptEditor.h"

#include "api/ApiModel.h"
#include "editor/ApiHelp.h"
#include "editor/AutoIndent.h"
#include "editor/CompletionList.h"
#include "editor/LineComment.h"
#include "editor/ScriptFile.h"
#include "editor/ui/DocumentCompletion.h"
#include "editor/ui/QsciLexerLuaEx.h"
#include "editor/ui/ScriptEditorSetup.h"

#include <Qsci/qsciapis.h>
#include <Qsci/qscilexerlua.h>

#include <QContextMenuEvent>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QToolTip>

#include <cstdint>

namespace {

// The id of the list of Chinese aliases among QScintilla's user lists.
constexpr int kAliasList = 1;
// How long the pointer rests before what is under it is explained.
constexpr int kHoverMs = 500;

} // namespace

ScriptEditor::ScriptEditor(QWidget *parent)
    : QsciScintilla(parent)
{
    ScriptEditorSetup::configure(this);
    // The output's marks, in margin 0 (before the line numbers) and nowhere else.
    const struct
    {
        MarkerSymbol symbol;
        QColor colour;
    } marks[] = {{Circle, QColor(210, 0, 0)}, {RightTriangle, QColor(230, 140, 0)}, {RightArrow, QColor(0, 90, 210)}};
    unsigned mask = 0;
    for (int i = 0; i < 3; ++i) {
        markerNumber[i] = markerDefine(marks[i].symbol);
        setMarkerBackgroundColor(marks[i].colour, markerNumber[i]);
        setMarkerForegroundColor(marks[i].colour.darker(), markerNumber[i]);
        mask |= 1u << markerNumber[i];
        if (i < 2) {
            indicatorNumber[i] = indicatorDefine(SquiggleIndicator);
            setIndicatorForegroundColor(marks[i].colour, indicatorNumber[i]);
        }
    }
    setMarginType(0, SymbolMargin);
    setMarginWidth(0, 14);
    setMarginMarkerMask(0, int(mask));
    setMarginMarkerMask(1, 0);
    // Completion takes the script's words from its analysis, never from a search of the text.
    completion = new DocumentCompletion(lexer(), QsciLexerLuaEx::sharedApis());
    SendScintilla(SCI_SETMOUSEDWELLTIME, kHoverMs);
    connect(this, &QsciScintilla::SCN_DWELLSTART, this, &ScriptEditor::slot_dwellStart);
    connect(this, &QsciScintilla::SCN_DWELLEND, this, [] { QToolTip::hideText(); });
    connect(this, &QsciScintilla::SCN_CHARADDED, this, &ScriptEditor::slot_charAdded);
    connect(this, &QsciScintilla::userListActivated, this, &ScriptEditor::slot_userListActivated);
    connect(this, &QsciScintilla::modificationChanged, this, &ScriptEditor::signal_stateChanged);
}

ScriptEditor::DiskStamp ScriptEditor::stampOf(const QString &path)
{
    const QFileInfo info(path);
    DiskStamp stamp;
    stamp.exists = info.isFile(); // a directory put in its place is no script either
    if (stamp.exists) {
        stamp.modified = info.lastModified();
        stamp.size = info.size();
    }
    return stamp;
}

Status ScriptEditor::openFile(const QString &path)
{
    const DiskStamp stamp = stampOf(path);
    const Result<ScriptFile::Contents> read = ScriptFile::read(path);
    if (!read)
        return fail(read.error());
    const ScriptFile::Contents &contents = *read;
    setText(contents.text);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    setModified(false);
    filePath = path;
    faithful = contents.faithful;
    byteOrderMark = contents.byteOrderMark;
    known = stamp;
    emit signal_stateChanged();
    return Status();
}

void ScriptEditor::showWelcome()
{
    setText(ScriptEditorSetup::welcomeText());
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    setModified(false);
    filePath.clear();
    emit signal_stateChanged();
}

Status ScriptEditor::save()
{
    const Status written = ScriptFile::write(filePath, text(), byteOrderMark);
    if (!written)
        return written;
    faithful = true;
    known = stampOf(filePath);
    setModified(false);
    return Status();
}

Status ScriptEditor::reload()
{
    const DiskStamp stamp = stampOf(filePath);
    const Result<ScriptFile::Contents> read = ScriptFile::read(filePath);
    if (!read)
        return fail(read.error());
    const ScriptFile::Contents &contents = *read;
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    const int firstLine = firstVisibleLine();
    // One undoable step, so a reload the author did not mean can be taken back.
    beginUndoAction();
    selectAll();
    replaceSelectedText(contents.text);
    endUndoAction();
    setModified(false);
    faithful = contents.faithful;
    byteOrderMark = contents.byteOrderMark;
    known = stamp;
    setCursorPosition(qMin(line, lines() - 1), index);
    setFirstVisibleLine(firstLine);
    emit signal_stateChanged();
    return Status();
}

ScriptEditor::DiskState ScriptEditor::diskState() const
{
    if (filePath.isEmpty())
        return DiskState::Same;
    const DiskStamp now = stampOf(filePath);
    if (now == known)
        return DiskState::Same;
    return now.exists ? DiskState::Changed : DiskState::Removed;
}

void ScriptEditor::acknowledgeDisk()
{
    known = stampOf(filePath);
}

void ScriptEditor::slot_charAdded(int character)
{
    // Enter inserts CR LF; the CR is reported first, with the caret already on the new line.
    if (character != '\r')
        return;
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    if (line < 1)
        return;
    const AutoIndent::Edit edit = AutoIndent::afterNewLine(text(line - 1), tabWidth());
    if (edit.isEmpty())
        return;
    insert(edit.insertion);
    setCursorPosition(line, edit.caretColumn);
}

void ScriptEditor::insertSnippet(const QString &snippet)
{
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    const QString current = lineText(line);
    long position = SendScintilla(SCI_GETCURRENTPOS);
    QString inserted = AutoIndent::indentSnippet(snippet, AutoIndent::leadingWhiteSpace(current.left(index)));
    if (snippet.endsWith(QLatin1Char('\n')) && !current.left(index).trimmed().isEmpty()) {
        // A statement never splits the code left of the caret (a word, a call): it goes below.
        QString body = snippet;
        body.chop(body.endsWith(QLatin1String("\r\n")) ? 2 : 1);
        inserted = QStringLiteral("\r\n") + AutoIndent::leadingWhiteSpace(current)
            + AutoIndent::indentSnippet(body, AutoIndent::leadingWhiteSpace(current));
        position = SendScintilla(SCI_GETLINEENDPOSITION, line);
    }
    // Counting the text's characters forward from the caret would overshoot after every CR LF,
    // which the editor steps over as one character; its length in bytes lands exactly behind it.
    const QByteArray bytes = inserted.toUtf8();
    SendScintilla(SCI_INSERTTEXT, position, bytes.constData());
    SendScintilla(SCI_GOTOPOS, position + bytes.size());
}

void ScriptEditor::followFile(const QString &path)
{
    filePath = path;
    known = stampOf(path);
    emit signal_stateChanged();
}

QString ScriptEditor::lineText(int line) const
{
    QString text = this->text(line);
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

QPair<int, int> ScriptEditor::selectedLines() const
{
    const long start = SendScintilla(SCI_GETSELECTIONSTART);
    const long end = SendScintilla(SCI_GETSELECTIONEND);
    const int first = int(SendScintilla(SCI_LINEFROMPOSITION, start));
    int last = int(SendScintilla(SCI_LINEFROMPOSITION, end));
    if (last > first && SendScintilla(SCI_POSITIONFROMLINE, last) == end)
        --last;
    return {first, last};
}

void ScriptEditor::toggleComment()
{
    if (isReadOnly())
        return;
    const auto [first, last] = selectedLines();
    QStringList lines;
    for (int line = first; line <= last; ++line)
        lines << lineText(line);
    const QVector<LineComment::Edit> edits = LineComment::toggle(lines);
    beginUndoAction();
    // The editor moves the caret and the selection along with each change.
    for (const LineComment::Edit &edit : edits) {
        const QString &text = lines[edit.line];
        const long start = SendScintilla(SCI_POSITIONFROMLINE, first + edit.line) + text.left(edit.column).toUtf8().size();
        SendScintilla(SCI_SETTARGETRANGE, start, start + text.mid(edit.column, edit.removed).toUtf8().size());
        const QByteArray inserted = edit.inserted.toUtf8();
        SendScintilla(SCI_REPLACETARGET, long(inserted.size()), inserted.constData());
    }
    endUndoAction();
}

void ScriptEditor::duplicateLines()
{
    if (isReadOnly())
        return;
    const auto [first, last] = selectedLines();
    const long anchor = SendScintilla(SCI_GETANCHOR);
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long start = SendScintilla(SCI_POSITIONFROMLINE, first);
    long end = SendScintilla(SCI_POSITIONFROMLINE, last + 1);
    QByteArray copy = text(int(start), int(end)).toUtf8();
    if (last + 1 >= lines()) {
        // The last line has no line end to carry along: the copy brings its own in front.
        end = SendScintilla(SCI_GETLENGTH);
        copy = QByteArrayLiteral("\r\n") + text(int(start), int(end)).toUtf8();
    }
    SendScintilla(SCI_INSERTTEXT, end, copy.constData());
    // Every line of the copy lies that many bytes behind its original.
    SendScintilla(SCI_SETSEL, anchor + copy.size(), caret + copy.size());
}

void ScriptEditor::moveLines(bool up)
{
    if (isReadOnly())
        return;
    SendScintilla(up ? SCI_MOVESELECTEDLINESUP : SCI_MOVESELECTEDLINESDOWN);
}

void ScriptEditor::replaceMatches(const QVector<ProjectReplace::Match> &matches)
{
    // The editor counts in bytes of UTF-8: each match's place, counted once from the start.
    const QString text = this->text();
    QVector<long> bytes(matches.size());
    long position = 0;
    int from = 0;
    for (int i = 0; i < matches.size(); ++i) {
        position += text.midRef(from, matches[i].start - from).toUtf8().size();
        from = matches[i].start;
        bytes[i] = position;
    }
    beginUndoAction();
    // From the last: every change leaves the places before it as they were.
    for (int i = matches.size() - 1; i >= 0; --i) {
        const long start = bytes[i];
        SendScintilla(SCI_SETTARGETRANGE, start, start + text.midRef(matches[i].start, matches[i].length).toUtf8().size());
        const QByteArray replacement = matches[i].replacement.toUtf8();
        SendScintilla(SCI_REPLACETARGET, long(replacement.size()), replacement.constData());
    }
    endUndoAction();
}

QString ScriptEditor::searchSeed() const
{
    const QString selected = selectedText();
    if (!selected.isEmpty())
        return selected.contains(QLatin1Char('\n')) || selected.contains(QLatin1Char('\r')) ? QString() : selected;
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long start = SendScintilla(SCI_WORDSTARTPOSITION, caret, true);
    const long end = SendScintilla(SCI_WORDENDPOSITION, caret, true);
    return end > start ? text(int(start), int(end)) : QString();
}

void ScriptEditor::goToLine(int line)
{
    const int target = qBound(0, line - 1, lines() - 1);
    setCursorPosition(target, 0);
    setFirstVisibleLine(qMax(0, target - int(SendScintilla(SCI_LINESONSCREEN)) / 2));
    ensureLineVisible(target);
}

void ScriptEditor::markLine(int line, Mark mark, int column, int length, const QString &message)
{
    const int target = line - 1;
    if (target < 0 || target >= lines())
        return;
    if (mark == Mark::Found)
        clearMarks(Mark::Found);
    const int handle = markerAdd(target, markerNumber[int(mark)]);
    if (mark != Mark::Found && !message.isEmpty() && handle >= 0)
        messages.insert(handle, {mark, message});
    const QString lineText = text(target);
    if (mark == Mark::Found || column < 0 || length <= 0 || column + length > lineText.size())
        return;
    // Scintilla counts in bytes of UTF-8.
    const long start = SendScintilla(SCI_POSITIONFROMLINE, target) + lineText.left(column).toUtf8().size();
    SendScintilla(SCI_SETINDICATORCURRENT, indicatorNumber[int(mark)]);
    SendScintilla(SCI_INDICATORFILLRANGE, start, lineText.mid(column, length).toUtf8().size());
}

void ScriptEditor::clearMarks(Mark mark)
{
    markerDeleteAll(markerNumber[int(mark)]);
    for (auto it = messages.begin(); it != messages.end();)
        it = it->mark == mark ? messages.erase(it) : std::next(it);
    if (mark == Mark::Found)
        return;
    SendScintilla(SCI_SETINDICATORCURRENT, indicatorNumber[int(mark)]);
    SendScintilla(SCI_INDICATORCLEARRANGE, 0, SendScintilla(SCI_GETLENGTH));
}

QStringList ScriptEditor::markMessages(int line) const
{
    QStringList found;
    for (auto it = messages.constBegin(); it != messages.constEnd(); ++it) {
        if (markerLine(it.key()) == line && !found.contains(it->message))
            found << it->message;
    }
    return found;
}

QString ScriptEditor::hoverText(long position, bool inMargin) const
{
    const int line = int(SendScintilla(SCI_LINEFROMPOSITION, position));
    QStringList parts;
    // A mark's message over its symbol in the margin, or over the text it underlines.
    bool marked = inMargin;
    for (int i = 0; i < 2 && !marked; ++i)
        marked = SendScintilla(SCI_INDICATORVALUEAT, indicatorNumber[i], position) != 0;
    if (marked) {
        for (const QString &message : markMessages(line))
            parts << message.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>"));
    }
    if (!inMargin) {
        int index = 0;
        int ignored = 0;
        lineIndexFromPosition(int(position), &ignored, &index);
        if (const ApiEntry *entry = ApiHelp::entryAt(ApiModel::standard(), text(line), index))
            parts << ApiHelp::hoverText(*entry);
    }
    return parts.join(QStringLiteral("<hr>"));
}

void ScriptEditor::slot_dwellStart(int, int x, int y)
{
    // Dwelling over the margin gives no text position: the nearest one on that line.
    const long position = SendScintilla(SCI_POSITIONFROMPOINT, x, y);
    int margins = 0;
    for (int m = 0; m < 5; ++m)
        margins += marginWidth(m);
    const QString shown = hoverText(position, x < margins);
    if (shown.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(viewport()->mapToGlobal(QPoint(x, y)), shown, viewport());
}

void ScriptEditor::swapScriptWords(ScriptWords &words)
{
    completion->swapWords(words);
}

QByteArray ScriptEditor::snapshot() const
{
    const auto *text = reinterpret_cast<const char *>(SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(text, int(SendScintilla(SCI_GETLENGTH)));
}

bool ScriptEditor::findNext(const QString &expr, const ScriptSearch::Options &options)
{
    return ScriptSearch::findNext(this, expr, options);
}

bool ScriptEditor::findPrevious(const QString &expr, const ScriptSearch::Options &options)
{
    return ScriptSearch::findPrevious(this, expr, options);
}

bool ScriptEditor::typedWordIsComplete()
{
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long start = SendScintilla(SCI_WORDSTARTPOSITION, caret, true);
    if (start >= caret)
        return false;
    const QString word = text(int(start), int(caret));
    // The length first, then the text with its terminating zero byte. The wParam is a uintptr_t:
    // with unsigned long the text overloads are ambiguous where long is 32 bits (Windows).
    QByteArray current(int(SendScintilla(SCI_AUTOCGETCURRENTTEXT, uintptr_t(0), static_cast<const char *>(nullptr))) + 1, 0);
    SendScintilla(SCI_AUTOCGETCURRENTTEXT, uintptr_t(0), current.data());
    return CompletionList::isComplete(word, QString::fromUtf8(current.constData()));
}

void ScriptEditor::keyPressEvent(QKeyEvent *event)
{
    // The list would take Enter (or a fill-up character) as accepting its entry. When the word
    // typed already is complete ("then", "end", a full API name), the key is meant as typed:
    // the list closes and the key goes to the text, where Enter also indents and closes blocks.
    if (isListActive() && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier
        && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && typedWordIsComplete())
        cancelList();
    QsciScintilla::keyPressEvent(event);
    const QString typed = event->text();
    if (std::any_of(typed.begin(), typed.end(), [](QChar c) { return c.unicode() >= 0x80; }))
        offerAliases();
}

void ScriptEditor::contextMenuEvent(QContextMenuEvent *event)
{
    // The window's own edit commands, in its language and with its keys, rather than the
    // component's English menu.
    emit signal_contextMenu(event->globalPos());
}

void ScriptEditor::inputMethodEvent(QInputMethodEvent *event)
{
    QsciScintilla::inputMethodEvent(event);
    if (!event->commitString().isEmpty())
        offerAliases();
}

void ScriptEditor::offerAliases()
{
    if (isListActive())
        return;
    int line = 0;
    int index = 0;
    getCursorPosition(&line, &index);
    const QString prefix = CompletionList::aliasPrefix(text(line).left(index));
    const QStringList aliases = CompletionList::aliasesStartingWith(ApiModel::standard(), prefix);
    if (aliases.isEmpty())
        return;
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    aliasStart = caret - prefix.toUtf8().size();
    SendScintilla(SCI_COLOURISE, SendScintilla(SCI_POSITIONFROMLINE, line), caret);
    switch (SendScintilla(SCI_GETSTYLEAT, aliasStart)) {
    case QsciLexerLua::Comment:
    case QsciLexerLua::LineComment:
        return;
    case QsciLexerLua::String:
    case QsciLexerLua::Character:
    case QsciLexerLua::LiteralString:
    case QsciLexerLua::UnclosedString:
        aliasInString = true;
        break;
    default:
        aliasInString = false;
    }
    showUserList(kAliasList, aliases);
}

void ScriptEditor::slot_userListActivated(int id, const QString &text)
{
    if (id != kAliasList || aliasStart < 0)
        return;
    SendScintilla(SCI_SETSEL, aliasStart, SendScintilla(SCI_GETCURRENTPOS));
    replaceSelectedText(CompletionList::aliasInsertion(text, aliasInString));
    aliasStart = -1;
}
