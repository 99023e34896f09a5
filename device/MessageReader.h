#pragma once

#include "device/FrameBuffer.h"
#include "device/MessageHeader.h"

#include <QByteArray>
#include <QString>

#include <functional>

class FramePool;
class QIODevice;

// Incremental reader of the messages of one device connection. It is fed bytes (or reads what a
// device has available) and yields whole messages; it never waits for bytes. Every length is
// checked against a hard cap before anything is allocated.
//
// Layouts by channel:
//   Control (device to IDE): command 20: 44-byte import record; 21: int32 n, then n bytes of
//     log text; 4: int32 port; any other: `length` bytes, skipped. `extraLength` is not used.
//   Frame (device to IDE): `length` bytes of frame record (the first 68 are kept; a longer
//     record's rest is skipped, a shorter one is zero-filled and its frame discarded), then
//     `dataSize` (record offset 8) pixel bytes; kept for command 6, skipped otherwise. A frame
//     wider or higher (offsets 12, 16) than the frame side cap is refused.
//   Request (IDE to device, read by the simulated device): `length` bytes of fixed payload,
//     then `extraLength` bytes of data.
class MessageReader
{
public:
    enum class Channel { Control, Frame, Request };
    enum class Status { NeedMore, Message, Error };

    struct Limits
    {
        qint64 payload = 1 << 20;   // fixed payloads, frame records, skipped messages
        qint64 text = 16 << 20;     // a log text
        qint64 data = 256 << 20;    // frame pixels, an imported file
        // The largest screen a phone or tablet has is under 4096 pixels a side; twice that
        // leaves room for any to come. With at most 32 bits a pixel, 8192 x 8192 fills the
        // data cap.
        qint64 frameSide = 8192;
    };

    static constexpr int kFrameRecordSize = 68; // FBInfo and screencapMode

    explicit MessageReader(Channel channel);
    MessageReader(Channel channel, Limits limits);
    ~MessageReader();
    MessageReader(const MessageReader &) = delete;
    MessageReader &operator=(const MessageReader &) = delete;

    // Takes bytes up to the end of the next message; *consumed tells how many were taken.
    Status feed(const char *bytes, qint64 size, qint64 *consumed);
    // Reads up to size bytes that have arrived past what a device has buffered, straight into
    // buffer; 0 when there are none now.
    using Arrived = std::function<qint64(char *buffer, qint64 size)>;
    // Reads what the device has available, up to the end of the next message. Bytes that the
    // device has not buffered come from arrived, when given: read straight into their place
    // (skipped bytes always come through the device).
    Status readFrom(QIODevice *device, const Arrived &arrived = Arrived());
    // Message data goes into buffers taken from pool (which must outlive the reader) instead of
    // newly allocated ones.
    void takeBuffersFrom(FramePool *pool) { buffers = pool; }
    // Forgets a partial message and any error, e.g. for a new connection.
    void reset();
    // True when no byte of the next message has been taken yet.
    bool isBetweenMessages() const { return phase == Phase::Done || (phase == Phase::Header && phaseGot == 0); }

    // The message last yielded, valid until the next feed(), readFrom() or reset().
    const MessageHeader &header() const { return head; }
    // Control: the import record or the int32 of a log or port message. Frame: the 68-byte
    // record. Request: the `length` bytes.
    const QByteArray &payload() const { return fixed; }
    // Log text, frame pixels or imported file; null when the message has none or was skipped.
    const uchar *data() const { return variable.data(); }
    qint64 dataSize() const { return variable.size(); }
    // Hands the data over.
    FrameBuffer takeData() { return std::move(variable); }
    // Control 21: the text up to its first zero byte, as UTF-8.
    QString logText() const;

    QString errorString() const { return error; }

private:
    enum class Phase { Header, Payload, PayloadSkip, Data, DataSkip, Done, Failed };

    char *destination();
    Status finishPhase();
    Status enter(Phase phase, qint64 size);
    Status afterHeader();
    Status afterPayload();
    Status startData(qint64 size, qint64 cap, bool keep, const QString &what);
    Status fail(const QString &reason);
    void beginMessage();

    const Channel channel;
    const Limits limits;
    FramePool *buffers = nullptr;

    Phase phase = Phase::Header;
    qint64 phaseSize = MessageHeader::kSize;
    qint64 phaseGot = 0;
    qint64 skipAfterPayload = 0;

    char headerBytes[MessageHeader::kSize] = {};
    MessageHeader head;
    QByteArray fixed;
    FrameBuffer variable;
    QString error;
};
