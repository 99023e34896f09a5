#pragma once

#include "common/LogQueue.h"

#include <QPlainTextEdit>
#include <QTimer>

#include <functional>

// A plain-text pane for logs and build output. Messages are queued and shown in batches, once
// per turn of the event loop and a few milliseconds at a time, so a flood of lines never holds
// the interface thread; each message is bounded (LogQueue), and the pane keeps only the newest
// kMaxLines lines and kMaxCharacters characters. Dropping old lines from the top costs the
// text document far more per line than adding them, so the bound is kept moderate, and a
// flood that would replace the whole pane replaces it at once.
//
// The pane is read-only; its text can be selected (with the mouse or the keyboard) and copied.
// Lines that lead somewhere are links: a line appended with a value that has a place (coloured
// by its kind), or a line the link test accepts. The pane asks its link test only about the
// line under the pointer (underlined while hovered), the line double-clicked and the caret's
// line on Enter, so a flood of lines costs nothing more.
class QSyntaxHighlighter;
class QTextBlock;

class LogView : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 50000;
    static constexpr qint64 kMaxCharacters = 8 * 1024 * 1024;

    explicit LogView(QWidget *parent = nullptr);

    // Queues a message as one or more lines at the end; shown at the next turn of the loop.
    void appendMessage(const QString &text);
    // Queues a value's text; a value with a place stays with the text's last line.
    void appendDiagnostic(const Diagnostic &value);
    // The value kept with a line (from 0), if any.
    std::optional<Diagnostic> diagnostic(int line) const;
    // Shows every queued message and paints the pane at once: for progress lines written
    // while long work keeps the interface thread from its event loop.
    void showNow();
    // Shows every queued message (without painting).
    void flush();
    // Empties the pane and the queue.
    void clearMessages();

    // Whether a line of the pane without a value is a link, by its text; none is while no test
    // is set.
    using LinkTest = std::function<bool(const QString &line)>;
    void setLinkTest(LinkTest test);
    // Up to count lines of the pane ending with line last (from 0), oldest first: a link's line
    // with the lines before it that it may need.
    QStringList lines(int last, int count) const;

signals:
    // A link line (its number, from 0) was double-clicked, or Enter pressed on it.
    void signal_linkActivated(int line);

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void showQueued(qint64 budgetMs);
    void appendChunk(const LogQueue::Chunk &chunk);
    // Keeps a value with a block; its text is coloured by the value's kind.
    void keep(QTextBlock block, const Diagnostic &value);
    bool isLink(const QTextBlock &block) const;
    // Underlines the hovered link line (none for an invalid block).
    void hover(const QTextBlock &block);

    LogQueue queue;
    QTimer batchTimer;
    LinkTest linkTest;
    QSyntaxHighlighter *highlighter = nullptr; // once a value is kept
};
