#include "device/FrameQueue.h"

FrameQueue::FrameQueue(int capacity)
    : limit(qMax(1, capacity))
{
}

FrameQueue::~FrameQueue()
{
    clear();
}

bool FrameQueue::push(const Frame &frame)
{
    uchar *droppedColors = nullptr;
    bool wasEmpty;
    {
        QMutexLocker lock(&mutex);
        wasEmpty = frames.empty();
        if (int(frames.size()) >= limit) {
            droppedColors = frames.front().colors;
            frames.pop_front();
            ++droppedCount;
        }
        frames.push_back(frame);
    }
    delete[] droppedColors;
    return wasEmpty;
}

bool FrameQueue::take(Frame *frame)
{
    QMutexLocker lock(&mutex);
    if (frames.empty())
        return false;
    *frame = frames.front();
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
    std::deque<Frame> waiting;
    {
        QMutexLocker lock(&mutex);
        waiting.swap(frames);
    }
    for (const Frame &frame : waiting)
        delete[] frame.colors;
}

quint64 FrameQueue::dropped() const
{
    QMutexLocker lock(&mutex);
    return droppedCount;
}
