#pragma once

#include <QtGlobal>

#include <memory>

// The pixel bytes of one frame, with exactly one holder at a time: the receiver fills it, the
// frame queue holds it while it waits, the window keeps it while it is shown. Moving hands the
// bytes on; they go when the holder lets go of them.
class FrameBuffer
{
public:
    FrameBuffer() = default;
    // size bytes (at least one is allocated, so that an empty buffer still has an address);
    // null when the memory cannot be had.
    static FrameBuffer allocate(qint64 size);

    FrameBuffer(FrameBuffer &&other) noexcept;
    FrameBuffer &operator=(FrameBuffer &&other) noexcept;
    FrameBuffer(const FrameBuffer &) = delete;
    FrameBuffer &operator=(const FrameBuffer &) = delete;
    ~FrameBuffer() = default;

    uchar *data() { return bytes.get(); }
    const uchar *data() const { return bytes.get(); }
    qint64 size() const { return length; }
    bool isNull() const { return !bytes; }
    // Lets go of the bytes.
    void reset();

private:
    std::unique_ptr<uchar[]> bytes;
    qint64 length = 0;
};
