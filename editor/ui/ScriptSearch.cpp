#include "editor/ui/ScriptSearch.h"

#include <Qsci/qsciscintilla.h>

bool ScriptSearch::findNext(QsciScintilla *editor, const QString &expr, const Options &options)
{
    return editor->findFirst(expr, options.regularExpression, options.caseSensitive, options.wholeWord,
                             options.wrap, true, -1, -1, true, false);
}

bool ScriptSearch::replaceSelection(QsciScintilla *editor, const QString &expr, const QString &replacement)
{
    if (!editor->hasSelectedText() || editor->selectedText() != expr)
        return false;
    editor->replaceSelectedText(replacement);
    return true;
}

int ScriptSearch::replaceAll(QsciScintilla *editor, const QString &expr, const QString &replacement, Options options)
{
    // Without wrapping each search starts behind the last replacement, so a replacement that
    // contains the expression cannot make this loop forever.
    options.wrap = false;
    int count = 0;
    while (findNext(editor, expr, options)) {
        const long start = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART);
        const long end = editor->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND);
        editor->replaceSelectedText(replacement);
        ++count;
        if (start == end) {
            // An empty match (a regular expression such as "^" or "x*") would be found again at
            // the same place: step over one character, and stop at the end of the text.
            const long caret = editor->SendScintilla(QsciScintillaBase::SCI_GETCURRENTPOS);
            if (caret >= editor->SendScintilla(QsciScintillaBase::SCI_GETLENGTH))
                break;
            editor->SendScintilla(QsciScintillaBase::SCI_GOTOPOS,
                                  editor->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, caret));
        }
    }
    return count;
}
