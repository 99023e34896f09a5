#include "runner/DeviceLink.h"

#include "common/SteadyClock.h"
#include "device/PCClientControllor.h"
#include "runner/RunGate.h"

namespace {
QString notConnected()
{
    return QStringLiteral("没有与设备的连接");
}
// A stream that sends nothing for this long is asked for again: the remote screen window may
// have ended it, or the device may have dropped it.
constexpr int kSilentStreamMs = 1000;
} // namespace

DeviceLink::DeviceLink(PCClientControllor &controller, std::shared_ptr<RunGate> gate)
    : controller(controller), gate(std::move(gate)), store(*this->gate)
{
}

void DeviceLink::attach()
{
    std::weak_ptr<DeviceLink> link = weak_from_this();
    controller.frameTap().set([link](const FrameQueue::Frame &frame) {
        if (const std::shared_ptr<DeviceLink> alive = link.lock())
            alive->store.put(frame);
    });
    startStream();
}

void DeviceLink::detach()
{
    controller.frameTap().clear();
}

Status DeviceLink::send(const QVector<Input> &inputs)
{
    const quint64 ticket = ++issued;
    QMetaObject::invokeMethod(
        &controller, [self = shared_from_this(), inputs, ticket] { self->write(inputs, ticket); },
        Qt::QueuedConnection);
    bool ok = false;
    if (!gate->wait([&] {
            ok = written;
            return answered >= ticket;
        }))
        return fail(QStringLiteral("已停止"));
    if (!ok)
        return fail(notConnected());
    return Status();
}

void DeviceLink::write(const QVector<Input> &inputs, quint64 ticket)
{
    bool ok = controller.isConnected();
    for (const Input &input : inputs) {
        if (!ok)
            break;
        switch (input.kind) {
        case Input::Press:
            ok = controller.sendTouchPress(input.x, input.y);
            break;
        case Input::Release:
            ok = controller.sendTouchRelease();
            break;
        case Input::KeyPress:
            ok = controller.sendKeyPress(input.x);
            break;
        case Input::KeyRelease:
            ok = controller.sendKeyRelease(input.x);
            break;
        }
    }
    // Out of the socket's buffer now, so that the moment taken below follows the writing.
    if (ok)
        controller.controlSocket().flush();
    const qint64 at = steadyMicros();
    gate->update([&] {
        answered = ticket;
        written = ok;
        lost = lost || !ok;
        if (ok)
            inputAt = at;
    });
}

Result<std::shared_ptr<const FrameStore::Frame>> DeviceLink::screen()
{
    qint64 after = 0;
    bool gone = false;
    gate->wait([&] {
        after = inputAt;
        gone = lost;
        return true;
    });
    if (gone)
        return fail(notConnected());
    QDeadlineTimer deadline(kFrameWaitMs, Qt::PreciseTimer);
    for (;;) {
        const qint64 slice = qMin<qint64>(deadline.remainingTime(), kSilentStreamMs);
        if (std::shared_ptr<const FrameStore::Frame> frame = store.newest(after, QDeadlineTimer(slice))) {
            if (readObserver)
                readObserver(frame->info, int(issued), after > 0 ? steadyMicros() - after : -1);
            return frame;
        }
        if (gate->isStopped())
            return fail(QStringLiteral("已停止"));
        if (isLost())
            return fail(notConnected());
        if (deadline.hasExpired())
            return fail(QStringLiteral("%1秒内没有收到新的屏幕画面").arg(kFrameWaitMs / 1000));
        askForStream();
    }
}

bool DeviceLink::isLost() const
{
    bool gone = false;
    gate->wait([&] {
        gone = lost;
        return true;
    });
    return gone;
}

void DeviceLink::askForStream()
{
    QMetaObject::invokeMethod(
        &controller,
        [self = shared_from_this()] {
            if (self->controller.isConnected())
                self->startStream();
            else
                self->gate->update([&self] { self->lost = true; });
        },
        Qt::QueuedConnection);
}

void DeviceLink::startStream()
{
    if (controller.isConnected() && !controller.isStreaming())
        controller.requestRemoteScreen();
}
