#pragma once

#include "common/Result.h"
#include "runner/FrameStore.h"

#include <QVector>

#include <functional>
#include <memory>

class PCClientControllor;
class RunGate;

// The device as a script run sees it: touches and keys go out on the control connection, which
// lives on the interface thread, and the screen is read from the frames of the one stream the
// IDE has (started when none runs). Calls block the script's thread, never the interface's, and
// end at once when the run is stopped.
//
// A read of the screen that follows a touch or key waits for a frame whose header arrived after
// that input was written, so a script never reads the screen from before its own tap.
class DeviceLink : public std::enable_shared_from_this<DeviceLink>
{
public:
    static constexpr int kFrameWaitMs = 3000;

    struct Input
    {
        enum Kind { Press, Release, KeyPress, KeyRelease };
        Kind kind;
        int x = 0; // or the key code
        int y = 0;
    };

    DeviceLink(PCClientControllor &controller, std::shared_ptr<RunGate> gate);

    // Interface thread: a run begins and ends using the device.
    void attach();
    void detach();
    // Told, on the script thread, of the frame each read of the screen gets, how many sends
    // of input were written before it and how long after the last (-1 before any), in
    // microseconds. Set before the run.
    using ReadObserver = std::function<void(const FBInfo &frame, int inputs, qint64 sinceInput)>;
    void setReadObserver(ReadObserver observer) { readObserver = std::move(observer); }

    // Script thread. Writes the inputs in order and waits until they are written.
    Status send(const QVector<Input> &inputs);
    // A frame no older than the last input written, waited for up to kFrameWaitMs.
    Result<std::shared_ptr<const FrameStore::Frame>> screen();
    // The control connection was found closed: the run cannot go on.
    bool isLost() const;

private:
    // Interface thread.
    void write(const QVector<Input> &inputs, quint64 ticket);
    void startStream();
    // Script thread: startStream() on the interface thread.
    void askForStream();

    PCClientControllor &controller;
    const std::shared_ptr<RunGate> gate;
    FrameStore store;
    ReadObserver readObserver;
    quint64 issued = 0;  // script thread
    // Under the gate's lock:
    quint64 answered = 0;
    bool written = false;
    qint64 inputAt = 0;  // when the last input was written
    bool lost = false;
};
