#pragma once

#include <QString>

class QsciScintilla;

// Search and replace in the script editor, forward from the caret or back from the selection. The editor's
// selection and caret carry the position from one request to the next.
class ScriptSearch
{
public:
    struct Options
    {
        bool regularExpression = false;
        bool caseSensitive = false;
        bool wholeWord = false;
        bool wrap = true;
    };

    // Selects the next match; false when there is none.
    static bool findNext(QsciScintilla *editor, const QString &expr, const Options &options);
    // Selects the match before the selection; false when there is none.
    static bool findPrevious(QsciScintilla *editor, const QString &expr, const Options &options);
    // Replaces the selection when it is a match of the same search (same options, a regular
    // expression's captures expanded). False when the selection is something else and nothing
    // was replaced.
    static bool replaceSelection(QsciScintilla *editor, const QString &expr, const QString &replacement,
                                 const Options &options);
    // Replaces every match in the whole text as one undo step, the caret staying at its text,
    // and returns how many were replaced.
    static int replaceAll(QsciScintilla *editor, const QString &expr, const QString &replacement, Options options);
    // A regular expression that matches the text itself.
    static QString escaped(const QString &text);
};
