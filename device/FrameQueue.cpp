#include "device/FrameQueue.h"

FrameQueue::FrameQueue(int capacity, qint64 byteBudget)
    : limit(qMax(1, capacity)), budget(byteBudget)
{
}

bool FrameQueue::push(Frame &&frame)
{
    std::deque<Frame> dropped; // let go of outside the lock
    QMutexLocker lock(&mutex);
    const bool wasEmpty = frames.empty();
    while (!frames.empty() && (int(frames.size()) >= limit || bytes + frame.colors.size() > budget)) {
        bytes -= frames.front().colors.size();
        dropped.push_back(std::move(frames.front()));
        frames.pop_front();
        ++droppedCount;
    }
    bytes += frame.colors.size();
    frames.push_back(std::move(frame));
    lock.unlock();
    return wasEmpty;
}

bool FrameQueue::take(Frame *frame)
{
    QMutexLocker lock(&mutex);
    if (frames.empty())
        return false;
    *frame = std::move(frames.front());
    frames.pop_front();
    bytes -= frame->colors.size();
    return true;
}

bool FrameQueue::isCrowded() const
{
    QMutexLocker lock(&mutex);
    return bytes * 2 > budget;
}

bool FrameQueue::isEmpty() const
{
    QMutexLocker lock(&mutex);
    return frames.empty();
}

int FrameQueue::size() const
{
    QMutexLocker lock(&mutex);
    return int(frames.size());
}

void FrameQueue::clear()
{
    std::deque<Frame> waiting; // let go of outside the lock
    QMutexLocker lock(&mutex);
    waiting.swap(frames);
    bytes = 0;
}

quint64 FrameQueue::dropped() const
{
    QMutexLocker lock(&mutex);
    return droppedCount;
}
