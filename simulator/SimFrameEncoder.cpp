#include "simulator/SimFrameEncoder.h"

#include "device/MessageHeader.h"
#include "common/SteadyClock.h"
#include "device/MessageReader.h"

#include <QtEndian>

#include <cstring>

namespace {
bool exchanged(int channelOrder)
{
    return channelOrder == 0 || channelOrder == 24;
}
} // namespace

QByteArray SimFrameEncoder::pixels(const QImage &image, int depth, int channelOrder)
{
    // Qt's own formats have the device's byte order, and their rows are padded to 4 bytes too.
    const bool swap = exchanged(channelOrder);
    QImage::Format format = swap ? QImage::Format_RGBA8888 : QImage::Format_RGB32;
    if (depth == 16)
        format = QImage::Format_RGB16;
    else if (depth == 24)
        format = swap ? QImage::Format_BGR888 : QImage::Format_RGB888;
    const QImage converted = image.convertToFormat(QImage::Format_RGB32).convertToFormat(format);
    return QByteArray(reinterpret_cast<const char *>(converted.constBits()), int(converted.sizeInBytes()));
}

FBInfo SimFrameEncoder::describe(const QImage &image, int depth, int channelOrder, int dataSize)
{
    FBInfo info;
    info.bitsPerPixel = depth;
    info.dataSize = dataSize;
    info.width = image.width();
    info.height = image.height();
    info.channelOrder = channelOrder;
    return info;
}

FrameBuffer SimFrameEncoder::frame(const QImage &image, int depth, FBInfo *info, int channelOrder)
{
    const QByteArray bytes = pixels(image, depth, channelOrder);
    *info = describe(image, depth, channelOrder, bytes.size());
    FrameBuffer buffer = FrameBuffer::allocate(bytes.size());
    std::memcpy(buffer.data(), bytes.constData(), size_t(bytes.size()));
    return buffer;
}

QByteArray SimFrameEncoder::messageHead(const FBInfo &info, int screencapMode)
{
    QByteArray bytes = MessageHeader(MessageHeader::Frame, MessageReader::kFrameRecordSize).toBytes();
    char record[MessageReader::kFrameRecordSize];
    info.toBytes(record);
    qToLittleEndian<qint32>(screencapMode, record + FBInfo::kSize);
    bytes.append(record, sizeof record);
    return bytes;
}

void SimFrameEncoder::stamp(FBInfo *info)
{
    const quint64 now = quint64(nowMicros());
    info->reserved9 = qint32(quint32(now & 0xFFFFFFFFu));
    info->reserved10 = qint32(quint32(now >> 32));
}

qint64 SimFrameEncoder::stampOf(const FBInfo &info)
{
    return qint64((quint64(quint32(info.reserved10)) << 32) | quint32(info.reserved9));
}

qint64 SimFrameEncoder::nowMicros()
{
    return steadyMicros();
}
