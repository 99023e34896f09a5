#pragma once

#include "device/FBInfo.h"
#include "device/FrameBuffer.h"

#include <QMutex>

#include <deque>

// The frames waiting between the receiver thread and the interface thread. It holds at most
// `capacity` frames: when the interface falls behind, the oldest waiting frame is dropped and
// its buffer let go, so a fast device cannot make the IDE's memory grow.
class FrameQueue
{
public:
    struct Frame
    {
        FrameBuffer colors;
        FBInfo fbi;
        int screencapMode = 0;
    };

    explicit FrameQueue(int capacity = 3);
    FrameQueue(const FrameQueue &) = delete;
    FrameQueue &operator=(const FrameQueue &) = delete;

    // Receiver side. Returns true when the queue was empty, i.e. the consumer must be woken.
    bool push(Frame &&frame);
    // Consumer side: the oldest waiting frame.
    bool take(Frame *frame);
    bool isEmpty() const;
    int size() const;
    int capacity() const { return limit; }
    // Lets go of every waiting frame.
    void clear();
    // Frames dropped since construction.
    quint64 dropped() const;

private:
    const int limit;
    mutable QMutex mutex;
    std::deque<Frame> frames;
    quint64 droppedCount = 0;
};
