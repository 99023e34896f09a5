#pragma once

#include <QString>

class QsciScintilla;

// Configures the script editor: Lua lexer with the API model's words, line numbers, folding,
// word completion (from the document and the lexer's shared completion list), CR LF line ends.
// Changes of the text are followed through modificationChanged(), not textChanged(), which the
// editor emits only while assistive technology is active.
class ScriptEditorSetup
{
public:
    static constexpr int kIndentationWidth = 4;

    // The lexer becomes a child of the editor.
    static void configure(QsciScintilla *editor);

    // Shown while no script is open.
    static QString welcomeText();
};
