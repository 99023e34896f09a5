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
