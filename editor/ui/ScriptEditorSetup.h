#pragma once

#include "common/DataLocations.h"

#include <QString>

class QsciScintilla;

// Configures the script editor: Lua lexer with the device API words, line numbers, folding,
// word completion (from the document and, when found, config/apis.txt), CR LF line ends.
// Changes of the text are followed through modificationChanged(), not textChanged(), which the
// editor emits only while assistive technology is active.
class ScriptEditorSetup
{
public:
    static constexpr int kIndentationWidth = 4;

    // The lexer becomes a child of the editor; the completion list, when loaded, of the lexer.
    // By default the list is config/apis.txt of the working directory or the installed data.
    static void configure(QsciScintilla *editor,
                          const QString &apiFile = DataLocations::standard().find(DataLocations::completionList()));

    // Shown while no script is open.
    static QString welcomeText();
};
