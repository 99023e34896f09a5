#pragma once

#include <QString>

class QsciScintilla;

// Search and replace in the script editor, always forward from the caret. The editor's
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
    // Replaces the selection when its text is exactly expr (compared as text, whatever the
    // options). False when the selection is something else and nothing was replaced.
    static bool replaceSelection(QsciScintilla *editor, const QString &expr, const QString &replacement);
    // Replaces every match from the caret to the end of the text, never wrapping around, and
    // returns how many were replaced.
    static int replaceAll(QsciScintilla *editor, const QString &expr, const QString &replacement, Options options);
};
