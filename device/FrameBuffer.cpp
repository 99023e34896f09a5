#include "device/FrameBuffer.h"

#include <new>
#include <utility>

FrameBuffer FrameBuffer::allocate(qint64 size)
{
    FrameBuffer buffer;
    if (size < 0)
        return buffer;
    buffer.bytes.reset(new (std::nothrow) uchar[static_cast<size_t>(qMax<qint64>(size, 1))]);
    if (buffer.bytes)
        buffer.length = size;
    return buffer;
}

FrameBuffer::FrameBuffer(FrameBuffer &&other) noexcept
    : bytes(std::move(other.bytes)), length(std::exchange(other.length, 0))
{
}

FrameBuffer &FrameBuffer::operator=(FrameBuffer &&other) noexcept
{
    bytes = std::move(other.bytes);
    length = std::exchange(other.length, 0);
    return *this;
}

void FrameBuffer::reset()
{
    bytes.reset();
    length = 0;
}
