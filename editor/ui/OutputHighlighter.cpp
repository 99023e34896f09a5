#include "editor/ui/OutputHighlighter.h"

#include "editor/OutputLink.h"

#include <QGuiApplication>
#include <QPalette>

OutputHighlighter::OutputHighlighter(QTextDocument *document)
    : QSyntaxHighlighter(document)
{
}

void OutputHighlighter::highlightBlock(const QString &text)
{
    const std::optional<OutputLink> link = OutputLink::parse({text}, 0);
    if (!link)
        return;
    QTextCharFormat format;
    switch (link->kind) {
    case OutputLink::Kind::SyntaxError:
        format.setForeground(QColor(192, 0, 0));
        setFormat(0, text.size(), format);
        break;
    case OutputLink::Kind::Warning:
        format.setForeground(QColor(176, 96, 0));
        setFormat(0, text.size(), format);
        break;
    case OutputLink::Kind::SearchResult:
        format.setForeground(QGuiApplication::palette().link());
        // "<path>:<line>", without the ": " before the text
        setFormat(0, link->path.size() + 1 + QString::number(link->line).size(), format);
        break;
    }
}
