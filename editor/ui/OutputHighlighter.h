#pragma once

#include <QSyntaxHighlighter>

// Colours the lines of the local output that lead to a script's line, so that they read as
// links: a compiler report's error line in red, a warning of the script check in orange, and
// the place of a search result ("<path>:<line>") as a link. Only the local output has it: the
// build and the search write a few thousand lines at the most, where a device floods its pane.
class OutputHighlighter : public QSyntaxHighlighter
{
    Q_OBJECT

public:
    explicit OutputHighlighter(QTextDocument *document);

protected:
    void highlightBlock(const QString &text) override;
};
