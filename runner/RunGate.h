#pragma once

#include <QDeadlineTimer>
#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <functional>

// Where a script run's thread waits (for the device's answer, a frame, the end of a sleep) and
// how it is stopped: every wait ends at once when the run is stopped, and the script's own code
// sees the stop at its next hook. A wait can also be interrupted to do something on the script's
// thread in the middle of it (a debugger pausing a script that sleeps), then goes on.
class RunGate
{
public:
    // Any thread.
    void stop();
    // Cheap enough for the hook that runs every few thousand instructions.
    bool isStopped() const { return stopped.load(std::memory_order_relaxed); }

    // Waits until ready() holds (asked under the gate's lock), the run is stopped or the
    // deadline passes; true when ready() held.
    bool wait(const std::function<bool()> &ready, QDeadlineTimer deadline = QDeadlineTimer::Forever);
    // Changes what waiters look at, under the gate's lock, and wakes them.
    void update(const std::function<void()> &change);
    // Waits out the time unless the run is stopped first; false when stopped.
    bool sleep(qint64 milliseconds);

    // Script thread, before the run: what a wait runs, outside the lock, when interrupted.
    // Waits inside the handler are not interrupted again.
    void setInterruptHandler(std::function<void()> handler);
    // Any thread: the wait going on, or the next one, runs the handler.
    void interrupt();

private:
    QMutex lock;
    QWaitCondition changed;
    std::atomic<bool> stopped{false};
    bool interrupted = false; // under the lock
    bool handling = false;    // script thread
    std::function<void()> interruptHandler;
};
