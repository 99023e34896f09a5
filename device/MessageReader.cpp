#include "device/MessageReader.h"

#include "device/FBInfo.h"
#include "device/FramePool.h"
#include "device/ScriptImportRecord.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

MessageReader::MessageReader(Channel channel)
    : MessageReader(channel, Limits())
{
}

MessageReader::MessageReader(Channel channel, Limits limits)
    : channel(channel), limits(limits)
{
}

MessageReader::~MessageReader() = default;

void MessageReader::reset()
{
    phase = Phase::Done;
    error.clear();
    beginMessage();
}

void MessageReader::beginMessage()
{
    if (phase != Phase::Done)
        return;
    phase = Phase::Header;
    phaseSize = MessageHeader::kSize;
    phaseGot = 0;
    skipAfterPayload = 0;
    head = MessageHeader();
    fixed.clear();
    variable.reset();
}

MessageReader::Status MessageReader::feed(const char *bytes, qint64 size, qint64 *consumed)
{
    beginMessage();
    qint64 used = 0;
    Status status = Status::NeedMore;
    while (phase != Phase::Failed) {
        const qint64 n = qMin(phaseSize - phaseGot, size - used);
        if (n > 0) {
            if (char *dest = destination())
                std::memcpy(dest, bytes + used, static_cast<size_t>(n));
            phaseGot += n;
            used += n;
        }
        if (phaseGot < phaseSize)
            break;
        status = finishPhase();
        if (status != Status::NeedMore)
            break;
    }
    *consumed = used;
    return phase == Phase::Failed ? Status::Error : status;
}

MessageReader::Status MessageReader::readFrom(QIODevice *device, const Arrived &arrived)
{
    beginMessage();
    while (phase != Phase::Failed) {
        const qint64 want = phaseSize - phaseGot;
        if (want > 0) {
            char *dest = destination();
            // Past the device's buffer only when it is empty, so that the bytes stay in order.
            qint64 n = arrived && dest && device->bytesAvailable() == 0 ? arrived(dest, want) : 0;
            if (n == 0)
                n = dest ? device->read(dest, want) : device->skip(want);
            if (n < 0)
                return fail(QStringLiteral("读取失败：%1").arg(device->errorString()));
            if (n == 0)
                return Status::NeedMore;
            phaseGot += n;
            if (phaseGot < phaseSize)
                continue;
        }
        const Status status = finishPhase();
        if (status != Status::NeedMore)
            return status;
    }
    return Status::Error;
}

QString MessageReader::logText() const
{
    const char *text = reinterpret_cast<const char *>(variable.data());
    if (!text)
        return QString();
    const void *zero = std::memchr(text, 0, static_cast<size_t>(variable.size()));
    const qint64 length = zero ? static_cast<const char *>(zero) - text : variable.size();
    return QString::fromUtf8(text, static_cast<int>(length));
}

char *MessageReader::destination()
{
    switch (phase) {
    case Phase::Header:
        return headerBytes + phaseGot;
    case Phase::Payload:
        return fixed.data() + phaseGot;
    case Phase::Data:
        return reinterpret_cast<char *>(variable.data()) + phaseGot;
    default:
        return nullptr; // skipped bytes
    }
}

// Moves on after the current phase has all its bytes. NeedMore means "go on reading".
MessageReader::Status MessageReader::finishPhase()
{
    switch (phase) {
    case Phase::Header:
        return afterHeader();
    case Phase::Payload:
        if (skipAfterPayload > 0)
            return enter(Phase::PayloadSkip, skipAfterPayload);
        return afterPayload();
    case Phase::PayloadSkip:
        return afterPayload();
    case Phase::Data:
    case Phase::DataSkip:
        phase = Phase::Done;
        return Status::Message;
    case Phase::Done:
    case Phase::Failed:
        break;
    }
    return Status::Error;
}

MessageReader::Status MessageReader::enter(Phase next, qint64 size)
{
    phase = next;
    phaseSize = size;
    phaseGot = 0;
    return Status::NeedMore;
}

MessageReader::Status MessageReader::afterHeader()
{
    head = MessageHeader::fromBytes(headerBytes);
    if (head.magic != MessageHeader::kMagic)
        return fail(QStringLiteral("消息头标识错误（0x%1）").arg(static_cast<quint32>(head.magic), 8, 16, QLatin1Char('0')));

    qint64 recordSize = 0; // bytes of `fixed`; a short frame record stays zero-filled
    qint64 keep = 0;       // bytes read into `fixed`
    qint64 skip = 0;       // bytes skipped after them
    if (channel == Channel::Control && head.command == MessageHeader::ImportScript) {
        recordSize = keep = ScriptImportRecord::kSize;
    } else if (channel == Channel::Control
               && (head.command == MessageHeader::Log || head.command == MessageHeader::RemoteScreen)) {
        recordSize = keep = 4;
    } else {
        if (head.length < 0 || head.length > limits.payload)
            return fail(QStringLiteral("消息长度无效（%1 字节）").arg(head.length));
        if (channel == Channel::Frame)
            recordSize = kFrameRecordSize;
        else if (channel == Channel::Request)
            recordSize = head.length;
        keep = qMin<qint64>(head.length, recordSize);
        skip = head.length - keep;
    }
    fixed = QByteArray(static_cast<int>(recordSize), '\0');
    skipAfterPayload = skip;
    return enter(Phase::Payload, keep);
}

MessageReader::Status MessageReader::afterPayload()
{
    switch (channel) {
    case Channel::Control:
        if (head.command == MessageHeader::Log)
            return startData(qFromLittleEndian<qint32>(fixed.constData()), limits.text, true, QStringLiteral("日志"));
        phase = Phase::Done;
        return Status::Message;
    case Channel::Frame: {
        const bool wholeFrame = head.command == MessageHeader::Frame && head.length >= kFrameRecordSize;
        const FBInfo info = FBInfo::fromBytes(fixed.constData());
        if (wholeFrame && (info.width > limits.frameSide || info.height > limits.frameSide))
            return fail(QStringLiteral("帧尺寸无效（%1x%2）").arg(info.width).arg(info.height));
        return startData(info.dataSize, limits.data, wholeFrame, QStringLiteral("帧数据"));
    }
    case Channel::Request:
        return startData(head.extraLength, limits.data, true, QStringLiteral("数据"));
    }
    return Status::Error;
}

MessageReader::Status MessageReader::startData(qint64 size, qint64 cap, bool keep, const QString &what)
{
    if (size < 0 || size > cap)
        return fail(QStringLiteral("%1长度无效（%2 字节）").arg(what).arg(size));
    if (!keep)
        return enter(Phase::DataSkip, size);
    variable = buffers ? buffers->take(size) : FrameBuffer::allocate(size);
    if (variable.isNull())
        return fail(QStringLiteral("内存不足，无法接收 %1 字节").arg(size));
    return enter(Phase::Data, size);
}

MessageReader::Status MessageReader::fail(const QString &reason)
{
    phase = Phase::Failed;
    error = reason;
    variable.reset();
    return Status::Error;
}
