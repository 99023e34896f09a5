#include "runner/RunGate.h"

void RunGate::stop()
{
    QMutexLocker locker(&lock);
    stopped = true;
    changed.wakeAll();
}

bool RunGate::wait(const std::function<bool()> &ready, QDeadlineTimer deadline)
{
    QMutexLocker locker(&lock);
    for (;;) {
        if (ready())
            return true;
        if (stopped || deadline.hasExpired())
            return false;
        if (interrupted && interruptHandler && !handling) {
            interrupted = false;
            handling = true;
            locker.unlock();
            interruptHandler();
            locker.relock();
            handling = false;
            continue;
        }
        changed.wait(&lock, deadline);
    }
}

void RunGate::update(const std::function<void()> &change)
{
    QMutexLocker locker(&lock);
    change();
    changed.wakeAll();
}

bool RunGate::sleep(qint64 milliseconds)
{
    wait([] { return false; }, QDeadlineTimer(qMax<qint64>(0, milliseconds), Qt::PreciseTimer));
    return !isStopped();
}

void RunGate::setInterruptHandler(std::function<void()> handler)
{
    QMutexLocker locker(&lock);
    interruptHandler = std::move(handler);
}

void RunGate::interrupt()
{
    update([this] { interrupted = true; });
}
