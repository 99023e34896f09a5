#pragma once

#include "common/LogQueue.h"

#include <QMutex>
#include <QString>

#include <functional>

// The lines a script run prints (log, print, toast, io.write), waiting for whoever shows them.
// Bounded like a log pane: a script that floods the output loses its oldest lines instead of
// filling memory or holding the interface, which takes them in batches.
class RunOutput
{
public:
    static constexpr int kMaxLines = 50000;
    static constexpr qint64 kMaxCharacters = 8 * 1024 * 1024;

    // arrived is called, on the pushing thread, when lines come into an empty queue.
    explicit RunOutput(std::function<void()> arrived = nullptr);

    void push(const QString &line);
    // Every waiting line, joined by "\n"; empty when none waits.
    QString take();

private:
    QMutex lock;
    LogQueue queue{kMaxLines, kMaxCharacters};
    const std::function<void()> arrived;
};
