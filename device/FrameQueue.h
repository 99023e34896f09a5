#pragma once

#include "device/FBInfo.h"

#include <QMutex>

#include <deque>

// The frames waiting between the receiver thread and the interface thread. It holds at most
// `capacity` frames: when the interface falls behind, the oldest waiting frame is dropped and
// its buffer freed, so a fast device cannot make the IDE's memory grow. Buffers are allocated
// with new uchar[] and owned by the queue while they wait.
class FrameQueue
{
public:
    struct Frame
    {
        uchar *colors = nullptr;
        FBInfo fbi;
        int screencapMode = 0;
    };

    explicit FrameQueue(int capacity = 3);
    ~FrameQueue();
    FrameQueue(const FrameQueue &) = delete;
    FrameQueue &operator=(const FrameQueue &) = delete;

    // Receiver side. Returns true when the queue was empty, i.e. the consumer must be woken.
    bool push(const Frame &frame);
    // Consumer side: the oldest waiting frame, whose buffer the caller then owns.
    bool take(Frame *frame);
    bool isEmpty() const;
    int size() const;
    int capacity() const { return limit; }
    // Frees every waiting frame.
    void clear();
    // Frames dropped since construction.
    quint64 dropped() const;

private:
    const int limit;
    mutable QMutex mutex;
    std::deque<Frame> frames;
    quint64 droppedCount = 0;
};
