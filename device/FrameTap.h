#pragma once

#include "device/FrameQueue.h"

#include <QMutex>

#include <functional>
#include <memory>

// Lets one observer see every frame of the screen stream as it arrives, on the receiver thread,
// before the frame goes on to the window: a script run reads the screen from the same stream
// the window shows. The observer copies what it needs; it must not hold on to the frame.
class FrameTap
{
public:
    using Observer = std::function<void(const FrameQueue::Frame &frame)>;

    // Any thread. A delivery already under way may still reach the observer replaced.
    void set(Observer observer);
    void clear() { set(nullptr); }
    bool isSet() const;
    // Receiver thread.
    void deliver(const FrameQueue::Frame &frame) const;

private:
    mutable QMutex mutex;
    std::shared_ptr<const Observer> observer;
};
