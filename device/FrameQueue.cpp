#include "device/FrameQueue.h"

FrameQueue::FrameQueue(int capacity)
    : limit(qMax(1, capacity))
{
}

bool FrameQueue::push(Frame &&frame)
{
    Frame dropped; // let go of outside the lock
    QMutexLocker lock(&mutex);
    const bool wasEmpty = frames.empty();
    if (int(frames.size()) >= limit) {
        dropped = std::move(frames.front());
        frames.pop_front();
        ++droppedCount;
    }
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
    return true;
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
}

quint64 FrameQueue::dropped() const
{
    QMutexLocker lock(&mutex);
    return droppedCount;
}
