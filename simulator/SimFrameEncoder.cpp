#include "simulator/SimFrameEncoder.h"

#include "device/MessageHeader.h"
#include "device/MessageReader.h"

#include <QtEndian>

#include <chrono>

namespace {
bool exchanged(int channelOrder)
{
    return channelOrder == 0 || channelOrder == 24;
}
} // namespace

QByteArray SimFrameEncoder::pixels(const QImage &image, int depth, int channelOrder)
{
    const QImage source = image.convertToFormat(QImage::Format_ARGB32);
    const int bytesPerPixel = depth / 8;
    const int stride = (source.width() * bytesPerPixel + 3) / 4 * 4;
    QByteArray bytes(stride * source.height(), '\0');
    const bool swap = exchanged(channelOrder);
    for (int y = 0; y < source.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        auto *out = reinterpret_cast<uchar *>(bytes.data()) + qint64(y) * stride;
        for (int x = 0; x < source.width(); ++x) {
            const QRgb rgb = line[x];
            const uchar r = uchar(qRed(rgb)), g = uchar(qGreen(rgb)), b = uchar(qBlue(rgb));
            if (depth == 16) {
                qToLittleEndian<quint16>(quint16(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)), out);
            } else if (depth == 24) {
                out[0] = swap ? b : r;
                out[1] = g;
                out[2] = swap ? r : b;
            } else {
                out[0] = swap ? r : b;
                out[1] = g;
                out[2] = swap ? b : r;
                out[3] = swap ? 0 : 0xFF;
            }
            out += bytesPerPixel;
        }
    }
    return bytes;
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
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}
