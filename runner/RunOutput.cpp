#include "runner/RunOutput.h"

#include <limits>

RunOutput::RunOutput(std::function<void()> arrived)
    : arrived(std::move(arrived))
{
}

void RunOutput::push(const QString &line)
{
    bool wasEmpty = false;
    {
        QMutexLocker locker(&lock);
        wasEmpty = queue.isEmpty();
        queue.push(line);
    }
    if (wasEmpty && arrived)
        arrived();
}

QString RunOutput::take()
{
    QMutexLocker locker(&lock);
    return queue.take(std::numeric_limits<int>::max()).text;
}
