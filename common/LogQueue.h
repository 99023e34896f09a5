#pragma once

#include "common/Diagnostic.h"

#include <QString>
#include <QVector>

#include <deque>
#include <optional>

// Messages waiting to be shown in a log pane. A message is cut after kMaxMessageBytes of UTF-8,
// its line ends become "\n", and lines longer than kMaxLineCharacters are broken into several:
// the layout of one long line costs the pane time that grows faster than its length. The queue
// keeps no more than the pane itself would: when it holds more lines or characters than the
// bounds, the oldest messages are dropped.
class LogQueue
{
public:
    static constexpr int kMaxMessageBytes = 64 * 1024;
    static constexpr int kMaxLineCharacters = 1000;

    LogQueue(int maxLines, qint64 maxCharacters);

    // The message as a pane shows it: at most kMaxMessageBytes of UTF-8, cut at a character
    // boundary and followed by "…（已截断N字节）" naming the bytes left out; "\n" line ends;
    // lines broken after kMaxLineCharacters characters (never inside a surrogate pair).
    static QString bounded(const QString &message);

    // A message; one with a value keeps it with its last line.
    void push(const QString &message, std::optional<Diagnostic> value = std::nullopt);

    struct Chunk
    {
        QString text;
        // The values of its messages, each with the line (from 0, in the chunk) it belongs to.
        QVector<QPair<int, Diagnostic>> values;
    };
    // The oldest messages, whole, until at least maxLines lines are taken (at least one
    // message), joined by "\n"; removed from the queue.
    Chunk take(int maxLines);
    bool isEmpty() const { return messages.empty(); }
    qint64 lines() const { return lineCount; }
    void clear();

private:
    struct Message
    {
        QString text;
        int lines;
        std::optional<Diagnostic> value;
    };
    std::deque<Message> messages;
    const int maxLines;
    const qint64 maxCharacters;
    qint64 lineCount = 0;
    qint64 characterCount = 0;
};
