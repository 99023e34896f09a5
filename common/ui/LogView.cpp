#include "common/ui/LogView.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace {

// Lines inserted per step (each may push as many off the top, at about 0.1 ms a line), and the
// time one batch may take before it yields to the event loop.
constexpr int kLinesPerStep = 100;
constexpr qint64 kBatchBudgetMs = 6;

} // namespace

LogView::LogView(QWidget *parent)
    : QPlainTextEdit(parent)
    , queue(kMaxLines, kMaxCharacters)
{
    // An undo history of a log would grow without bound.
    setUndoRedoEnabled(false);
    setMaximumBlockCount(kMaxLines);
    batchTimer.setSingleShot(true);
    batchTimer.setInterval(0);
    connect(&batchTimer, &QTimer::timeout, this, [this]() { showQueued(kBatchBudgetMs); });
}

void LogView::appendMessage(const QString &text)
{
    queue.push(text);
    if (!batchTimer.isActive())
        batchTimer.start();
}

void LogView::flush()
{
    showQueued(-1);
}

void LogView::showNow()
{
    flush();
    viewport()->repaint();
}

void LogView::clearMessages()
{
    queue.clear();
    batchTimer.stop();
    clear();
}

void LogView::showQueued(qint64 budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    // Everything shown now would be pushed off by what waits: start from an empty pane.
    if (queue.lines() >= kMaxLines)
        clear();
    while (!queue.isEmpty()) {
        appendChunk(queue.take(kLinesPerStep));
        if (budgetMs >= 0 && clock.elapsed() >= budgetMs)
            break;
    }
    if (!queue.isEmpty())
        batchTimer.start();
}

void LogView::appendChunk(const QString &chunk)
{
    // appendPlainText keeps the view at the bottom when it was there, and trims the lines
    // beyond the document's maximum block count from the top.
    appendPlainText(chunk);
    QTextDocument *doc = document();
    if (doc->characterCount() <= kMaxCharacters)
        return;
    qint64 excess = doc->characterCount() - kMaxCharacters;
    QTextBlock block = doc->firstBlock();
    while (excess > 0 && block.isValid() && block != doc->lastBlock()) {
        excess -= block.length();
        block = block.next();
    }
    QTextCursor cursor(doc);
    cursor.setPosition(block.position(), QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}
