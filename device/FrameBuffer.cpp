#include "device/FrameBuffer.h"

#include <new>
#include <utility>

FrameBuffer FrameBuffer::allocate(qint64 size)
{
    if (size < 0)
        return FrameBuffer();
    const qint64 capacity = qMax<qint64>(size, 1);
    std::unique_ptr<uchar[]> bytes(new (std::nothrow) uchar[static_cast<size_t>(capacity)]);
    if (!bytes)
        return FrameBuffer();
    return FrameBuffer(std::move(bytes), size, capacity, std::weak_ptr<Home>());
}

FrameBuffer::FrameBuffer(std::unique_ptr<uchar[]> bytes, qint64 size, qint64 capacity, std::weak_ptr<Home> home)
    : bytes(std::move(bytes)), length(size), capacity(capacity), home(std::move(home))
{
}

FrameBuffer::FrameBuffer(FrameBuffer &&other) noexcept
    : bytes(std::move(other.bytes))
    , length(std::exchange(other.length, 0))
    , capacity(std::exchange(other.capacity, 0))
    , home(std::move(other.home))
{
}

FrameBuffer &FrameBuffer::operator=(FrameBuffer &&other) noexcept
{
    if (this != &other) {
        reset();
        bytes = std::move(other.bytes);
        length = std::exchange(other.length, 0);
        capacity = std::exchange(other.capacity, 0);
        home = std::move(other.home);
    }
    return *this;
}

void FrameBuffer::reset()
{
    if (bytes) {
        if (const std::shared_ptr<Home> pool = home.lock())
            pool->giveBack(std::move(bytes), capacity);
    }
    bytes.reset();
    length = 0;
    capacity = 0;
    home.reset();
}
