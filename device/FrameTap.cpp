#include "device/FrameTap.h"

void FrameTap::set(Observer newObserver)
{
    auto held = newObserver ? std::make_shared<const Observer>(std::move(newObserver)) : nullptr;
    QMutexLocker lock(&mutex);
    observer.swap(held);
}

void FrameTap::deliver(const FrameQueue::Frame &frame) const
{
    std::shared_ptr<const Observer> current;
    {
        QMutexLocker lock(&mutex);
        current = observer;
    }
    // Outside the lock: the observer copies pixels, and set() must not wait for that.
    if (current)
        (*current)(frame);
}

bool FrameTap::isSet() const
{
    QMutexLocker lock(&mutex);
    return observer != nullptr;
}
