#pragma once

#include "device/FBInfo.h"
#include "device/FrameBuffer.h"

#include <QMutex>

#include <deque>

// The frames waiting between the receiver thread and the interface thread. It holds at most
// `capacity` frames and at most `byteBudget` bytes of them, but always the newest frame: when
// the interface falls behind, the oldest waiting frames are dropped, so a fast device cannot
// make the IDE's memory grow. Frames larger than half the budget wait one at a time.
class FrameQueue
{
public:
    struct Frame
    {
        FrameBuffer colors;
        FBInfo fbi;
        int screencapMode = 0;
        // The frame's header reached the IDE after this moment (steadyMicros()): the receiver
        // had read everything the device sent until then, and none of this frame.
        qint64 arrivedAfter = 0;
    };

    static constexpr qint64 kByteBudget = 64 << 20; // twenty 720 x 1280 frames at 32 bits

    explicit FrameQueue(int capacity = 3, qint64 byteBudget = kByteBudget);
    FrameQueue(const FrameQueue &) = delete;
    FrameQueue &operator=(const FrameQueue &) = delete;

    // Receiver side. Returns true when the queue was empty, i.e. the consumer must be woken.
    bool push(Frame &&frame);
    // Consumer side: the oldest waiting frame.
    bool take(Frame *frame);
    bool isEmpty() const;
    int size() const;
    int capacity() const { return limit; }
    // True when another frame as large as those waiting would push them out: the receiver
    // then leaves the next frame in the connection until the interface has taken one.
    bool isCrowded() const;
    // Lets go of every waiting frame.
    void clear();
    // Frames dropped since construction.
    quint64 dropped() const;

private:
    const int limit;
    const qint64 budget;
    mutable QMutex mutex;
    std::deque<Frame> frames;
    qint64 bytes = 0; // of the waiting frames
    quint64 droppedCount = 0;
};
