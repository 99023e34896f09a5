#pragma once

#include <QString>

// What the editor does when Enter was typed behind a line of Lua: carry the line's indentation
// over to the new line and, behind a line that opens a block, close the block with "end".
class AutoIndent
{
public:
    struct Edit
    {
        QString insertion; // text to insert at the caret, which stands at the start of the new line
        int caretColumn = 0; // where the caret goes on the new line afterwards, in characters
        bool isEmpty() const { return insertion.isEmpty(); }
    };

    // previousLine: the line on which Enter was typed, with its line end. tabWidth also serves as
    // the indentation width: indentation is rebuilt as whole tabs followed by the remaining spaces.
    static Edit afterNewLine(const QString &previousLine, int tabWidth);

    // Indentation of a line in columns, tabs advancing to the next multiple of tabWidth.
    static int indentationColumns(const QString &line, int tabWidth);

    // A line (trimmed) after which a block is opened: "function ...", "... then", "... do".
    static bool opensBlock(const QString &trimmedLine);

    // The blanks and tabs a line begins with.
    static QString leadingWhiteSpace(const QString &line);
    // A snippet to be inserted on a line indented by `indentation`: every line after the first
    // gets that indentation in front, blank lines excepted, and so does the empty end behind a
    // final line break, where the caret lands.
    static QString indentSnippet(const QString &snippet, const QString &indentation);
};
