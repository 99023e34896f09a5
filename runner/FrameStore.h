#pragma once

#include "device/FBInfo.h"
#include "device/FrameBuffer.h"
#include "device/FramePool.h"
#include "device/FrameQueue.h"

#include <QDeadlineTimer>

#include <memory>

class RunGate;

// The newest frame of the screen stream, for a script's reads: copied as it arrives, on the
// receiver thread, so the remote screen window keeps its own. The script's thread takes it
// without copying and keeps it for as long as it reads it.
class FrameStore
{
public:
    struct Frame
    {
        FrameBuffer pixels;
        FBInfo info;
        qint64 arrivedAfter = 0; // as FrameQueue::Frame
    };

    // gate must outlive the store.
    explicit FrameStore(RunGate &gate);

    // Receiver thread.
    void put(const FrameQueue::Frame &frame);
    // The newest frame whose header arrived at or after the moment `after` (steadyMicros()),
    // waiting for one until the deadline; null when none came or the run was stopped.
    std::shared_ptr<const Frame> newest(qint64 after, QDeadlineTimer deadline);

private:
    RunGate &gate;
    FramePool pool;
    std::shared_ptr<const Frame> latest; // under the gate's lock
};
