#include "editor/AutoIndent.h"

#include <QStringList>

int AutoIndent::indentationColumns(const QString &line, int tabWidth)
{
    int columns = 0;
    for (const QChar c : line) {
        if (c == QLatin1Char(' '))
            ++columns;
        else if (c == QLatin1Char('\t'))
            columns = (columns / tabWidth + 1) * tabWidth;
        else
            break;
    }
    return columns;
}

bool AutoIndent::opensBlock(const QString &trimmedLine)
{
    // The blank in front of "then" and "do" is what makes them words of their own: a bare "do"
    // line does not count, and neither does "function" without a following blank.
    return trimmedLine.startsWith(QLatin1String("function ")) || trimmedLine.endsWith(QLatin1String(" then"))
        || trimmedLine.endsWith(QLatin1String(" do"));
}

AutoIndent::Edit AutoIndent::afterNewLine(const QString &previousLine, int tabWidth)
{
    Edit edit;
    if (tabWidth <= 0)
        return edit;
    QString content = previousLine;
    while (content.endsWith(QLatin1Char('\n')) || content.endsWith(QLatin1Char('\r')))
        content.chop(1);
    content = content.trimmed();
    if (content.isEmpty())
        return edit;

    const int columns = indentationColumns(previousLine, tabWidth);
    const QString indent = QString(columns / tabWidth, QLatin1Char('\t')) + QString(columns % tabWidth, QLatin1Char(' '));
    edit.insertion = indent;
    edit.caretColumn = indent.size();
    if (opensBlock(content)) {
        // The new line goes one tab deeper; "end" follows on its own line at the block's depth.
        // Whatever stood right of the caret when Enter was typed ends up behind that "end".
        edit.insertion += QLatin1String("\t\r\n") + indent + QLatin1String("end");
        edit.caretColumn += 1;
    }
    return edit;
}

QString AutoIndent::leadingWhiteSpace(const QString &line)
{
    int end = 0;
    while (end < line.size() && (line[end] == QLatin1Char(' ') || line[end] == QLatin1Char('\t')))
        ++end;
    return line.left(end);
}

QString AutoIndent::indentSnippet(const QString &snippet, const QString &indentation)
{
    if (indentation.isEmpty())
        return snippet;
    QStringList lines = snippet.split(QLatin1Char('\n'));
    for (int i = 1; i < lines.size(); ++i) {
        const bool last = i == lines.size() - 1;
        if (last || !(lines[i].isEmpty() || lines[i] == QLatin1String("\r")))
            lines[i].prepend(indentation);
    }
    return lines.join(QLatin1Char('\n'));
}
