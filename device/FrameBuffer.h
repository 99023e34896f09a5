#pragma once

#include <QtGlobal>

#include <memory>

// The pixel bytes of one frame, with exactly one holder at a time: the receiver fills it, the
// frame queue holds it while it waits, the window keeps it while it is shown. Moving hands the
// bytes on; when the holder lets go of them they go back to the pool they came from, if it
// still exists and wants them, or are freed.
class FrameBuffer
{
public:
    // Where let-go bytes return to (a FramePool's shelf); called on any thread.
    class Home
    {
    public:
        virtual ~Home() = default;
        virtual void giveBack(std::unique_ptr<uchar[]> bytes, qint64 capacity) = 0;
    };

    FrameBuffer() = default;
    // size bytes (at least one is allocated, so that an empty buffer still has an address);
    // null when the memory cannot be had.
    static FrameBuffer allocate(qint64 size);
    // size bytes of bytes, which hold capacity, returning to home when let go of.
    FrameBuffer(std::unique_ptr<uchar[]> bytes, qint64 size, qint64 capacity, std::weak_ptr<Home> home);

    FrameBuffer(FrameBuffer &&other) noexcept;
    FrameBuffer &operator=(FrameBuffer &&other) noexcept;
    FrameBuffer(const FrameBuffer &) = delete;
    FrameBuffer &operator=(const FrameBuffer &) = delete;
    ~FrameBuffer() { reset(); }

    uchar *data() { return bytes.get(); }
    const uchar *data() const { return bytes.get(); }
    qint64 size() const { return length; }
    bool isNull() const { return !bytes; }
    // Lets go of the bytes.
    void reset();

private:
    std::unique_ptr<uchar[]> bytes;
    qint64 length = 0;
    qint64 capacity = 0;
    std::weak_ptr<Home> home;
};
