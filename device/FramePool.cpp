#include "device/FramePool.h"

#include <QMutex>

#include <iterator>
#include <new>
#include <vector>

class FramePool::Shelf : public FrameBuffer::Home
{
public:
    struct Kept
    {
        std::unique_ptr<uchar[]> bytes;
        qint64 capacity;
    };

    void giveBack(std::unique_ptr<uchar[]> bytes, qint64 capacity) override
    {
        QMutexLocker lock(&mutex);
        if (int(kept.size()) < kKeep && keptBytes + capacity <= kKeepBytes) {
            keptBytes += capacity;
            kept.push_back(Kept{std::move(bytes), capacity});
        }
        // else freed as bytes goes
    }

    mutable QMutex mutex;
    std::vector<Kept> kept;
    qint64 keptBytes = 0;
};

FramePool::FramePool()
    : shelf(std::make_shared<Shelf>())
{
}

FramePool::~FramePool() = default;

FrameBuffer FramePool::take(qint64 size)
{
    if (size < 0)
        return FrameBuffer();
    const qint64 needed = qMax<qint64>(size, 1);
    std::vector<Shelf::Kept> stale; // freed outside the lock
    {
        QMutexLocker lock(&shelf->mutex);
        // The buffer given back last is taken first: its bytes are the likeliest still to be in
        // the processor's cache.
        for (auto it = shelf->kept.rbegin(); it != shelf->kept.rend(); ++it) {
            if (it->capacity >= needed && it->capacity <= 2 * needed) {
                Shelf::Kept found = std::move(*it);
                shelf->kept.erase(std::next(it).base());
                shelf->keptBytes -= found.capacity;
                return FrameBuffer(std::move(found.bytes), size, found.capacity, shelf);
            }
        }
        // None fits: the frames have changed size, and buffers of the old size will not serve.
        stale.swap(shelf->kept);
        shelf->keptBytes = 0;
    }
    std::unique_ptr<uchar[]> bytes(new (std::nothrow) uchar[static_cast<size_t>(needed)]);
    if (!bytes)
        return FrameBuffer();
    return FrameBuffer(std::move(bytes), size, needed, shelf);
}

int FramePool::kept() const
{
    QMutexLocker lock(&shelf->mutex);
    return int(shelf->kept.size());
}
