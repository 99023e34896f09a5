#pragma once

#include "common/LogQueue.h"

#include <QPlainTextEdit>
#include <QTimer>

// A plain-text pane for logs and build output. Messages are queued and shown in batches, once
// per turn of the event loop and a few milliseconds at a time, so a flood of lines never holds
// the interface thread; each message is bounded (LogQueue), and the pane keeps only the newest
// kMaxLines lines and kMaxCharacters characters. Dropping old lines from the top costs the
// text document far more per line than adding them, so the bound is kept moderate, and a
// flood that would replace the whole pane replaces it at once.
class LogView : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kMaxLines = 50000;
    static constexpr qint64 kMaxCharacters = 8 * 1024 * 1024;

    explicit LogView(QWidget *parent = nullptr);

    // Queues a message as one or more lines at the end; shown at the next turn of the loop.
    void appendMessage(const QString &text);
    // Shows every queued message and paints the pane at once: for progress lines written
    // while long work keeps the interface thread from its event loop.
    void showNow();
    // Shows every queued message (without painting).
    void flush();
    // Empties the pane and the queue.
    void clearMessages();

private:
    void showQueued(qint64 budgetMs);
    void appendChunk(const QString &chunk);

    LogQueue queue;
    QTimer batchTimer;
};
