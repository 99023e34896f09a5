#include "editor/ui/ScriptSearch.h"

#include <Qsci/qsciscintilla.h>

#include <QRegularExpression>

bool ScriptSearch::findNext(QsciScintilla *editor, const QString &expr, const Options &options)
{
    return editor->findFirst(expr, options.regularExpression, options.caseSensitive, options.wholeWord,
                             options.wrap, true, -1, -1, true, false);
}

bool ScriptSearch::findPrevious(QsciScintilla *editor, const QString &expr, const Options &options)
{
    // Backwards from the start of the selection, so the match just found is passed over.
    int line = 0;
    int index = 0;
    editor->lineIndexFromPosition(int(editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART)), &line, &index);
    return editor->findFirst(expr, options.regularExpression, options.caseSensitive, options.wholeWord,
                             options.wrap, false, line, index, true, false);
}

bool ScriptSearch::replaceSelection(QsciScintilla *editor, const QString &expr, const QString &replacement,
                                    const Options &options)
{
    const long start = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
    const long end = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
    if (start == end)
        return false;
    // The selection is what Search would find when the very same search, run inside it, covers
    // all of it.
    int line = 0;
    int index = 0;
    editor->lineIndexFromPosition(int(start), &line, &index);
    const bool found = editor->findFirst(expr, options.regularExpression, options.caseSensitive, options.wholeWord,
                                         false, true, line, index, true, false)
        && editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART) == start
        && editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND) == end;
    if (!found) {
        editor->SendScintilla(QsciScintillaBase::SCI_SETSEL, start, end);
        return false;
    }
    // replace() expands \1 … \9 of a regular expression as the library does.
    editor->replace(replacement);
    return true;
}

int ScriptSearch::replaceAll(QsciScintilla *editor, const QString &expr, const QString &replacement, Options options)
{
    // The whole script from its start, without wrapping: each search starts behind the last
    // replacement, so a replacement that contains the expression cannot make this loop forever.
    options.wrap = false;
    // Where the caret's text is, followed through the replacements before it.
    long caret = editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
    const int firstLine = editor->firstVisibleLine();
    int count = 0;
    editor->beginUndoAction(); // one step for the author to take back
    editor->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, 0L);
    while (findNext(editor, expr, options)) {
        const long start = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
        const long end = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
        editor->replace(replacement);
        ++count;
        // Go on behind the replacement.
        const long behind = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
        if (end <= caret)
            caret += behind - end;
        else if (start < caret)
            caret = behind; // it was inside the match
        editor->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, behind);
        if (start == end) {
            // An empty match (a regular expression such as "^" or "x*") would be found again at
            // the same place: step over one character, and stop at the end of the text.
            if (behind >= editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH))
                break;
            editor->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION,
                                  editor->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, behind));
        }
    }
    editor->endUndoAction();
    // The author goes on where they were.
    editor->SendScintilla(QsciScintillaBase::SCI_SETEMPTYSELECTION, caret);
    editor->setFirstVisibleLine(firstLine);
    return count;
}

QString ScriptSearch::escaped(const QString &text)
{
    // Only what is special to either dialect: other characters, Chinese ones too, stand for
    // themselves in both, while a backslash in front of them may not.
    static const QRegularExpression special(QStringLiteral("([\\\\^$.|?*+()\\[\\]{}])"));
    return QString(text).replace(special, QStringLiteral("\\\\1"));
}
