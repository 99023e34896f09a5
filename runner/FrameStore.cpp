#include "runner/FrameStore.h"

#include "runner/RunGate.h"

#include <cstring>

FrameStore::FrameStore(RunGate &gate)
    : gate(gate)
{
}

void FrameStore::put(const FrameQueue::Frame &frame)
{
    auto copy = std::make_shared<Frame>();
    copy->pixels = pool.take(frame.colors.size());
    if (copy->pixels.isNull())
        return; // no memory for it now: the next frame will do
    std::memcpy(copy->pixels.data(), frame.colors.data(), size_t(frame.colors.size()));
    copy->info = frame.fbi;
    copy->arrivedAfter = frame.arrivedAfter;
    std::shared_ptr<const Frame> replaced; // let go of outside the lock
    gate.update([&] {
        replaced = std::move(latest);
        latest = std::move(copy);
    });
}

std::shared_ptr<const FrameStore::Frame> FrameStore::newest(qint64 after, QDeadlineTimer deadline)
{
    std::shared_ptr<const Frame> found;
    gate.wait([&] {
        if (latest && latest->arrivedAfter >= after)
            found = latest;
        return found != nullptr;
    },
              deadline);
    return found;
}
