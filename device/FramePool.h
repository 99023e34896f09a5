#pragma once

#include "device/FrameBuffer.h"

#include <memory>

// Frame buffers used again instead of allocated per frame: the receiver takes one, and it comes
// back when its last holder (the window, once it shows a newer picture) lets go of it. Only a
// few buffers of a modest size are kept, so large frames are always freed at once. Buffers
// let go of after the pool has gone are freed.
class FramePool
{
public:
    static constexpr int kKeep = 4;                // enough for a frame read, one waiting, one shown
    static constexpr qint64 kKeepBytes = 32 << 20; // four 720 x 1280 frames at 32 bits and more

    FramePool();
    ~FramePool();
    FramePool(const FramePool &) = delete;
    FramePool &operator=(const FramePool &) = delete;

    // A buffer of size bytes: a kept one that holds them without wasting more than as much
    // again, else a new one; null when the memory cannot be had. Any thread.
    FrameBuffer take(qint64 size);
    // Buffers kept now.
    int kept() const;

private:
    class Shelf;
    std::shared_ptr<Shelf> shelf;
};
